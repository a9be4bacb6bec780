// `orvik run`: many calls in one host, each line written as `call`'s words,
// with expectations on the call before them, so that a rule writer keeps a
// regression suite of function calls.
//
//   # a comment                 blank lines and comments are skipped
//   host-state FILE             adds a host-state file (relative to the suite)
//   reset                       a fresh host and a fresh start of the module
//   [OPTION ...] NAME [ARG ...] a call, as `orvik call` takes it
//   expect result=N             the last call's result
//   expect NAME=VALUE           a variable it wrote, under its argument name
//                               (an integer as arguments take one; a text verbatim)
//   expect log TEXT             one of its log lines contains TEXT
//   expect host OPERATION       it called the host service OPERATION
//
// Words are split as a Windows command line: double quotes group, and a
// backslash is itself unless it comes before a quote.
#pragma once

#include <string>
#include <vector>

#include "tool.h"

namespace OrvikCli {

// words: "run", options of `call` that hold for every call, the suite file
// ("-": standard input). Prints each call and each failed expectation, then
// "N passed, M failed"; returns kExpectationFailed when M is not 0.
int RunSuite(const std::vector<std::string>& words, Console& console);

}  // namespace OrvikCli
