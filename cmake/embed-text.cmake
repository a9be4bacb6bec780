# Writes OUT, a C++ source that defines OrvikCli::NAME as the text of the file
# IN, so that a program carries the file instead of reading it at run time.
# Run as cmake -DIN=... -DOUT=... -DNAME=... -P embed-text.cmake.
file(READ ${IN} text)
set(delimiter "orvik_embed")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${IN} holds the delimiter )${delimiter}\"")
endif()
file(WRITE ${OUT}.new "// Made from ${IN} by cmake/embed-text.cmake; edit that file instead.
#include <string_view>

namespace OrvikCli {
extern const std::string_view ${NAME};
const std::string_view ${NAME} = R\"${delimiter}(${text})${delimiter}\";
}  // namespace OrvikCli
")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
