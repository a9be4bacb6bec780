#include "cli_arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "common/hex_text.h"
#include "near_names.h"

namespace OrvikCli {
namespace {

const ScanEngine::ArgumentDescriptor* FindDeclared(const ScanEngine::ArgumentDescriptor* list,
                                                   const std::string& name) {
    for (; list != nullptr && list->name != nullptr; ++list)
        if (name == list->name) return list;
    return nullptr;
}

std::int64_t ParseInteger(const std::string& name, const std::string& text) {
    // strtoull keeps the full 64-bit range (ids, uids) and wraps a leading '-'
    // the way a rule's negative integer arrives.
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || *end != '\0' || errno == ERANGE)
        throw std::invalid_argument("argument '" + name + "': '" + text + "' is not an integer");
    return static_cast<std::int64_t>(value);
}

// A name the function does not declare: the near declared name if there
// is one, else how to pass it anyway.
std::invalid_argument Undeclared(const std::string& name, const ScanEngine::ArgumentDescriptor* list) {
    std::vector<std::string_view> names;
    for (; list != nullptr && list->name != nullptr; ++list) names.emplace_back(list->name);
    const std::string hint = DidYouMean(name, names);
    return std::invalid_argument("argument '" + name + "' is not declared" +
                                 (hint.empty() ? "; to pass it anyway, give its kind: " + name + ":int=... or " +
                                                     name + ":str=..."
                                               : hint));
}


}  // namespace

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'n') out += '\n';
        else if (c == 't') out += '\t';
        else if (c == '0') out += '\0';
        else if (c == '\\' || c == '"') out += c;  // Quote escapes both
        else if (const auto byte = c == 'x' && i + 2 < text.size() ? Common::DecodeHexPairs(text.substr(i + 1, 2))
                                                                   : std::vector<std::uint8_t>{};
                 !byte.empty()) {
            out += static_cast<char>(byte[0]);
            i += 2;
        } else {
            out += '\\';
            out += c;
        }
    }
    return out;
}

std::string Quote(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else out += ch;
    }
    return out + "\"";
}

RefHost::Arg ParseCallArgument(const std::string& word, const ScanEngine::ArgumentDescriptor* declared,
                               std::uint32_t& next_ref) {
    const std::size_t equals = word.find('=');
    std::string name = word.substr(0, equals);
    std::string type;
    if (const std::size_t colon = name.find(':'); colon != std::string::npos) {
        type = name.substr(colon + 1);
        name.erase(colon);
    }
    if (name.empty()) throw std::invalid_argument("'" + word + "': an argument needs a name");

    if (type == "undef") {
        if (equals != std::string::npos) throw std::invalid_argument("'" + word + "': an undefined value takes no '='");
        return RefHost::Arg::Undefined(name);
    }
    if (equals == std::string::npos) throw std::invalid_argument("'" + word + "': expected name=value");
    const std::string value = word.substr(equals + 1);
    const ScanEngine::ArgumentDescriptor* d = FindDeclared(declared, name);

    if (type.empty() && !value.empty() && value[0] == '@') {
        std::string kind = value.substr(1);
        if (kind.empty()) {
            if (d == nullptr) throw Undeclared(name, declared);
            if (d->address_kind == ScanEngine::AddressKind::Input)
                throw std::invalid_argument("argument '" + name + "' is not a declared output; use @int or @str");
            kind = d->address_kind == ScanEngine::AddressKind::IntegerOutput ? "int" : "str";
        }
        if (kind == "int") return RefHost::Arg::OutInt(name, ++next_ref);
        if (kind == "str") return RefHost::Arg::OutStr(name, ++next_ref);
        throw std::invalid_argument("'" + word + "': a binding is @, @int or @str");
    }

    if (type.empty()) {
        if (d == nullptr) throw Undeclared(name, declared);
        type = d->value_kind == ScanEngine::ArgKind::String ? "str" : "int";
    }
    if (type == "int") return RefHost::Arg::Int(name, ParseInteger(name, value));
    if (type == "str") return RefHost::Arg::Str(name, value);
    if (type == "esc") return RefHost::Arg::Str(name, Unescape(value));
    throw std::invalid_argument("'" + word + "': unknown kind '" + type + "' (int, str, esc or undef)");
}

}  // namespace OrvikCli
