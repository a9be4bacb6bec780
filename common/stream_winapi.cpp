#include "common/stream_winapi.h"

#include <algorithm>

namespace Common {

namespace {

// ReadFile and WriteFile move at most 4 GiB - 1 per call.
constexpr std::size_t kMaxTransfer = 0xFFFFFFFFu;

HANDLE AsHandle(StreamHandle handle) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle));
}

StreamHandle FromHandle(HANDLE handle) {
    return static_cast<StreamHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

Error WindowsStreamError(DWORD windows_code, int stream_code) {
    return WithStreamCode(COMMON_WINDOWS_ERROR(windows_code), stream_code);
}

void FileClose(StreamHandle handle) {
    const HANDLE file = AsHandle(handle);
    // A handle already closed with report is invalid here; null is never ours.
    if (file != INVALID_HANDLE_VALUE && file != nullptr) {
        CloseHandle(file);
    }
}

int FileCloseReport(Error& error, StreamHandle& handle) {
    const HANDLE file = AsHandle(handle);
    // Closing INVALID_HANDLE_VALUE would name the current process.
    if (file == INVALID_HANDLE_VALUE || file == nullptr) {
        return kStreamOk;
    }
    if (!CloseHandle(file)) {
        error = WindowsStreamError(GetLastError(), kStreamCloseFailed);
        return kStreamCloseFailed;
    }
    handle = FromHandle(INVALID_HANDLE_VALUE);
    return kStreamOk;
}

int FileRead(Error& error, StreamHandle handle, void* buffer, std::size_t count, std::size_t& done) {
    done = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    // One ReadFile for any count the API can take; larger counts in pieces,
    // so that a big request is never cut short by the 32-bit count.
    do {
        const DWORD chunk = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle), bytes + done, chunk, &got, nullptr)) {
            const DWORD code = GetLastError();
            done += got;
            error = WindowsStreamError(code, kStreamReadFailed);
            return kStreamReadFailed;
        }
        done += got;
        if (got < chunk) {
            error = COMMON_STREAM_ERROR(kStreamEof, "EOF");
            return kStreamEof;
        }
    } while (done < count);
    return kStreamOk;
}

int FileSeek(Error& error, StreamHandle handle, std::int64_t distance, DWORD method, std::uint64_t& new_position) {
    LONG high = static_cast<LONG>(static_cast<std::uint64_t>(distance) >> 32);
    const LONG low = static_cast<LONG>(static_cast<std::uint64_t>(distance) & 0xFFFFFFFFu);
    // A low half of all ones is a valid answer; only the last error tells.
    SetLastError(ERROR_SUCCESS);
    const DWORD result = SetFilePointer(AsHandle(handle), low, &high, method);
    if (result == INVALID_SET_FILE_POINTER) {
        if (const DWORD code = GetLastError(); code != ERROR_SUCCESS) {
            error = WindowsStreamError(code, kStreamSeekFailed);
            return kStreamSeekFailed;
        }
    }
    new_position = (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | result;
    return kStreamOk;
}

int FileSeekBegin(Error& error, StreamHandle handle, std::uint64_t position, std::uint64_t& new_position) {
    return FileSeek(error, handle, static_cast<std::int64_t>(position), FILE_BEGIN, new_position);
}

int FileSeekRelative(Error& error, StreamHandle handle, std::int64_t offset, std::uint64_t& new_position) {
    return FileSeek(error, handle, offset, FILE_CURRENT, new_position);
}

int FileSeekEnd(Error& error, StreamHandle handle, std::int64_t offset, std::uint64_t& new_position) {
    return FileSeek(error, handle, offset, FILE_END, new_position);
}

int FileWrite(Error& error, StreamHandle handle, const void* buffer, std::size_t count, std::size_t& done) {
    done = 0;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    do {
        const DWORD chunk = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
        DWORD put = 0;
        if (!WriteFile(AsHandle(handle), bytes + done, chunk, &put, nullptr)) {
            const DWORD code = GetLastError();
            done += put;
            const int stream_code = code == ERROR_DISK_FULL ? kStreamDiskFull : kStreamWriteFailed;
            error = WindowsStreamError(code, stream_code);
            return stream_code;
        }
        done += put;
        if (put < chunk) {
            break;  // the caller turns the short count into "disk is full"
        }
    } while (done < count);
    return kStreamOk;
}

int FileFlush(Error& error, StreamHandle handle) {
    if (!FlushFileBuffers(AsHandle(handle))) {
        error = WindowsStreamError(GetLastError(), kStreamWriteFailed);
        return kStreamWriteFailed;
    }
    return kStreamOk;
}

int FileTruncate(Error& error, StreamHandle handle, std::uint64_t new_size) {
    std::uint64_t remembered = 0;
    std::uint64_t ignored = 0;
    if (const int code = FileSeek(error, handle, 0, FILE_CURRENT, remembered); code != kStreamOk) {
        return code;
    }
    if (const int code = FileSeekBegin(error, handle, new_size, ignored); code != kStreamOk) {
        return code;
    }
    if (!SetEndOfFile(AsHandle(handle))) {
        error = WindowsStreamError(GetLastError(), kStreamWriteFailed);
        // The caller learns of the truncation failure, not of a failed restore.
        Error restore_failure;
        FileSeekBegin(restore_failure, handle, remembered, ignored);
        return kStreamWriteFailed;
    }
    return FileSeekBegin(error, handle, remembered, ignored);
}

}  // namespace

void stream_from_file(HANDLE file, const FileStreamEntries& entries, Stream*& out) {
    StreamOps ops{};
    ops.close = &FileClose;
    ops.close_report = &FileCloseReport;
    if (entries.read_and_seek) {
        ops.read = &FileRead;
        ops.seek = &FileSeekBegin;
        ops.seek_rel = &FileSeekRelative;
        ops.seek_end = &FileSeekEnd;
    }
    if (entries.write) {
        ops.write = &FileWrite;
    }
    if (entries.flush_and_truncate) {
        ops.flush = &FileFlush;
        ops.truncate = &FileTruncate;
    }
    stream_create(ops, FromHandle(file), out);
}

void stream_from_handle(void* handle, Stream*& out) {
    FileStreamEntries entries;
    entries.write = true;
    stream_from_file(static_cast<HANDLE>(handle), entries, out);
}

}  // namespace Common
