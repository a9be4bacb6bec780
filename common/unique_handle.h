// Owners for Windows handles. Each kind knows its own "empty" value: most
// kernel handles use null, file-style handles use INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

#include <utility>

namespace Common {

template <HANDLE (*Empty)()>
class BasicUniqueHandle {
public:
    BasicUniqueHandle() noexcept = default;
    explicit BasicUniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    BasicUniqueHandle(BasicUniqueHandle&& other) noexcept : handle_(other.Release()) {}
    BasicUniqueHandle& operator=(BasicUniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    BasicUniqueHandle(const BasicUniqueHandle&) = delete;
    BasicUniqueHandle& operator=(const BasicUniqueHandle&) = delete;
    ~BasicUniqueHandle() { Reset(); }

    HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Empty(); }
    // For APIs that fill a handle through an out pointer; closes the old one first.
    HANDLE* Put() noexcept {
        Reset();
        return &handle_;
    }
    HANDLE Release() noexcept { return std::exchange(handle_, Empty()); }
    void Reset(HANDLE handle = Empty()) noexcept {
        if (handle_ != Empty()) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = Empty();
};

inline HANDLE NullHandle() { return nullptr; }
inline HANDLE InvalidHandle() { return INVALID_HANDLE_VALUE; }

using UniqueHandle = BasicUniqueHandle<&NullHandle>;     // processes, threads, tokens, events
using UniqueFile = BasicUniqueHandle<&InvalidHandle>;    // CreateFile, snapshots

}  // namespace Common
