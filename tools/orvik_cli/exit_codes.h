// The tool's exit codes, and the error that carries one out of a command.
#pragma once

#include <stdexcept>
#include <string>

namespace OrvikCli {

enum ExitCode : int {
    kRan = 0,                // the command ran (a call ran, whatever its result)
    kRuntimeError = 1,       // the module or a host-state file failed
    kUsage = 2,              // a command, option or option value the tool does not know
    kMalformedCall = 3,      // a call that cannot be made as written
    kExpectationFailed = 4,  // a suite's expectation did not hold
};

struct ToolError : std::runtime_error {
    ToolError(ExitCode exit_code, const std::string& message) : std::runtime_error(message), code(exit_code) {}
    ExitCode code;
};

}  // namespace OrvikCli
