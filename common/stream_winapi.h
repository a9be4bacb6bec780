// Streams over Windows file handles, for the path layer and the child-process
// layer. The public entry for other handles is stream_from_handle in stream.h.
#pragma once

#include <windows.h>

#include "common/stream.h"

namespace Common {

// Which entries a file stream gets besides close and close with report.
struct FileStreamEntries {
    bool read_and_seek = false;       // READ, SEEK, SEEK/REL, SEEK/END
    bool write = false;               // WRITE
    bool flush_and_truncate = false;  // FLUSH, TRUNCATE
};

// The stream owns `file` from now on and closes it with its last reference.
void stream_from_file(HANDLE file, const FileStreamEntries& entries, Stream*& out);

}  // namespace Common
