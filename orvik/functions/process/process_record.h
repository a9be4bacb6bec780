// Reader for the host's process record: a flat, self-describing list of
// typed entries that the process cache serialises one process into.
//
//   record: u32 (not read), u32 entry count, then the entries back to back
//   entry:  u32 entry size (header included), u16 field id, u8 value type,
//           then the payload (entry size - 7 bytes)
//
// The record lives in host memory and may be malformed. The reader never
// looks at a byte outside [data, data + size): it stops at the first entry
// that would run past the end, and every length inside an entry is cut to
// the entry's own payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ScanEngine::Process {

enum class RecordValueType : std::uint8_t {
    kInt8 = 0,
    kInt16 = 1,
    kInt32 = 2,
    kInt64 = 3,
    kUInt8 = 4,
    kUInt16 = 5,
    kUInt32 = 6,
    kUInt64 = 7,
    kBinary = 8,      // u32 length, then bytes
    kText = 9,        // u32 length, then 8-bit text
    kUtf16Text = 10,  // u32 length in bytes, then UTF-16 code units
    kBoolean = 13,    // one byte
    kOpaque = 14,     // u32 length, then bytes; checked, never delivered
};

inline constexpr std::size_t kRecordHeaderSize = 8;
inline constexpr std::size_t kEntryHeaderSize = 7;
inline constexpr std::size_t kLengthPrefixSize = 4;

// True for the types delivered as integers (0 to 7 and the boolean byte).
bool IsIntegerType(RecordValueType type);
// True for the types carrying a u32 length and data (8, 9, 10, 14).
bool IsLengthPrefixedType(RecordValueType type);

// One usable entry. Pointers point into the record and stay valid as long
// as the record does.
struct RecordEntry {
    std::uint16_t field = 0;
    RecordValueType type = RecordValueType::kInt8;
    // Integer types: the value, sign- or zero-extended as its type says.
    std::int64_t integer = 0;
    // Length-prefixed types: the data, its length the smaller of the declared
    // length and what the payload holds.
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;

    // Types 9 and 10 as UTF-8 (type 9 bytes as they are, type 10 converted,
    // an odd trailing byte ignored); "" for other types.
    std::string Text() const;
    // Type 10 as code units; empty for other types.
    std::u16string Utf16() const;
    // Type 10's first `count` code units (at most length / 2) into `out`.
    // The data has no alignment of its own: unit by unit.
    template <typename Unit>
    void CopyUnits(Unit* out, std::size_t count) const {
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<Unit>(data[2 * i] | data[2 * i + 1] << 8);
    }
};

class ProcessRecordReader {
public:
    // `data` may be null (no record); `size` is the byte count the host gave.
    ProcessRecordReader(const std::uint8_t* data, std::size_t size);

    // The entry count the record declares (0 when the header does not fit).
    std::uint32_t DeclaredCount() const { return count_; }

    // Moves to the next usable entry and fills `entry`; false at the end of
    // the record. Entries with an empty payload, an unknown type or a payload
    // below their type's minimum are passed over.
    bool Next(RecordEntry& entry);

    // True once the walk stopped because an entry would have run past the
    // end of the buffer (or could make no progress) before the declared
    // count was reached.
    bool Cut() const { return cut_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::uint32_t count_ = 0;
    std::uint32_t visited_ = 0;
    std::size_t offset_ = kRecordHeaderSize;
    bool cut_ = false;
};

}  // namespace ScanEngine::Process
