// A reference-counted heap block with its length and capacity: what the path
// layer hands back for a whole file. C++ code holds it through ByteBufferRef.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace Common {

struct ByteBuffer {
    std::atomic<std::uint32_t> references{1};
    unsigned char* data = nullptr;
    std::size_t length = 0;
    std::size_t capacity = 0;
};

// A buffer of `capacity` bytes (not initialised), length 0, count 1; null when the
// memory cannot be had, so that a huge size never throws out of a caller.
ByteBuffer* byte_buffer_create(std::size_t capacity);
ByteBuffer* byte_buffer_ref(ByteBuffer* buffer);
void byte_buffer_release(ByteBuffer* buffer);  // frees at zero; null is ignored

class ByteBufferRef {
public:
    ByteBufferRef() noexcept = default;
    static ByteBufferRef Adopt(ByteBuffer* buffer) noexcept { return ByteBufferRef(buffer); }
    ByteBufferRef(const ByteBufferRef& other) noexcept : buffer_(byte_buffer_ref(other.buffer_)) {}
    ByteBufferRef(ByteBufferRef&& other) noexcept : buffer_(std::exchange(other.buffer_, nullptr)) {}
    ByteBufferRef& operator=(ByteBufferRef other) noexcept {
        std::swap(buffer_, other.buffer_);
        return *this;
    }
    ~ByteBufferRef() { byte_buffer_release(buffer_); }

    ByteBuffer* Get() const noexcept { return buffer_; }
    explicit operator bool() const noexcept { return buffer_ != nullptr; }
    ByteBuffer* Detach() noexcept { return std::exchange(buffer_, nullptr); }

private:
    explicit ByteBufferRef(ByteBuffer* buffer) noexcept : buffer_(buffer) {}

    ByteBuffer* buffer_ = nullptr;
};

}  // namespace Common
