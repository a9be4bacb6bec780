// One argument value as the host passes it to a handler. Pure data.
#pragma once

#include <cstdint>
#include <string>

#include "orvik/context/host_abi.h"

namespace RefHost {

namespace Abi = ScanEngine::Abi;

// One argument value as the host passes it.
struct Arg {
    std::string name;
    std::uint32_t kind = Abi::kValueUndefined;
    std::uint32_t storage = Abi::kStorageNone;
    std::int64_t integer = 0;  // the value, or the variable reference of an output
    std::string text;          // string values; may hold NULs

    static Arg Int(std::string name, std::int64_t value);
    static Arg Str(std::string name, std::string value);
    static Arg OutInt(std::string name, std::uint32_t ref);
    static Arg OutStr(std::string name, std::uint32_t ref);
    static Arg Undefined(std::string name);
    // Any combination, for calls a well-behaved host would not make.
    static Arg Raw(std::string name, std::uint32_t kind, std::uint32_t storage, std::int64_t integer);
};

}  // namespace RefHost
