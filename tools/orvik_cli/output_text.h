// How the tool writes what crossed the boundary: JSON lines, level names,
// texts that are not UTF-8. Pure.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace OrvikCli {

// One JSON value on one line, UTF-8 as it stands.
std::string JsonLine(const Json::Value& value);
// "info", "warning", "error" for the module's log levels 0, 1 and 2.
const char* LevelName(std::uint32_t level);
// Whether every byte belongs to a valid UTF-8 sequence of a scalar value.
bool IsUtf8(std::string_view text);
// The text itself where it is UTF-8, else {"hex": ...}: no byte is lost.
Json::Value LosslessText(std::string_view text);

}  // namespace OrvikCli
