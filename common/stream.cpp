#include "common/stream.h"

#include <atomic>
#include <utility>

#include "common/format_string.h"

namespace Common {

struct Stream {
    std::atomic<std::uint32_t> references{1};
    StreamOps ops{};
    StreamHandle handle = 0;
};

namespace {

int Unsupported(const char* operation, Error& error) {
    error = COMMON_STREAM_ERROR(kStreamUnsupported, FormatString("unsupported stream operation: %s", operation));
    return kStreamUnsupported;
}

// An entry that reports a failure must leave a record behind; one that does
// not still fails the call, with a record naming the code.
int Failed(int code, Error& error) {
    if (!error) {
        error = COMMON_STREAM_ERROR(code, FormatString("stream operation failed with code %d", code));
    }
    return code;
}

// The shape every operation shares: the entry must exist; its failure is
// handed on with a record.
template <typename Entry, typename... Args>
int Dispatch(Stream* stream, Entry StreamOps::*entry, const char* name, Error& error, Args&&... args) {
    if (stream == nullptr || stream->ops.*entry == nullptr) return Unsupported(name, error);
    Error failure;
    if (const int code = (stream->ops.*entry)(failure, stream->handle, std::forward<Args>(args)...); code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    return kStreamOk;
}

}  // namespace

void stream_create(const StreamOps& ops, StreamHandle handle, Stream*& out) {
    Stream* stream = new Stream;
    stream->ops = ops;
    stream->handle = handle;
    out = stream;
}

Stream* stream_ref(Stream* stream) {
    if (stream != nullptr) {
        stream->references.fetch_add(1, std::memory_order_relaxed);
    }
    return stream;
}

void stream_release(Stream* stream) {
    if (stream == nullptr) {
        return;
    }
    // acq_rel: the thread that frees the stream sees every other holder's use.
    if (stream->references.fetch_sub(1, std::memory_order_acq_rel) != 1) {
        return;
    }
    if (stream->ops.close != nullptr) {
        stream->ops.close(stream->handle);
    }
    delete stream;
}

int stream_read(Stream* stream, void* buffer, std::size_t count, Error& error) {
    std::size_t done = 0;
    if (const int code = Dispatch(stream, &StreamOps::read, "READ", error, buffer, count, done); code != kStreamOk)
        return code;
    if (done < count) {
        error = COMMON_STREAM_ERROR(kStreamEof, "EOF");
        return kStreamEof;
    }
    return kStreamOk;
}

int stream_write(Stream* stream, const void* buffer, std::size_t count, Error& error) {
    std::size_t done = 0;
    if (const int code = Dispatch(stream, &StreamOps::write, "WRITE", error, buffer, count, done); code != kStreamOk)
        return code;
    if (done < count) {
        error = COMMON_STREAM_ERROR(kStreamDiskFull, "disk is full");
        return kStreamDiskFull;
    }
    return kStreamOk;
}

int stream_size(Stream* stream, std::uint64_t& size, Error& error) {
    if (stream != nullptr && stream->ops.size != nullptr) return Dispatch(stream, &StreamOps::size, "SIZE", error, size);
    // Without a size entry: where the end is, from here and back.
    const StreamOps* ops = stream != nullptr ? &stream->ops : nullptr;
    if (ops == nullptr || ops->seek == nullptr || ops->seek_rel == nullptr || ops->seek_end == nullptr)
        return Unsupported("SIZE", error);
    std::uint64_t current = 0;
    std::uint64_t end = 0;
    std::uint64_t restored = 0;
    int code = Dispatch(stream, &StreamOps::seek_rel, "SIZE", error, std::int64_t{0}, current);
    if (code == kStreamOk) code = Dispatch(stream, &StreamOps::seek_end, "SIZE", error, std::int64_t{0}, end);
    if (code == kStreamOk) code = Dispatch(stream, &StreamOps::seek, "SIZE", error, current, restored);
    if (code == kStreamOk) size = end;
    return code;
}

int stream_seek(Stream* stream, std::uint64_t position, std::uint64_t& new_position, Error& error) {
    return Dispatch(stream, &StreamOps::seek, "SEEK", error, position, new_position);
}

int stream_flush(Stream* stream, Error& error) { return Dispatch(stream, &StreamOps::flush, "FLUSH", error); }

int stream_truncate(Stream* stream, std::uint64_t new_size, Error& error) {
    return Dispatch(stream, &StreamOps::truncate, "TRUNCATE", error, new_size);
}

int stream_close(Stream* stream, Error& error) {
    return Dispatch(stream, &StreamOps::close_report, "CLOSE", error);
}

Error StreamError(int code, std::string message, const char* source_file, unsigned source_line) {
    return WithStreamCode(Error(std::move(message), source_file, source_line), code);
}

Error WithStreamCode(const Error& error, int code) {
    return error.WithField(kStreamIoField, static_cast<std::int64_t>(code));
}

int StreamCodeOf(const Error& error) {
    for (Error record = error; record; record = record.Next()) {
        if (const auto code = record.IntegerField(kStreamIoField)) {
            return static_cast<int>(*code);
        }
    }
    return 0;
}

}  // namespace Common
