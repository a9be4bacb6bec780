// The facts the file queries report, taken from one standard attribute
// record; apart from the query so that the field each fact comes from can be
// checked with records the file system here could not produce.
#pragma once

#include <windows.h>

#include "file_actions.h"

namespace ScanEngine::File {

void TakeFileFacts(const WIN32_FILE_ATTRIBUTE_DATA& data, const FileFacts& facts, TimePrecision precision);

}  // namespace ScanEngine::File
