// The process record reader on records that end right before a no-access
// page: any read past the record's size faults and ends the test program.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "guarded_page.h"
#include "host/process_record_writer.h"
#include "orvik/functions/process/process_record.h"
#include "orvik/functions/process/sid_text.h"

namespace OrvikTest {
namespace {

using namespace ScanEngine::Process;

struct Walk {
    std::size_t entries = 0;
    bool cut = false, in_bounds = true;
};
volatile std::uint64_t g_sink = 0;

// Reads every entry the way the handler does, touching every data byte.
Walk WalkRecord(const std::uint8_t* data, std::size_t size) {
    Walk walk;
    ProcessRecordReader reader(data, size);
    std::uint64_t sum = 0;
    for (RecordEntry e; reader.Next(e); ++walk.entries) {
        sum += static_cast<std::uint64_t>(e.integer) + e.field;
        if (e.data == nullptr) continue;
        walk.in_bounds &= e.data >= data && e.length <= static_cast<std::size_t>(data + size - e.data);
        for (std::size_t i = 0; i < e.length; ++i) sum += e.data[i];
        sum += e.Text().size() + SidText(e.data, e.length).size();
    }
    g_sink = sum;
    walk.cut = reader.Cut();
    return walk;
}

bool IsLengthPrefixed(char type) { return type == 8 || type == 9 || type == 10 || type == 14; }

TEST(ProcessRecordGuard, EveryTruncationOfAValidRecordStaysInside) {
    GuardedPage page;
    RefHost::ProcessRecordWriter w(0x01020304);
    w.Int8(1, -3).Int16(2, -300).Int32(3, -70000).Int64(4, -5).UInt8(5, 200).UInt16(6, 60000);
    w.UInt32(7, 4000000000u).UInt64(8, ~0ull).Text(15, "cmd.exe /c dir").Boolean(16, true).Opaque(99, "12345678");
    w.Binary(31, std::string("\x01\x02\x00\x00\x00\x00\x00\x05\x15\x00\x00\x00\xE8\x03\x00\x00", 16));
    w.Utf16(14, u"\\Device\\HarddiskVolume1\\x.exe");
    const std::string record = w.Bytes();
    // Entry ends from the sizes the record itself declares; and the same
    // record with every data length claiming far more than it holds.
    std::vector<std::size_t> ends;
    std::string lying = record;
    for (std::size_t at = 8; at < record.size(); at = ends.back()) {
        if (IsLengthPrefixed(record[at + 6])) lying.replace(at + 7, 4, "\xFF\xFF\xFF\x7F");
        ends.push_back(at + (static_cast<std::uint8_t>(record[at]) | static_cast<std::uint8_t>(record[at + 1]) << 8));
    }
    ASSERT_EQ(ends.size(), 13u);

    for (std::size_t n = 0; n <= record.size(); ++n) {  // n = 0: the pointer on the guard page itself
        const Walk walk = WalkRecord(page.PlaceAtEnd(record.substr(0, n)), n);
        std::size_t whole = 0;
        for (std::size_t end : ends) whole += end <= n;
        EXPECT_EQ(walk.entries, whole) << n;
        EXPECT_EQ(walk.cut, n >= 8 && whole < ends.size()) << n;
        EXPECT_TRUE(walk.in_bounds) << n;
        EXPECT_TRUE(WalkRecord(page.PlaceAtEnd(lying.substr(0, n)), n).in_bounds) << n;
    }
}

// Plausible entries with random sizes, types and declared lengths, some of
// them lying; sometimes cut short.
std::string RandomRecord(std::mt19937& random) {
    auto pick = [&random](std::uint32_t below) {
        return std::uniform_int_distribution<std::uint32_t>(0, below - 1)(random);
    };
    auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto noise = [&](std::uint32_t length, std::string& out) {
        for (std::uint32_t i = 0; i < length; ++i) out.push_back(static_cast<char>(pick(256)));
    };
    const std::uint32_t entries = pick(12);
    const std::uint32_t counts[] = {entries, entries + 1 + pick(3), pick(entries + 1), 0xFFFFFFFFu};
    std::string bytes = le32(pick(0xFFFF)) + le32(counts[pick(4)]);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const auto type = static_cast<char>(pick(5) == 0 ? pick(256) : pick(16));
        const std::uint32_t length = pick(IsLengthPrefixed(type) ? 24 : 10), declared[] = {length, pick(48), ~0u, 0};
        std::string payload = IsLengthPrefixed(type) ? le32(declared[pick(4)]) : "";
        noise(length, payload);
        const auto honest = static_cast<std::uint32_t>(7 + payload.size());
        const std::uint32_t sizes[] = {honest, honest, honest, pick(7), honest + 1 + pick(40), 0x7FFFFFFFu};
        bytes += le32(sizes[pick(6)]);
        noise(2, bytes);  // field id
        bytes += type + payload;
    }
    if (pick(4) == 0) bytes.resize(pick(static_cast<std::uint32_t>(bytes.size())));
    return bytes;
}

TEST(ProcessRecordGuard, SeededRandomRecordsAndTheirTruncationsStayInside) {
    GuardedPage page;
    std::mt19937 random(0x0B51D);
    std::size_t with_entries = 0, cut = 0;
    for (int i = 0; i < 5000; ++i) {
        const std::string record = RandomRecord(random);
        const Walk walk = WalkRecord(page.PlaceAtEnd(record), record.size());
        ASSERT_TRUE(walk.in_bounds) << "case " << i;
        with_entries += walk.entries != 0;
        cut += walk.cut;
        for (std::size_t n = 0; i % 10 == 0 && n < record.size(); ++n)
            ASSERT_TRUE(WalkRecord(page.PlaceAtEnd(record.substr(0, n)), n).in_bounds) << i << " at " << n;
    }
    // The generator reaches both usable entries and records that run past their end.
    EXPECT_GT(with_entries, 1000u);
    EXPECT_GT(cut, 1000u);
}

}  // namespace
}  // namespace OrvikTest
