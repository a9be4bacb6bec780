// The reference host's side of the process record: a writer for the flat,
// typed entry format the process cache answers with, and a description of
// one cached process that it encodes with the field ids the module reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace RefHost {

// Builds one process record entry by entry. Every value type of the format
// has its own call; Raw appends bytes as they are (counted as one entry),
// for records a well-behaved host would not send.
class ProcessRecordWriter {
public:
    explicit ProcessRecordWriter(std::uint32_t header_word = 0) : header_word_(header_word) {}

    ProcessRecordWriter& Int8(std::uint16_t field, std::int8_t value);
    ProcessRecordWriter& Int16(std::uint16_t field, std::int16_t value);
    ProcessRecordWriter& Int32(std::uint16_t field, std::int32_t value);
    ProcessRecordWriter& Int64(std::uint16_t field, std::int64_t value);
    ProcessRecordWriter& UInt8(std::uint16_t field, std::uint8_t value);
    ProcessRecordWriter& UInt16(std::uint16_t field, std::uint16_t value);
    ProcessRecordWriter& UInt32(std::uint16_t field, std::uint32_t value);
    ProcessRecordWriter& UInt64(std::uint16_t field, std::uint64_t value);
    ProcessRecordWriter& Binary(std::uint16_t field, const std::string& bytes);  // type 8
    ProcessRecordWriter& Text(std::uint16_t field, const std::string& text);     // type 9
    ProcessRecordWriter& Utf16(std::uint16_t field, const std::u16string& text); // type 10, length in bytes
    ProcessRecordWriter& Boolean(std::uint16_t field, bool value);               // type 13
    ProcessRecordWriter& Opaque(std::uint16_t field, const std::string& bytes);  // type 14
    // Any type with a payload given byte for byte.
    ProcessRecordWriter& Entry(std::uint16_t field, std::uint8_t type, const std::string& payload);
    ProcessRecordWriter& Raw(const std::string& entry_bytes);

    std::uint32_t Count() const { return count_; }
    // The record: header word, entry count (or `count_override`), entries.
    std::string Bytes(std::optional<std::uint32_t> count_override = std::nullopt) const;

private:
    std::uint32_t header_word_;
    std::uint32_t count_ = 0;
    std::string entries_;
};

struct HostPrivilege {
    std::uint32_t luid_low = 0;
    std::int32_t luid_high = 0;
    std::uint32_t attributes = 0;
};

// The privilege set as the record carries it: u32 count, then 12 bytes per
// privilege (LUID low, LUID high, attributes).
std::string EncodePrivileges(const std::vector<HostPrivilege>& privileges);

// One process as the host's cache knows it. Absent optional values are left
// out of the record.
struct HostProcess {
    std::uint32_t pid = 0;
    std::uint64_t uid = 0;
    std::uint32_t parent_pid = 0;
    std::uint64_t parent_uid = 0;
    std::optional<std::u16string> image_nt;    // NT image path
    std::optional<std::u16string> command_line;
    std::optional<std::u16string> cwd;
    bool no_image = false;
    bool terminated = false;
    std::uint64_t start_time = 0;
    std::optional<std::uint64_t> exit_time;
    std::optional<std::string> user_sid;       // binary SID
    bool is_admin = false;
    std::uint32_t integrity_level = 0;
    std::optional<std::vector<HostPrivilege>> privileges;
    // Complete entries appended after the standard ones, byte for byte.
    std::vector<std::string> extra_entries;
};

// Field ids of the process record.
namespace ProcessField {
inline constexpr std::uint16_t kPid = 4, kUid = 5, kParentPid = 6, kParentUid = 7, kImageNt = 14, kCommandLine = 15,
                               kNoImage = 16, kTerminated = 17, kUserSid = 31, kStartTime = 54, kIsAdmin = 85,
                               kIntegrityLevel = 86, kExitTime = 87, kPrivileges = 88, kCwd = 89;
}

// The record the cache answers with for `process`: integers as u32/u64,
// flags as boolean bytes, texts as UTF-16, SID and privileges as binary.
std::string EncodeProcessRecord(const HostProcess& process);

}  // namespace RefHost
