// The process record reader on hostile records: nothing it hands out lies
// outside the buffer, integers keep their type's range, and cutting the
// buffer short only ever drops entries from the end.
#include <vector>

#include "fuzz_check.h"
#include "orvik/functions/process/process_record.h"

using namespace ScanEngine::Process;

namespace {

struct Seen {
    RecordEntry entry;
    std::string text;
};

std::vector<Seen> Walk(const std::uint8_t* data, std::size_t size) {
    ProcessRecordReader reader(data, size);
    std::vector<Seen> seen;
    RecordEntry entry;
    while (reader.Next(entry)) {
        FUZZ_CHECK(seen.size() < reader.DeclaredCount());
        const std::uint8_t* end = data + size;
        if (IsLengthPrefixedType(entry.type)) {
            FUZZ_CHECK(entry.data >= data + kRecordHeaderSize + kEntryHeaderSize + 4 && entry.data <= end);
            FUZZ_CHECK(entry.length <= static_cast<std::size_t>(end - entry.data));
        } else {
            FUZZ_CHECK(IsIntegerType(entry.type) && entry.data == nullptr);
            const unsigned bits = entry.type == RecordValueType::kBoolean ? 8 : 8u << (static_cast<int>(entry.type) & 3);
            const bool is_signed = static_cast<int>(entry.type) < 4;
            if (bits < 64 && is_signed) FUZZ_CHECK(entry.integer >= -(std::int64_t{1} << (bits - 1)) && entry.integer < std::int64_t{1} << (bits - 1));
            if (bits < 64 && !is_signed) FUZZ_CHECK(entry.integer >= 0 && entry.integer < std::int64_t{1} << bits);
        }
        // Text() of UTF-16 data is UTF-8 whatever the units; Utf16() reads inside the entry.
        std::string text = entry.Text();
        if (entry.type == RecordValueType::kUtf16Text) FUZZ_CHECK(Fuzz::IsUtf8(text) && entry.Utf16().size() == entry.length / 2);
        seen.push_back({entry, std::move(text)});
    }
    FUZZ_CHECK(!reader.Cut() || seen.size() < reader.DeclaredCount());
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<Seen> whole = Walk(data, size);
    // A copy cut short (its own allocation, so a read past it is caught).
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    const std::vector<std::uint8_t> prefix(data, data + cut);
    const std::vector<Seen> part = Walk(prefix.data(), prefix.size());
    FUZZ_CHECK(part.size() <= whole.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
        const RecordEntry& a = part[i].entry;
        const RecordEntry& b = whole[i].entry;
        FUZZ_CHECK(a.field == b.field && a.type == b.type && a.integer == b.integer && a.length == b.length);
        FUZZ_CHECK((a.data == nullptr) == (b.data == nullptr) && part[i].text == whole[i].text);
        if (a.data != nullptr) FUZZ_CHECK(a.data - prefix.data() == b.data - data);
    }
    return 0;
}
