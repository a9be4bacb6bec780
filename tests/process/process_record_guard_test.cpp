// The process record reader on records that end right before a no-access
// page: any read past the record's size faults and ends the test program.
// Malformed entries of every other kind are in process_record_test.cpp.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace OrvikTest
