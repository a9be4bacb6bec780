// Files by UTF-8 path: existence, opening as a stream, reading whole. The
// status-code operations return 0 on success and nonzero on failure, with
// the error handed back in `error` (written only on failure); the wrappers
// in namespace Common throw that error instead.
#pragma once

#include <cstdint>
#include <string>

#include "common/byte_buffer.h"
#include "common/error.h"
#include "common/os_path.h"
#include "common/stream.h"

namespace Common {

struct OpenOptions {
    std::uint32_t share_read = 0;  // others may read while the file is open
    std::uint32_t read_only = 0;   // open for reading only
    std::uint32_t truncate = 0;    // a file opened for writing is emptied (or created empty)
    std::uint32_t append = 0;      // writes go to the end
    std::uint32_t must_exist = 0;  // the file must already exist
};

// A missing path (not found, path not found, network path not found, invalid
// name) is no failure: the flag is false. An existing directory is not a
// file, an existing file is not a directory.
int os_path_is_file(const char* path, bool& is_file, Error& error);
int os_path_is_dir(const char* path, bool& is_dir, Error& error);

// On success `out` holds a new file stream reference for the caller.
int os_path_open(const char* path, const OpenOptions& options, Stream*& out, Error& error);
// Shared for reading, read-only.
int os_path_open_read(const char* path, Stream*& out, Error& error);

// At most 0x7FFFFFFF bytes; on success `out` holds a new buffer reference
// whose length is the file size.
int os_path_read_all(const char* path, ByteBuffer*& out, Error& error);

bool IsFile(const std::string& path);
bool IsDirectory(const std::string& path);
std::string ReadWholeFile(const std::string& path);

}  // namespace Common
