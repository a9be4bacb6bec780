#include "process_record_writer.h"

namespace RefHost {
namespace {

template <typename T>
void Append(std::string& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF));
}

std::string LengthPrefixed(const std::string& bytes) {
    std::string payload;
    Append(payload, static_cast<std::uint32_t>(bytes.size()));
    return payload + bytes;
}

}  // namespace

ProcessRecordWriter& ProcessRecordWriter::Entry(std::uint16_t field, std::uint8_t type, const std::string& payload) {
    std::string entry;
    Append(entry, static_cast<std::uint32_t>(7 + payload.size()));
    Append(entry, field);
    entry.push_back(static_cast<char>(type));
    return Raw(entry + payload);
}

ProcessRecordWriter& ProcessRecordWriter::Raw(const std::string& entry_bytes) {
    entries_ += entry_bytes;
    ++count_;
    return *this;
}

#define ORVIK_INTEGER_WRITER(Name, Type, Code)                                          \
    ProcessRecordWriter& ProcessRecordWriter::Name(std::uint16_t field, Type value) { \
        std::string payload;                                                          \
        Append(payload, value);                                                       \
        return Entry(field, Code, payload);                                           \
    }
ORVIK_INTEGER_WRITER(Int8, std::int8_t, 0)
ORVIK_INTEGER_WRITER(Int16, std::int16_t, 1)
ORVIK_INTEGER_WRITER(Int32, std::int32_t, 2)
ORVIK_INTEGER_WRITER(Int64, std::int64_t, 3)
ORVIK_INTEGER_WRITER(UInt8, std::uint8_t, 4)
ORVIK_INTEGER_WRITER(UInt16, std::uint16_t, 5)
ORVIK_INTEGER_WRITER(UInt32, std::uint32_t, 6)
ORVIK_INTEGER_WRITER(UInt64, std::uint64_t, 7)
#undef ORVIK_INTEGER_WRITER

ProcessRecordWriter& ProcessRecordWriter::Binary(std::uint16_t field, const std::string& bytes) {
    return Entry(field, 8, LengthPrefixed(bytes));
}

ProcessRecordWriter& ProcessRecordWriter::Text(std::uint16_t field, const std::string& text) {
    return Entry(field, 9, LengthPrefixed(text));
}

ProcessRecordWriter& ProcessRecordWriter::Utf16(std::uint16_t field, const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) Append(bytes, static_cast<std::uint16_t>(unit));
    return Entry(field, 10, LengthPrefixed(bytes));
}

ProcessRecordWriter& ProcessRecordWriter::Boolean(std::uint16_t field, bool value) {
    return Entry(field, 13, std::string(1, value ? '\1' : '\0'));
}

ProcessRecordWriter& ProcessRecordWriter::Opaque(std::uint16_t field, const std::string& bytes) {
    return Entry(field, 14, LengthPrefixed(bytes));
}

std::string ProcessRecordWriter::Bytes(std::optional<std::uint32_t> count_override) const {
    std::string record;
    Append(record, header_word_);
    Append(record, count_override.value_or(count_));
    return record + entries_;
}

std::string EncodePrivileges(const std::vector<HostPrivilege>& privileges) {
    std::string bytes;
    Append(bytes, static_cast<std::uint32_t>(privileges.size()));
    for (const HostPrivilege& p : privileges) {
        Append(bytes, p.luid_low);
        Append(bytes, p.luid_high);
        Append(bytes, p.attributes);
    }
    return bytes;
}

std::string EncodeProcessRecord(const HostProcess& process) {
    using namespace ProcessField;
    ProcessRecordWriter w;
    w.UInt32(kPid, process.pid).UInt64(kUid, process.uid).UInt32(kParentPid, process.parent_pid);
    w.UInt64(kParentUid, process.parent_uid);
    if (process.image_nt) w.Utf16(kImageNt, *process.image_nt);
    if (process.command_line) w.Utf16(kCommandLine, *process.command_line);
    w.Boolean(kNoImage, process.no_image).Boolean(kTerminated, process.terminated);
    if (process.user_sid) w.Binary(kUserSid, *process.user_sid);
    w.UInt64(kStartTime, process.start_time);
    w.Boolean(kIsAdmin, process.is_admin).UInt32(kIntegrityLevel, process.integrity_level);
    if (process.exit_time) w.UInt64(kExitTime, *process.exit_time);
    if (process.privileges) w.Binary(kPrivileges, EncodePrivileges(*process.privileges));
    if (process.cwd) w.Utf16(kCwd, *process.cwd);
    for (const std::string& entry : process.extra_entries) w.Raw(entry);
    return w.Bytes();
}

}  // namespace RefHost
