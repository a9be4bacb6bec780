// The one frame every extension function runs in. A handler is written as a
// body that receives an already validated ArgParse; the frame builds the
// parser over the function's own descriptor list, runs the body, and turns
// anything thrown into the standard failure line and result. Only the
// registry instantiates handlers, so no body can be reached without it.
#pragma once

#include <cstdint>
#include <optional>

#include "call_context.h"
#include "function_catalogue.h"
#include "host_abi.h"
#include "library_context.h"
#include "orvik/argparse/arg_parse.h"

namespace ScanEngine {

// What one handler call has to work with; lives on the frame's stack.
struct Invocation {
    const ArgParse& args;
    CallContextRef context;  // the host's call context: logging, the triggering process
    LibraryContext& library;
    const Abi::CallSite* site;
};

using HandlerBody = std::int64_t (*)(Invocation& invocation);

// A check that runs before the arguments are parsed, for functions that
// refuse whole systems whatever the call: it returns the call's result, or
// nothing to go on. It must not throw.
using HandlerGate = std::optional<std::int64_t> (*)() noexcept;

// Runs `body` for one call (after `gate`, when there is one); never throws.
std::int64_t RunHandler(FunctionId id, HandlerBody body, std::int64_t failure_result, HandlerGate gate,
                        std::uint32_t argc, const Abi::ArgumentValue* argv, const Abi::CallSite* site,
                        Abi::CallContext* call, void* library) noexcept;

// The function pointer handed to the host for one registry row.
template <FunctionId Id, HandlerBody Body, std::int64_t FailureResult = -1, HandlerGate Gate = nullptr>
std::int64_t Handler(std::uint32_t argc, const Abi::ArgumentValue* argv, const Abi::CallSite* site,
                     Abi::CallContext* call, void* library) noexcept {
    return RunHandler(Id, Body, FailureResult, Gate, argc, argv, site, call, library);
}

}  // namespace ScanEngine
