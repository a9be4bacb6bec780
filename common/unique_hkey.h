// Owner for an open registry key. Predefined root keys are never handed to
// it: only keys this process opened itself.
#pragma once

#include <windows.h>

#include <utility>

namespace Common {

class UniqueHkey {
public:
    UniqueHkey() noexcept = default;
    explicit UniqueHkey(HKEY key) noexcept : key_(key) {}
    UniqueHkey(UniqueHkey&& other) noexcept : key_(other.Release()) {}
    UniqueHkey& operator=(UniqueHkey&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;
    ~UniqueHkey() { Reset(); }

    HKEY Get() const noexcept { return key_; }
    explicit operator bool() const noexcept { return key_ != nullptr; }
    // For APIs that fill a key through an out pointer; closes the old one first.
    HKEY* Put() noexcept {
        Reset();
        return &key_;
    }
    HKEY Release() noexcept { return std::exchange(key_, nullptr); }
    void Reset(HKEY key = nullptr) noexcept {
        if (key_ != nullptr) RegCloseKey(key_);
        key_ = key;
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace Common
