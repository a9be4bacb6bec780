// The orvik tool: loads the module into the reference host and lists or
// calls its functions, printing what crossed the boundary. A library, so
// that tests run it in their own process as a user would from a shell.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace OrvikCli {

// Where the tool writes: standard output and standard error for the
// program, buffers for tests.
class Console {
public:
    virtual ~Console() = default;
    virtual void Out(std::string_view text) = 0;
    virtual void Err(std::string_view text) = 0;
};

// Runs the command `words` (the program's arguments, UTF-8) and returns the
// exit code (exit_codes.h). Throws nothing.
int RunTool(const std::vector<std::string>& words, Console& console);

}  // namespace OrvikCli
