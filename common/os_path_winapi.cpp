#include "common/os_path_winapi.h"

#include <windows.h>

#include <cstring>

#include "common/format_string.h"
#include "common/stream_winapi.h"
#include "common/unique_handle.h"

namespace Common {

namespace {

// Largest file read in one piece.
constexpr std::uint64_t kMaxReadAll = 0x7FFFFFFF;

WidePath ToWinApi(const char* path) {
    std::size_t length = 0;
    return os_path_to_winapi(path, path != nullptr ? std::strlen(path) : 0, length);
}

// GetFileAttributesW, with the codes that only say the path is not there
// turned into "no attributes".
int QueryAttributes(const char* path, bool& exists, DWORD& attributes, Error& error) {
    const WidePath wide = ToWinApi(path);
    attributes = GetFileAttributesW(wide.get());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        exists = true;
        return 0;
    }
    switch (const DWORD code = GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_NAME:
        exists = false;
        return 0;
    default:
        error = COMMON_WINDOWS_ERROR(code);
        return -1;
    }
}

}  // namespace

int os_path_is_file(const char* path, bool& is_file, Error& error) {
    bool exists = false;
    DWORD attributes = 0;
    if (QueryAttributes(path, exists, attributes, error) != 0) {
        return -1;
    }
    is_file = exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return 0;
}

int os_path_is_dir(const char* path, bool& is_dir, Error& error) {
    bool exists = false;
    DWORD attributes = 0;
    if (QueryAttributes(path, exists, attributes, error) != 0) {
        return -1;
    }
    is_dir = exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return 0;
}

namespace {

// What CreateFileW is asked for, from the caller's options.
struct CreateRequest {
    DWORD access;
    DWORD share;
    DWORD disposition;
};

CreateRequest MapOptions(const OpenOptions& options) {
    if (options.read_only) return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
    CreateRequest request{GENERIC_READ | GENERIC_WRITE, options.share_read ? FILE_SHARE_READ : 0u, OPEN_ALWAYS};
    if (options.append) request.access = FILE_APPEND_DATA;
    if (options.truncate && options.must_exist) {
        request.disposition = TRUNCATE_EXISTING;
    } else if (options.truncate) {
        request.disposition = CREATE_ALWAYS;
    } else if (options.must_exist) {
        request.disposition = OPEN_EXISTING;
    }
    return request;
}

// The error of a failed open: what was being done, caused by the system's
// code, with the stream code callers test for where there is one.
Error OpenFailure(const char* path, const OpenOptions& options, DWORD code) {
    Error cause = COMMON_WINDOWS_ERROR(code);
    if (code == ERROR_DISK_FULL) {
        cause = WithStreamCode(cause, kStreamDiskFull);
    } else if (code == ERROR_FILE_NOT_FOUND) {
        cause = WithStreamCode(cause, kStreamFileNotFound);
    }
    const char* shown = path != nullptr ? path : "";
    Error failure = options.read_only ? COMMON_ERROR(FormatString("cannot open file for reading: '%s'", shown))
                                      : COMMON_ERROR(FormatString("cannot open/create file for writting: '%s'", shown));
    return failure.Then(cause);
}

}  // namespace

int os_path_open(const char* path, const OpenOptions& options, Stream*& out, Error& error) {
    const CreateRequest request = MapOptions(options);
    const WidePath wide = ToWinApi(path);
    UniqueFile file(CreateFileW(wide.get(), request.access, request.share, nullptr, request.disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = OpenFailure(path, options, GetLastError());
        return -1;
    }

    FileStreamEntries entries;
    entries.read_and_seek = !options.append;
    entries.write = !options.read_only;
    entries.flush_and_truncate = !options.read_only && !options.append;
    stream_from_file(file.Release(), entries, out);
    return 0;
}

int os_path_open_read(const char* path, Stream*& out, Error& error) {
    OpenOptions options;
    options.share_read = 1;
    options.read_only = 1;
    return os_path_open(path, options, out, error);
}

int os_path_read_all(const char* path, ByteBuffer*& out, Error& error) {
    Stream* opened = nullptr;
    if (os_path_open_read(path, opened, error) != 0) {
        return -1;
    }
    const StreamRef stream = StreamRef::Adopt(opened);

    std::uint64_t size = 0;
    if (stream.Size(size, error) != kStreamOk) {
        return -1;
    }
    if (size > kMaxReadAll) {
        error = COMMON_ERROR("file size is too large to be read at once");
        return -1;
    }
    ByteBufferRef buffer = ByteBufferRef::Adopt(byte_buffer_create(static_cast<std::size_t>(size)));
    if (!buffer) {
        error = COMMON_ERROR(FormatString("cannot allocate %llu bytes to read the file",
                                          static_cast<unsigned long long>(size)));
        return -1;
    }
    if (stream.Read(buffer.Get()->data, static_cast<std::size_t>(size), error) != kStreamOk) {
        return -1;
    }
    buffer.Get()->length = static_cast<std::size_t>(size);
    out = buffer.Detach();
    return 0;
}

bool IsFile(const std::string& path) {
    bool is_file = false;
    Error error;
    if (os_path_is_file(path.c_str(), is_file, error) != 0) {
        throw error;
    }
    return is_file;
}

bool IsDirectory(const std::string& path) {
    bool is_dir = false;
    Error error;
    if (os_path_is_dir(path.c_str(), is_dir, error) != 0) {
        throw error;
    }
    return is_dir;
}

std::string ReadWholeFile(const std::string& path) {
    ByteBuffer* read = nullptr;
    Error error;
    if (os_path_read_all(path.c_str(), read, error) != 0) {
        throw error;
    }
    const ByteBufferRef buffer = ByteBufferRef::Adopt(read);
    return std::string(reinterpret_cast<const char*>(buffer.Get()->data), buffer.Get()->length);
}

}  // namespace Common
