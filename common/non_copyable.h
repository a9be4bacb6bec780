// Base for objects that own a resource or an identity and must stay in one
// place: copying or moving one would leave two owners of the same thing.
#pragma once

namespace Common {

class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable(NonCopyable&&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;
    NonCopyable& operator=(NonCopyable&&) = delete;

protected:
    NonCopyable() = default;
    virtual ~NonCopyable() = default;
};

}  // namespace Common
