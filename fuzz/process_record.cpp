// The process record reader on hostile records: nothing it hands out lies outside the buffer, integers keep their
// type's range, and cutting the buffer short only drops entries from the end.
#include <vector>

#include "fuzz_check.h"
#include "orvik/functions/process/process_record.h"

using namespace ScanEngine::Process;

static std::vector<std::pair<RecordEntry, std::string>> Walk(const std::uint8_t* data, std::size_t size) {
    ProcessRecordReader reader(data, size);
    std::vector<std::pair<RecordEntry, std::string>> seen;
    for (RecordEntry e; reader.Next(e);) {
        FUZZ_CHECK(seen.size() < reader.DeclaredCount());
        if (IsLengthPrefixedType(e.type)) {
            FUZZ_CHECK(e.data >= data + kRecordHeaderSize + kEntryHeaderSize + kLengthPrefixSize);
            FUZZ_CHECK(e.data <= data + size && e.length <= static_cast<std::size_t>(data + size - e.data));
        } else {
            FUZZ_CHECK(IsIntegerType(e.type) && e.data == nullptr);
            const auto type = static_cast<int>(e.type);
            const int bits = type == 13 ? 8 : 8 << (type & 3);
            const std::int64_t span = bits == 64 ? 0 : std::int64_t{1} << (type < 4 ? bits - 1 : bits);
            FUZZ_CHECK(bits == 64 || (e.integer >= (type < 4 ? -span : 0) && e.integer < span));
        }
        // UTF-16 text comes out as UTF-8 whatever the units.
        std::string text = e.Text();
        FUZZ_CHECK(e.type != RecordValueType::kUtf16Text || (Fuzz::IsUtf8(text) && e.Utf16().size() == e.length / 2));
        seen.emplace_back(e, std::move(text));
    }
    FUZZ_CHECK(!reader.Cut() || seen.size() < reader.DeclaredCount());
    return seen;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto whole = Walk(data, size);
    // A copy cut short, in its own allocation so a read past it is caught.
    const std::vector<std::uint8_t> prefix(data, data + (size == 0 ? 0 : data[0] % (size + 1)));
    const auto part = Walk(prefix.data(), prefix.size());
    FUZZ_CHECK(part.size() <= whole.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
        const auto& [a, text] = part[i];
        const RecordEntry& b = whole[i].first;
        FUZZ_CHECK(a.field == b.field && a.type == b.type && a.integer == b.integer && a.length == b.length);
        FUZZ_CHECK(text == whole[i].second && (a.data == nullptr) == (b.data == nullptr));
        FUZZ_CHECK(a.data == nullptr || a.data - prefix.data() == b.data - data);
    }
    return 0;
}
