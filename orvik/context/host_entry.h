// Guard for host function pointers: a host record with an unset entry is a
// host failure reported as an error, never a call through null.
#pragma once

#include "common/error.h"
#include "common/format_string.h"

namespace ScanEngine {

template <typename Fn>
Fn RequireHostEntry(Fn fn, const char* what) {
    if (fn == nullptr) throw COMMON_ERROR(Common::FormatString("host operation '%s' is not available", what));
    return fn;
}

// Calls record->op(record, args...) after checking the operation is set.
#define ORVIK_HOST_CALL(record, op, ...) (::ScanEngine::RequireHostEntry((record)->op, #op)((record), ##__VA_ARGS__))

}  // namespace ScanEngine
