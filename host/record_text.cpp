#include "record_text.h"

#include "common/hex_text.h"

namespace RefHost {
namespace {

RecordMember Text(const char* name, const char* text) {
    if (text == nullptr) return {name, nullptr};
    return {name, std::string(text)};
}

// The interface gives a digest no length: it is as long as its kind says.
RecordMember Digest(const char* name, const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr) return {name, nullptr};
    return {name, Common::EncodeHexPairs({reinterpret_cast<const char*>(bytes), size})};
}

RecordMember Signed(const char* name, std::int64_t value) { return {name, value}; }
RecordMember Unsigned(const char* name, std::uint64_t value) { return {name, value}; }

}  // namespace

RecordMembers MembersOf(const Abi::VerdictRecord& r) {
    return {Unsigned("ttl", r.ttl), Unsigned("id", r.id), Signed("value", r.value),
            Unsigned("scan_depth", r.scan_depth), Unsigned("reserved", r.reserved)};
}

RecordMembers MembersOf(const Abi::AlertRecord& r) {
    return {Text("folder", r.folder),
            Text("file_name", r.file_name),
            Unsigned("rule_id", r.rule_id),
            Unsigned("pad0", r.pad0),
            Text("threat", r.threat),
            Digest("md5", r.md5, 16),
            Digest("sha1", r.sha1, 20),
            Digest("sha256", r.sha256, 32),
            Unsigned("file_size", r.file_size),
            Unsigned("can_quarantine", r.can_quarantine),
            Unsigned("upload_enabled", r.upload_enabled),
            Unsigned("pad1", r.pad1),
            Unsigned("engine_id", r.engine_id),
            Unsigned("system_pid", r.system_pid)};
}

RecordMembers MembersOf(const Abi::SignificantProcessRecord& r) {
    return {Text("identity", r.identity), Unsigned("process_uid", r.process_uid),
            Unsigned("process_id", r.process_id), Unsigned("zero", r.zero)};
}

std::string RecordText(const RecordMembers& members) {
    std::string text = "{";
    for (const RecordMember& m : members) {
        if (text.size() > 1) text += ", ";
        text += m.name + "=";
        if (std::holds_alternative<std::nullptr_t>(m.value)) text += "(null)";
        else if (const auto* s = std::get_if<std::int64_t>(&m.value)) text += std::to_string(*s);
        else if (const auto* u = std::get_if<std::uint64_t>(&m.value)) text += std::to_string(*u);
        else text += std::get<std::string>(m.value);
    }
    return text + "}";
}

}  // namespace RefHost
