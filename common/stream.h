// Streams: the one abstraction the common library moves bytes through. A
// stream pairs an opaque handle with a table of operations and is shared by
// reference count; the last release closes the handle.
//
// The generic operations check that the stream supports what is asked, call
// the operation and turn short transfers into failures: a read or a write
// either moves exactly the requested count or fails. Every failure returns a
// nonzero stream code and hands back an error whose first record carries the
// named field "StreamIO" with that code (for a file open that failed, the
// field sits on the Windows record in the chain; see StreamCodeOf).
//
// C++ code holds streams through StreamRef and never counts references by
// hand. The reference count is atomic; the operations take no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "common/error.h"

namespace Common {

// Results of the stream operations and values of the "StreamIO" field.
enum StreamCode : int {
    kStreamOk = 0,
    kStreamUnsupported = 1,    // the stream has no entry for the operation
    kStreamCloseFailed = 2,
    kStreamEof = 3,            // fewer bytes than requested ("EOF")
    kStreamDiskFull = 4,       // short write ("disk is full"), or Windows error 112
    kStreamSeekFailed = 5,
    kStreamReadFailed = 6,
    kStreamWriteFailed = 7,    // write, flush or truncate
    kStreamFileNotFound = 8,   // file open with Windows error 2
};

inline constexpr const char* kStreamIoField = "StreamIO";

// The opaque value handed to every operation (a Windows HANDLE for files and
// pipes, a pointer for other implementations).
using StreamHandle = std::uint64_t;

// The operation table. Any entry may be null (absent). Every entry but close
// returns 0 or a stream code and, on failure, stores an error carrying
// "StreamIO" in `error`. Transfers report the bytes moved in `done` even when
// they fail.
struct StreamOps {
    // Releases the handle when the stream dies. Must cope with a handle that
    // close_report has already invalidated.
    void (*close)(StreamHandle handle);
    // Closes now; on success invalidates `handle` so that close does nothing.
    int (*close_report)(Error& error, StreamHandle& handle);
    int (*read)(Error& error, StreamHandle handle, void* buffer, std::size_t count, std::size_t& done);
    int (*size)(Error& error, StreamHandle handle, std::uint64_t& size);
    int (*seek)(Error& error, StreamHandle handle, std::uint64_t position, std::uint64_t& new_position);
    int (*seek_rel)(Error& error, StreamHandle handle, std::int64_t offset, std::uint64_t& new_position);
    int (*seek_end)(Error& error, StreamHandle handle, std::int64_t offset, std::uint64_t& new_position);
    int (*write)(Error& error, StreamHandle handle, const void* buffer, std::size_t count, std::size_t& done);
    int (*flush)(Error& error, StreamHandle handle);
    int (*truncate)(Error& error, StreamHandle handle, std::uint64_t new_size);
    int (*ioctl)(Error& error, StreamHandle handle, std::uint64_t request);
};

struct Stream;

// The procedural core. `error` is written only on failure. A null stream is
// treated as one without any entry.
void stream_create(const StreamOps& ops, StreamHandle handle, Stream*& out);  // ops are copied; count 1
Stream* stream_ref(Stream* stream);                                          // one reference more
void stream_release(Stream* stream);  // at zero: close(handle) if present, then free
int stream_read(Stream* stream, void* buffer, std::size_t count, Error& error);
int stream_write(Stream* stream, const void* buffer, std::size_t count, Error& error);
// The SIZE entry, or else the end position found by seeking, with the
// current position restored.
int stream_size(Stream* stream, std::uint64_t& size, Error& error);
int stream_seek(Stream* stream, std::uint64_t position, std::uint64_t& new_position, Error& error);
int stream_flush(Stream* stream, Error& error);
// Cuts or extends the stream to `new_size`; the position stays where it was.
int stream_truncate(Stream* stream, std::uint64_t new_size, Error& error);
// Closes the handle now through close_report (unsupported without it); the
// stream itself lives on until its last release.
int stream_close(Stream* stream, Error& error);

#ifdef _WIN32
// A write-only stream (close, close with report, WRITE) over an existing
// Windows handle, typically a pipe end. The stream owns the handle from now
// on and closes it with its last reference. `handle` is a HANDLE.
void stream_from_handle(void* handle, Stream*& out);
#endif

// A plain error record carrying "StreamIO" = code.
Error StreamError(int code, std::string message, const char* source_file, unsigned source_line);
// The same error with "StreamIO" = code on its first record.
Error WithStreamCode(const Error& error, int code);
// The first "StreamIO" value along the chain, 0 when no record has one.
int StreamCodeOf(const Error& error);

// Owner of one stream reference: copying adds a reference, destruction
// releases it.
class StreamRef {
public:
    StreamRef() noexcept = default;
    // Takes over a reference the caller holds (from stream_create and friends).
    static StreamRef Adopt(Stream* stream) noexcept { return StreamRef(stream); }
    // Takes a new reference of its own.
    static StreamRef Share(Stream* stream) noexcept { return StreamRef(stream_ref(stream)); }
    static StreamRef Create(const StreamOps& ops, StreamHandle handle) {
        Stream* stream = nullptr;
        stream_create(ops, handle, stream);
        return StreamRef(stream);
    }

    StreamRef(const StreamRef& other) noexcept : stream_(stream_ref(other.stream_)) {}
    StreamRef(StreamRef&& other) noexcept : stream_(std::exchange(other.stream_, nullptr)) {}
    StreamRef& operator=(const StreamRef& other) noexcept {
        if (this != &other) Reset(stream_ref(other.stream_));
        return *this;
    }
    StreamRef& operator=(StreamRef&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.stream_, nullptr));
        return *this;
    }
    ~StreamRef() { Reset(); }

    Stream* Get() const noexcept { return stream_; }
    explicit operator bool() const noexcept { return stream_ != nullptr; }
    // Hands the reference to the caller, who must release it.
    Stream* Detach() noexcept { return std::exchange(stream_, nullptr); }
    void Reset(Stream* adopted = nullptr) noexcept {
        stream_release(std::exchange(stream_, adopted));
    }

    int Read(void* buffer, std::size_t count, Error& error) const {
        return stream_read(stream_, buffer, count, error);
    }
    int Write(const void* buffer, std::size_t count, Error& error) const {
        return stream_write(stream_, buffer, count, error);
    }
    int Size(std::uint64_t& size, Error& error) const { return stream_size(stream_, size, error); }
    int Seek(std::uint64_t position, std::uint64_t& new_position, Error& error) const {
        return stream_seek(stream_, position, new_position, error);
    }
    int Flush(Error& error) const { return stream_flush(stream_, error); }
    int Truncate(std::uint64_t new_size, Error& error) const { return stream_truncate(stream_, new_size, error); }
    int Close(Error& error) const { return stream_close(stream_, error); }

private:
    explicit StreamRef(Stream* stream) noexcept : stream_(stream) {}

    Stream* stream_ = nullptr;
};

}  // namespace Common

#define COMMON_STREAM_ERROR(code, message) ::Common::StreamError((code), (message), __FILE__, __LINE__)
