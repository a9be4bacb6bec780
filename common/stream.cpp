#include "common/stream.h"

#include <atomic>

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
    if (stream == nullptr || stream->ops.read == nullptr) {
        return Unsupported("READ", error);
    }
    std::size_t done = 0;
    Error failure;
    if (const int code = stream->ops.read(failure, stream->handle, buffer, count, done); code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    if (done < count) {
        error = COMMON_STREAM_ERROR(kStreamEof, "EOF");
        return kStreamEof;
    }
    return kStreamOk;
}

int stream_write(Stream* stream, const void* buffer, std::size_t count, Error& error) {
    if (stream == nullptr || stream->ops.write == nullptr) {
        return Unsupported("WRITE", error);
    }
    std::size_t done = 0;
    Error failure;
    if (const int code = stream->ops.write(failure, stream->handle, buffer, count, done); code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    if (done < count) {
        error = COMMON_STREAM_ERROR(kStreamDiskFull, "disk is full");
        return kStreamDiskFull;
    }
    return kStreamOk;
}

int stream_size(Stream* stream, std::uint64_t& size, Error& error) {
    if (stream == nullptr) {
        return Unsupported("SIZE", error);
    }
    const StreamOps& ops = stream->ops;
    Error failure;
    if (ops.size != nullptr) {
        if (const int code = ops.size(failure, stream->handle, size); code != kStreamOk) {
            error = failure;
            return Failed(code, error);
        }
        return kStreamOk;
    }
    if (ops.seek == nullptr || ops.seek_rel == nullptr || ops.seek_end == nullptr) {
        return Unsupported("SIZE", error);
    }
    std::uint64_t current = 0;
    std::uint64_t end = 0;
    std::uint64_t restored = 0;
    int code = ops.seek_rel(failure, stream->handle, 0, current);
    if (code == kStreamOk) code = ops.seek_end(failure, stream->handle, 0, end);
    if (code == kStreamOk) code = ops.seek(failure, stream->handle, current, restored);
    if (code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    size = end;
    return kStreamOk;
}

int stream_seek(Stream* stream, std::uint64_t position, std::uint64_t& new_position, Error& error) {
    if (stream == nullptr || stream->ops.seek == nullptr) {
        return Unsupported("SEEK", error);
    }
    Error failure;
    if (const int code = stream->ops.seek(failure, stream->handle, position, new_position); code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    return kStreamOk;
}

int stream_flush(Stream* stream, Error& error) {
    if (stream == nullptr || stream->ops.flush == nullptr) {
        return Unsupported("FLUSH", error);
    }
    Error failure;
    if (const int code = stream->ops.flush(failure, stream->handle); code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    return kStreamOk;
}

int stream_truncate(Stream* stream, std::uint64_t new_size, Error& error) {
    if (stream == nullptr || stream->ops.truncate == nullptr) {
        return Unsupported("TRUNCATE", error);
    }
    Error failure;
    if (const int code = stream->ops.truncate(failure, stream->handle, new_size); code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    return kStreamOk;
}

int stream_close(Stream* stream, Error& error) {
    if (stream == nullptr || stream->ops.close_report == nullptr) {
        return Unsupported("CLOSE", error);
    }
    Error failure;
    if (const int code = stream->ops.close_report(failure, stream->handle); code != kStreamOk) {
        error = failure;
        return Failed(code, error);
    }
    return kStreamOk;
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
