// Turns command-line words of the tool into argument values for a call. Pure.
//
//   name=VALUE       typed by the function's declaration: an integer
//                    (decimal, 0x-hex, negative) or a string, taken as it
//                    stands (a Windows path keeps its backslashes)
//   name:int=VALUE   an integer value whatever the declaration says
//   name:str=VALUE   a string value, as it stands
//   name:esc=VALUE   a string value; \n \t \\ \" \0 and \xHH are unescaped
//   name=@           binds an output variable of the declared kind
//   name=@int        binds an integer variable; name=@str a string variable
//   name:undef       passes the argument with an undefined value
#pragma once

#include <cstdint>
#include <string>

#include "host/host_arg.h"
#include "orvik/context/argument_descriptor.h"

namespace OrvikCli {

// Raises std::invalid_argument with a message for the user on a bad word.
// `next_ref` numbers the variables bound so far; each binding takes the next.
RefHost::Arg ParseCallArgument(const std::string& word, const ScanEngine::ArgumentDescriptor* declared,
                               std::uint32_t& next_ref);

std::string Unescape(const std::string& text);
// Bytes as a quoted, printable text (the inverse of Unescape).
std::string Quote(const std::string& bytes);

}  // namespace OrvikCli
