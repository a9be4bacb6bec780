#include "arg_parse.h"

#include <cstring>

#include "common/error.h"
#include "common/format_string.h"
#include "common/utf.h"

namespace ScanEngine {
namespace {

// Names are a few bytes: compared in place, which is quicker than a call
// into the runtime library on every argument of every call.
bool SameName(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}

const char* Printable(const char* name) { return name ? name : "(null)"; }

void LogAssignFailure(Abi::CallContext* call, const char* format, std::uint32_t ref) {
    if (call == nullptr || call->LogMessage == nullptr) return;
    call->LogMessage(call, 2, Common::FormatString(format, static_cast<int>(ref)).c_str());
}

}  // namespace

ArgParse::ArgParse(const ArgumentDescriptor* descriptors, std::uint32_t argc, const Abi::ArgumentValue* argv,
                   Abi::CallContext* call)
    : descriptors_(descriptors), argv_(argv), call_(call) {
    if (argc != 0 && argv == nullptr) throw COMMON_ERROR("argument values are missing");

    // One bit per descriptor: set once the argument is satisfied (optional ones start set).
    std::uint64_t satisfied = 0;
    std::size_t declared = 0;
    for (const ArgumentDescriptor* d = descriptors_; d->name != nullptr; ++d, ++declared) {
        if (declared == kMaxArguments) throw COMMON_ERROR("the function declares too many arguments");
        if (!d->required) satisfied |= std::uint64_t{1} << declared;
        given_[declared] = kNotGiven;
    }

    for (std::uint32_t i = 0; i < argc; ++i) {
        const Abi::ArgumentValue& value = argv[i];
        std::size_t index = 0;
        const ArgumentDescriptor* d = descriptors_;
        while (d->name != nullptr && !SameName(d->name, value.name)) ++d, ++index;
        if (d->name == nullptr)
            throw COMMON_ERROR(Common::FormatString("got unsupported argument '%s'", Printable(value.name)));
        if (given_[index] == kNotGiven) given_[index] = i;  // a name given twice: the first counts
        if (value.kind == Abi::kValueUndefined) {
            if (d->required)
                throw COMMON_ERROR(Common::FormatString("got undefined argument '%s' value", value.name));
            continue;
        }
        if (value.kind != static_cast<std::uint32_t>(d->value_kind))
            throw COMMON_ERROR(Common::FormatString("typeinfo mismatched for argument '%s'", value.name));
        satisfied |= std::uint64_t{1} << index;
    }

    const std::uint64_t all = declared == kMaxArguments ? ~std::uint64_t{0} : (std::uint64_t{1} << declared) - 1;
    if (satisfied == all) return;
    std::string missing;
    std::size_t index = 0;
    for (const ArgumentDescriptor* d = descriptors_; d->name != nullptr; ++d, ++index) {
        if ((satisfied >> index & 1) == 0) missing.append(d->name).append(", ");
    }
    if (!missing.empty())
        throw COMMON_ERROR(Common::FormatString("required arguments not found '%s'", missing.c_str()));
}

const Abi::ArgumentValue* ArgParse::Find(ArgName arg) const {
    std::size_t index = 0;
    for (const ArgumentDescriptor* d = descriptors_; d->name != nullptr; ++d, ++index) {
        if (arg.id != 0 ? d->id == arg.id : SameName(d->name, arg.name))
            return given_[index] != kNotGiven ? &argv_[given_[index]] : nullptr;
    }
    // A handler asking for an argument its function does not declare could
    // never be given it: a fault of the module, failed loudly on every call.
    throw COMMON_ERROR(Common::FormatString("the handler reads the undeclared argument '%s'", Printable(arg.name)));
}

std::uint64_t ArgParse::StringLength(const char* value) const {
    if (value == nullptr) return 0;
    if (call_ != nullptr && call_->GetStringLength != nullptr) return call_->GetStringLength(call_, value);
    return std::strlen(value);
}

bool ArgParse::IsGiven(ArgName arg) const {
    const Abi::ArgumentValue* v = Find(arg);
    return v != nullptr && v->kind != Abi::kValueUndefined;
}

std::int64_t ArgParse::GetInteger(ArgName arg) const {
    const Abi::ArgumentValue* v = Find(arg);
    return v != nullptr && v->kind == Abi::kValueInteger ? static_cast<std::int64_t>(v->value) : 0;
}

std::string ArgParse::GetString(ArgName arg) const {
    std::uint64_t length = 0;
    const char* data = GetStringData(arg, length);
    return data ? std::string(data, length) : std::string();
}

std::string ArgParse::GetName(ArgName arg) const {
    std::string text = GetString(arg);
    if (Common::HoldsNul(text))
        throw COMMON_ERROR(Common::FormatString("argument '%s' holds a NUL byte", arg.name));
    if (!Common::IsNameText(text))
        throw COMMON_ERROR(Common::FormatString("argument '%s' is not valid UTF-8", arg.name));
    return text;
}

const char* ArgParse::GetStringData(ArgName arg, std::uint64_t& length) const {
    const Abi::ArgumentValue* v = Find(arg);
    if (v == nullptr || v->kind != Abi::kValueString) return nullptr;
    const char* data = reinterpret_cast<const char*>(v->value);
    if (data == nullptr) return nullptr;  // a string value without bytes is a host fault: treat as absent
    length = StringLength(data);
    return data;
}

std::string_view ArgParse::GetStringView(ArgName arg) const {
    std::uint64_t length = 0;
    const char* data = GetStringData(arg, length);
    return data != nullptr ? std::string_view(data, static_cast<std::size_t>(length)) : std::string_view();
}

std::uint32_t ArgParse::BindingReference(ArgName arg, std::uint32_t storage_class) const {
    const Abi::ArgumentValue* v = Find(arg);
    if (v == nullptr || v->kind == Abi::kValueUndefined)
        throw COMMON_ERROR(Common::FormatString("argument '%s' is not given", arg.name));
    if (v->kind != Abi::kValueInteger || v->storage != storage_class) {
        // A string literal where a variable belongs shows storage class 0.
        const int storage = v->kind == Abi::kValueInteger ? static_cast<int>(v->storage) : 0;
        throw COMMON_ERROR(
            Common::FormatString("argument '%s' has malformed variable starage class: %d", arg.name, storage));
    }
    return static_cast<std::uint32_t>(v->value);
}

ArgParse::IntegerAddress ArgParse::GetIntegerAddress(ArgName arg) const {
    return IntegerAddress(BindingReference(arg, Abi::kStorageInteger), call_);
}

ArgParse::StringAddress ArgParse::GetStringAddress(ArgName arg) const {
    return StringAddress(BindingReference(arg, Abi::kStorageString), call_);
}

std::optional<ArgParse::IntegerAddress> ArgParse::GetIntegerAddressIfGiven(ArgName arg) const {
    if (!IsGiven(arg)) return std::nullopt;
    return GetIntegerAddress(arg);
}

std::optional<ArgParse::StringAddress> ArgParse::GetStringAddressIfGiven(ArgName arg) const {
    if (!IsGiven(arg)) return std::nullopt;
    return GetStringAddress(arg);
}

void ArgParse::IntegerAddress::Assign(std::uint64_t value) const {
    if (call_ == nullptr || call_->AssignIntegerVariable == nullptr ||
        call_->AssignIntegerVariable(call_, ref_, value) != 0)
        LogAssignFailure(call_, "failed to assign new integer value to variable ref=%d", ref_);
}

void ArgParse::StringAddress::Assign(const void* bytes, std::uint64_t length) const {
    if (call_ == nullptr || call_->AssignStringVariable == nullptr ||
        call_->AssignStringVariable(call_, ref_, bytes, length) != 0)
        LogAssignFailure(call_, "failed to assign new string value to variable ref=%d", ref_);
}

}  // namespace ScanEngine
