// What the tool says about a function, from its one declaration in the
// function table: a synopsis, a description (text or JSON) and the
// reference page of every function. Pure.
#pragma once

#include <json/value.h>

#include <string>
#include <string_view>

#include "orvik/context/function_catalogue.h"

namespace OrvikCli {

// The table's entry for a function name, or none.
const ScanEngine::FunctionEntry* FindFunction(std::string_view name);

// The text of examples/every-function.txt, built into the tool.
extern const std::string_view kExampleSuite;

// The first call of the function in that suite, as written there; empty when it has none.
std::string_view ExampleCall(std::string_view name);

// "NAME arg=<integer> [out=@string] ...": required arguments bare, optional ones in brackets.
std::string Synopsis(const ScanEngine::FunctionEntry& entry);

// What a call of the function does beyond answering, for rule writers.
std::string EffectText(const ScanEngine::Effect& effect);

// Name, synopsis, description, its effect, what its result means, the host
// services it may call and a line per argument.
std::string DescribeText(const ScanEngine::FunctionEntry& entry);
Json::Value DescribeJson(const ScanEngine::FunctionEntry& entry);

// docs/functions.md: one section per function, in the table's order. Throws
// std::runtime_error when a function has no example call.
std::string ReferenceMarkdown();

}  // namespace OrvikCli
