// Argument names and descriptor lists: the declared shape of every extension
// function. Pure data, shared by the module, the reference host and the tool.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ScanEngine {

// One (name, label) pair of the argument name table. Only the name is
// compared at run time; the label documents the argument.
struct ArgName {
    const char* name;
    const char* label;
    std::uint32_t id = 0;  // nonzero for the argument name constants, one each
};

enum class ArgKind : std::uint32_t { String = 1, Integer = 2 };
enum class AddressKind : std::uint32_t { Input = 0, IntegerOutput = 1, StringOutput = 2 };

struct ArgumentDescriptor {
    const char* name;
    const char* label;
    ArgKind value_kind;
    AddressKind address_kind;
    bool required;
    bool input;
    std::uint32_t id = 0;  // the name constant's number (ArgName::id)
};

// The most arguments one function may declare: a call's presence set is one
// machine word.
inline constexpr std::size_t kMaxArguments = 64;

inline constexpr bool kRequired = true;
inline constexpr bool kOptional = false;

constexpr ArgumentDescriptor InString(ArgName a, bool required) {
    return {a.name, a.label, ArgKind::String, AddressKind::Input, required, true, a.id};
}
constexpr ArgumentDescriptor InInteger(ArgName a, bool required) {
    return {a.name, a.label, ArgKind::Integer, AddressKind::Input, required, true, a.id};
}
constexpr ArgumentDescriptor OutInteger(ArgName a, bool required) {
    return {a.name, a.label, ArgKind::Integer, AddressKind::IntegerOutput, required, false, a.id};
}
constexpr ArgumentDescriptor OutString(ArgName a, bool required) {
    return {a.name, a.label, ArgKind::Integer, AddressKind::StringOutput, required, false, a.id};
}
// Terminates every descriptor list.
inline constexpr ArgumentDescriptor kEndOfArguments{nullptr, nullptr, ArgKind{}, AddressKind::Input, false, false};

}  // namespace ScanEngine
