// One owner for every kind of resource that is a single value: a handle, a
// key, an interface pointer, an allocated buffer. The traits say what the
// value is, which value means "nothing held" and how a held one is closed:
//
//   struct Traits {
//       using Value = ...;
//       static Value Empty() noexcept;
//       static void Close(Value value) noexcept;   // never given Empty()
//   };
//
// The owner closes what it holds exactly once: when it ends, is reset, or is
// assigned another owner's value; Release() hands the value on unclosed.
#pragma once

#include <type_traits>
#include <utility>

namespace Common {

template <typename Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Value value) noexcept : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    Value Get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Empty(); }
    Value operator->() const noexcept
        requires std::is_pointer_v<Value>
    {
        return value_;
    }

    // For APIs that hand a new value back through an out pointer; whatever
    // was held before is closed first.
    Value* Put() noexcept {
        Reset();
        return &value_;
    }
    Value Release() noexcept { return std::exchange(value_, Traits::Empty()); }
    // The old value is closed after the new one is in place, so a close that
    // reaches back into this owner finds it consistent.
    void Reset(Value value = Traits::Empty()) noexcept {
        const Value old = std::exchange(value_, value);
        if (old != Traits::Empty()) Traits::Close(old);
    }

private:
    Value value_ = Traits::Empty();
};

}  // namespace Common
