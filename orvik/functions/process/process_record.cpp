#include "process_record.h"

#include "common/utf.h"

namespace ScanEngine::Process {
namespace {

// Little-endian reads at any alignment; the caller has checked the bounds.
std::uint64_t ReadUnsigned(const std::uint8_t* at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::uint64_t{at[i]} << (8 * i);
    return value;
}

std::int64_t ReadSigned(const std::uint8_t* at, std::size_t width) {
    const std::uint64_t raw = ReadUnsigned(at, width);
    if (width == 8) return static_cast<std::int64_t>(raw);
    const std::uint64_t sign = std::uint64_t{1} << (8 * width - 1);
    return static_cast<std::int64_t>((raw ^ sign) - sign);
}

// Smallest payload that makes an entry of this type usable; 0 for types the
// reader does not know.
std::size_t MinimumPayload(std::uint8_t type) {
    switch (static_cast<RecordValueType>(type)) {
        case RecordValueType::kInt8:
        case RecordValueType::kUInt8:
        case RecordValueType::kBoolean:
            return 1;
        case RecordValueType::kInt16:
        case RecordValueType::kUInt16:
            return 2;
        case RecordValueType::kInt32:
        case RecordValueType::kUInt32:
        case RecordValueType::kBinary:
        case RecordValueType::kText:
        case RecordValueType::kUtf16Text:
            return 4;
        case RecordValueType::kInt64:
        case RecordValueType::kUInt64:
        case RecordValueType::kOpaque:
            return 8;
    }
    return 0;
}

std::int64_t IntegerValue(RecordValueType type, const std::uint8_t* payload) {
    switch (type) {
        case RecordValueType::kInt8: return ReadSigned(payload, 1);
        case RecordValueType::kInt16: return ReadSigned(payload, 2);
        case RecordValueType::kInt32: return ReadSigned(payload, 4);
        case RecordValueType::kInt64: return ReadSigned(payload, 8);
        case RecordValueType::kUInt8:
        case RecordValueType::kBoolean: return static_cast<std::int64_t>(ReadUnsigned(payload, 1));
        case RecordValueType::kUInt16: return static_cast<std::int64_t>(ReadUnsigned(payload, 2));
        case RecordValueType::kUInt32: return static_cast<std::int64_t>(ReadUnsigned(payload, 4));
        case RecordValueType::kUInt64: return static_cast<std::int64_t>(ReadUnsigned(payload, 8));
        default: return 0;
    }
}

}  // namespace

bool IsIntegerType(RecordValueType type) {
    return static_cast<std::uint8_t>(type) <= 7 || type == RecordValueType::kBoolean;
}

bool IsLengthPrefixedType(RecordValueType type) {
    return type == RecordValueType::kBinary || type == RecordValueType::kText ||
           type == RecordValueType::kUtf16Text || type == RecordValueType::kOpaque;
}

std::string RecordEntry::Text() const {
    if (data == nullptr) return {};
    if (type == RecordValueType::kText) return std::string(reinterpret_cast<const char*>(data), length);
    if (type != RecordValueType::kUtf16Text) return {};
    // Most texts (command lines, folders) fit a buffer on the stack, which
    // spares a copy on the heap.
    char16_t units[512];
    const std::size_t count = length / 2;
    if (count > std::size(units)) return Common::Utf16ToUtf8(Utf16());
    CopyUnits(units, count);
    return Common::Utf16ToUtf8(std::u16string_view(units, count));
}

std::u16string RecordEntry::Utf16() const {
    if (type != RecordValueType::kUtf16Text || data == nullptr) return {};
    std::u16string units(length / 2, u'\0');
    CopyUnits(units.data(), units.size());
    return units;
}

ProcessRecordReader::ProcessRecordReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
    if (data_ == nullptr || size_ < kRecordHeaderSize) return;
    count_ = static_cast<std::uint32_t>(ReadUnsigned(data_ + 4, 4));
}

bool ProcessRecordReader::Next(RecordEntry& entry) {
    while (visited_ < count_ && !cut_) {
        // The size word itself must lie inside the buffer.
        if (size_ - offset_ < 4) {
            cut_ = true;
            return false;
        }
        const std::uint8_t* at = data_ + offset_;
        const std::size_t entry_size = static_cast<std::uint32_t>(ReadUnsigned(at, 4));
        if (entry_size == 0) {
            // Every remaining entry would start here again: nothing more to read.
            cut_ = true;
            return false;
        }
        if (entry_size > size_ - offset_) {
            cut_ = true;
            return false;
        }
        offset_ += entry_size;
        ++visited_;

        // Below the header size the payload counts as empty: skipped, as is
        // any entry whose payload cannot hold its type's value.
        if (entry_size <= kEntryHeaderSize) continue;
        const std::size_t payload_size = entry_size - kEntryHeaderSize;
        const std::uint8_t raw_type = at[6];
        const std::size_t minimum = MinimumPayload(raw_type);
        if (minimum == 0 || payload_size < minimum) continue;

        const std::uint8_t* payload = at + kEntryHeaderSize;
        entry = RecordEntry{};
        entry.field = static_cast<std::uint16_t>(ReadUnsigned(at + 4, 2));
        entry.type = static_cast<RecordValueType>(raw_type);
        if (IsLengthPrefixedType(entry.type)) {
            const std::size_t declared = static_cast<std::uint32_t>(ReadUnsigned(payload, 4));
            const std::size_t available = payload_size - kLengthPrefixSize;
            entry.data = payload + kLengthPrefixSize;
            entry.length = declared < available ? declared : available;
        } else {
            entry.integer = IntegerValue(entry.type, payload);
        }
        return true;
    }
    return false;
}

}  // namespace ScanEngine::Process
