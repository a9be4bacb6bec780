// Validates one call's named argument values against the function's
// descriptor list and gives the handler typed access to them. Nothing is
// copied at construction: names and strings stay in the host's memory for
// the duration of the call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "orvik/context/argument_descriptor.h"
#include "orvik/context/host_abi.h"

namespace ScanEngine {

class ArgParse {
public:
    // Writes an integer result into a rule variable.
    class IntegerAddress {
    public:
        IntegerAddress(std::uint32_t ref, Abi::CallContext* call) : ref_(ref), call_(call) {}
        // A refused write is logged, never raised: the handler's result stands.
        void Assign(std::uint64_t value) const;

    private:
        std::uint32_t ref_;
        Abi::CallContext* call_;
    };

    // Writes a byte string (NULs included) into a rule variable.
    class StringAddress {
    public:
        StringAddress(std::uint32_t ref, Abi::CallContext* call) : ref_(ref), call_(call) {}
        virtual ~StringAddress() = default;
        void Assign(const std::string& value) const { Assign(value.data(), value.size()); }
        void Assign(const void* bytes, std::uint64_t length) const;

    private:
        std::uint32_t ref_;
        Abi::CallContext* call_;
    };

    // Raises Common::Error when the call does not fit the descriptor list.
    ArgParse(const ArgumentDescriptor* descriptors, std::uint32_t argc, const Abi::ArgumentValue* argv,
             Abi::CallContext* call);

    bool IsGiven(ArgName arg) const;
    std::int64_t GetInteger(ArgName arg) const;
    std::string GetString(ArgName arg) const;
    // A text that names something to run, open, query or delete. Raises
    // Common::Error unless it is whole UTF-8 without NUL bytes: any
    // conversion would name something else.
    std::string GetName(ArgName arg) const;
    // Pointer to the value's bytes (length in `length`), or null when absent.
    const char* GetStringData(ArgName arg, std::uint64_t& length) const;
    // The value's bytes where the host keeps them for the call; empty when absent.
    std::string_view GetStringView(ArgName arg) const;
    // Bindings are small values: taking one allocates nothing.
    IntegerAddress GetIntegerAddress(ArgName arg) const;
    StringAddress GetStringAddress(ArgName arg) const;
    // The binding when the call gives the argument, nothing otherwise.
    std::optional<IntegerAddress> GetIntegerAddressIfGiven(ArgName arg) const;
    std::optional<StringAddress> GetStringAddressIfGiven(ArgName arg) const;

private:
    const Abi::ArgumentValue* Find(ArgName arg) const;
    std::uint64_t StringLength(const char* value) const;
    std::uint32_t BindingReference(ArgName arg, std::uint32_t storage_class) const;

    const ArgumentDescriptor* descriptors_;
    const Abi::ArgumentValue* argv_;
    Abi::CallContext* call_;
    // For each declared argument, where in argv the call gives it; set for
    // the declared ones only.
    static constexpr std::uint32_t kNotGiven = UINT32_MAX;
    std::uint32_t given_[kMaxArguments];
};

using IntegerAddress = ArgParse::IntegerAddress;
using StringAddress = ArgParse::StringAddress;

}  // namespace ScanEngine
