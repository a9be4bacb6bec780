#include "common/byte_buffer.h"

#include <new>

namespace Common {

ByteBuffer* byte_buffer_create(std::size_t capacity) {
    auto* buffer = new (std::nothrow) ByteBuffer;
    if (buffer == nullptr) {
        return nullptr;
    }
    if (capacity > 0) {
        buffer->data = new (std::nothrow) unsigned char[capacity];
        if (buffer->data == nullptr) {
            delete buffer;
            return nullptr;
        }
    }
    buffer->capacity = capacity;
    return buffer;
}

ByteBuffer* byte_buffer_ref(ByteBuffer* buffer) {
    if (buffer != nullptr) {
        buffer->references.fetch_add(1, std::memory_order_relaxed);
    }
    return buffer;
}

void byte_buffer_release(ByteBuffer* buffer) {
    if (buffer == nullptr || buffer->references.fetch_sub(1, std::memory_order_acq_rel) != 1) {
        return;
    }
    delete[] buffer->data;
    delete buffer;
}

}  // namespace Common
