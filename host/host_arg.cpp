#include "host_arg.h"

namespace RefHost {

Arg Arg::Int(std::string name, std::int64_t value) { return {std::move(name), Abi::kValueInteger, 0, value, {}}; }
Arg Arg::Str(std::string name, std::string value) {
    return {std::move(name), Abi::kValueString, 0, 0, std::move(value)};
}
Arg Arg::OutInt(std::string name, std::uint32_t ref) {
    return {std::move(name), Abi::kValueInteger, Abi::kStorageInteger, ref, {}};
}
Arg Arg::OutStr(std::string name, std::uint32_t ref) {
    return {std::move(name), Abi::kValueInteger, Abi::kStorageString, ref, {}};
}
Arg Arg::Undefined(std::string name) { return {std::move(name), Abi::kValueUndefined, 0, 0, {}}; }
Arg Arg::Raw(std::string name, std::uint32_t kind, std::uint32_t storage, std::int64_t integer) {
    return {std::move(name), kind, storage, integer, {}};
}

}  // namespace RefHost
