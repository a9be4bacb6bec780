// The process record reader, SID text parsing, the memory statistic's text and the section headers read
// from an image's first page, on hand-made bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "orvik/functions/process/memory_statistic_text.h"
#include "orvik/functions/process/process_record.h"
#include "orvik/functions/process/sid_parse.h"
#include "orvik/functions/process/sid_text.h"

namespace ScanEngine::Process {
namespace {

std::string Le(std::uint64_t value, int width) {
    std::string out;
    for (int i = 0; i < width; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

// `size` 0 means the honest size; anything else lets a fixture lie.
std::string Entry(std::uint16_t field, std::uint8_t type, const std::string& payload, std::uint32_t size = 0) {
    return Le(size != 0 ? size : 7 + payload.size(), 4) + Le(field, 2) + static_cast<char>(type) + payload;
}

std::string Record(std::uint32_t count, const std::string& entries) {
    return Le(0xDEADBEEF, 4) + Le(count, 4) + entries;
}

std::vector<RecordEntry> ReadAll(const std::string& record, bool& cut) {
    ProcessRecordReader reader(reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
    std::vector<RecordEntry> entries;
    for (RecordEntry entry; reader.Next(entry);) entries.push_back(entry);
    cut = reader.Cut();
    return entries;
}

std::string Data(const RecordEntry& e) {
    return e.data ? std::string(reinterpret_cast<const char*>(e.data), e.length) : "(none)";
}

TEST(ProcessRecordReader, DecodesEachValueTypeAndCutsLengthsToThePayload) {
    const std::string utf16("a\0\xE9\0\xAC\x20", 6);
    const struct {
        std::uint8_t type;
        std::string payload;
        std::int64_t integer = 0;
        std::string data = "(none)", text = "";
    } cases[] = {
        {0, "\xFF", -1}, {1, Le(0x8000, 2), -32768}, {2, Le(0xFFFFFFFE, 4), -2},
        {3, Le(0x8000000000000001ull, 8), INT64_MIN + 1}, {4, "\xFF", 255}, {5, Le(0xFFFF, 2), 65535},
        {6, Le(0xFFFFFFFF, 4), 4294967295}, {7, Le(~1ull, 8), -2}, {13, "\x02", 2},  // the byte, not folded to 1
        {2, Le(0x12345678, 4) + "\xAA\xBB", 0x12345678},  // leading bytes only
        {8, Le(3, 4) + std::string("\x01\0\x02", 3), 0, std::string("\x01\0\x02", 3)},
        {9, Le(3, 4) + "abc", 0, "abc", "abc"},
        {10, Le(6, 4) + utf16, 0, utf16, "a\xC3\xA9\xE2\x82\xAC"},
        {14, Le(4, 4) + "wxyz", 0, "wxyz"},
        {9, Le(100, 4) + "abc", 0, "abc", "abc"},  // declared beyond the payload
        {9, Le(2, 4) + "abcde", 0, "ab", "ab"},    // declared below it
        {10, Le(0xFFFFFFFF, 4) + std::string("x\0y\0z", 5), 0, std::string("x\0y\0z", 5), "xy"},
        {8, Le(0xFFFFFFFF, 4), 0, ""},
    };
    std::string entries;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        entries += Entry(static_cast<std::uint16_t>(0xFF00 + i), cases[i].type, cases[i].payload);
    const std::string record = Record(std::size(cases), entries);
    bool cut = true;
    const auto read = ReadAll(record, cut);
    EXPECT_FALSE(cut);
    ASSERT_EQ(read.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const RecordEntry& e = read[i];
        EXPECT_EQ(e.field, 0xFF00 + i) << i;
        EXPECT_EQ(static_cast<int>(e.type), cases[i].type) << i;
        EXPECT_EQ(e.integer, cases[i].integer) << i;
        EXPECT_EQ(Data(e), cases[i].data) << i;
        EXPECT_EQ(e.Text(), cases[i].text) << i;
    }
}

TEST(ProcessRecordReader, YieldsOnlyUsableEntriesInsideTheBuffer) {
    const std::string good = Entry(1, 6, Le(11, 4)), other = Entry(2, 6, Le(22, 4));
    struct Case {
        std::string record;
        std::vector<std::uint16_t> fields;
        bool cut;
    };
    std::vector<Case> cases = {
        {Record(14, Entry(1, 11, "abcd") + Entry(2, 12, "abcd") + Entry(3, 15, "abcd") + Entry(4, 255, "abcd") +
                        Entry(5, 1, "\x01") + Entry(6, 2, "abc") + Entry(7, 3, "1234567") + Entry(8, 9, "abc") +
                        Entry(9, 14, "1234567") + Entry(10, 4, "") + Entry(11, 9, "") + Entry(12, 13, "") +
                        Entry(13, 14, Le(0, 4) + "pad!") + Entry(14, 7, Le(42, 8))),
         {13, 14}, false},  // unknown types, payloads empty or below the type's minimum
        {Record(5, "").substr(0, 7), {}, false}, {Record(0, good), {}, false}, {Record(1, good + other), {1}, false},
        {Record(3, good + Entry(3, 9, Le(3, 4) + "abc", 1000) + other), {1}, true},  // runs past the end
        {Record(2, good + other).substr(0, 29), {1}, true},  // the last entry one byte short
        {Record(5, good + other), {1, 2}, true}, {Record(3, good + other + "\x0B\x00"), {1, 2}, true},
        {Record(0xFFFFFFFF, Le(0, 4) + good), {}, true},  // size 0 makes no progress
        {Record(0xFFFFFFFF, std::string(64, '\x01')), {}, true},
    };
    // Sizes 1 to 7 count as empty entries; below 4 the next one starts inside
    // this size word and reads as a size far past the end.
    for (std::uint32_t size = 1; size <= 7; ++size)
        cases.push_back({Record(2, Le(size, 4) + std::string(size > 4 ? size - 4 : 0, '\x04') + good),
                         size < 4 ? std::vector<std::uint16_t>{} : std::vector<std::uint16_t>{1}, size < 4});
    for (std::size_t i = 0; i < cases.size(); ++i) {
        bool cut = false;
        std::vector<std::uint16_t> fields;
        for (const RecordEntry& e : ReadAll(cases[i].record, cut)) fields.push_back(e.field);
        EXPECT_EQ(fields, cases[i].fields) << i;
        EXPECT_EQ(cut, cases[i].cut) << i;
    }
    RecordEntry entry;
    EXPECT_FALSE(ProcessRecordReader(nullptr, 100).Next(entry));
}

// The hex text of the parse, or "rejected"; `room` is the size offered.
std::string Parsed(const std::string& text, std::size_t room = 40) {
    std::uint8_t buffer[48];
    std::fill(std::begin(buffer), std::end(buffer), 0xCC);
    std::size_t size = room;
    if (!ParseSidText(text, buffer, size)) {
        EXPECT_TRUE(size == room && buffer[0] == 0xCC) << text << ": changed by a failed parse";
        return "rejected";
    }
    EXPECT_EQ(buffer[size], 0xCC) << text << ": written past the SID";
    return SidHexText(buffer, size);
}

TEST(SidParse, ReadsLeadingFieldsTheWayScanfDoesAndRejectsOtherRevisionsShortTextsOverflowAndSmallBuffers) {
    const std::string system = "010100000000000512000000", nt = "0100000000000005";
    EXPECT_EQ(Parsed("S-1-5-18"), system);
    EXPECT_EQ(Parsed("S-1-5"), nt);
    // Eight sub-authorities at most; what follows them is ignored unless it is a ninth.
    for (const char* text : {"S-1-5-1-2-3-4-5-6-7-8", "S-1-5-1-2-3-4-5-6-7-8-x"})
        EXPECT_EQ(Parsed(text), "0108000000000005" "0100000002000000030000000400000005000000060000000700000008000000");
    // The first field that does not match ends the reading; the rest is ignored.
    for (const char* text : {"S-1-5-18-", "S-1-5-18-x-7"}) EXPECT_EQ(Parsed(text), system);
    // The authority keeps its low 48 bits, big-endian.
    EXPECT_EQ(Parsed("S-1-1311768467463790320"), "010056789abcdef0");  // 0x123456789ABCDEF0

    for (const char* text : {"S-2-5-18", "S-0-5", "S-1", "S-1-", "S", "", "s-1-5-18", " S-1-5-18", "S-1-x",
                             // A number beyond its field is refused, not cut down to another account.
                             "S-1-5-4294967296", "S-1-9223372036854775808", "S-1--9223372036854775809",
                             "S-4294967297-5", "S-1-5-1-2-3-4-5-6-7-8-9", "S-1-5-1-2-3-4-5-6-7-8- +9"})
        EXPECT_EQ(Parsed(text), "rejected") << text;
    EXPECT_EQ(Parsed("S-1-5-18", 11), "rejected");
    EXPECT_EQ(Parsed("S-1-5-18", 12), "010100000000000512000000");
    EXPECT_EQ(Parsed("S-1-5", 7), "rejected");
}

TEST(StatisticText, EscapesEachHighByteOfAModuleName) {
    MemoryStatistic s;
    s.modules.push_back({"a\"\xc3\xa9.exe", 0, 0, {}});
    EXPECT_NE(FormatMemoryStatistic(s).find(R"("name":"a\"\u00c3\u00a9.exe")"), std::string::npos);
}

using Page = std::vector<std::uint8_t>;

void Put16(Page& page, std::size_t at, std::uint16_t value) { std::memcpy(page.data() + at, &value, 2); }
void Put32(Page& page, std::size_t at, std::uint32_t value) { std::memcpy(page.data() + at, &value, 4); }

// A header page with the PE header at `header`; the section table is left zero.
Page Image(std::uint32_t header, std::uint16_t machine, std::uint16_t count) {
    Page page(kHeaderPageSize, 0);
    Put32(page, 0x3C, header);
    if (header + 8 > page.size()) return page;
    Put16(page, header + 4, machine);
    Put16(page, header + 6, count);
    return page;
}

// Names and fields of a well-formed table are compared with a real image by the module's test.
TEST(SectionHeaders, StopsAtThePageEndAndRefusesMalformedHeaders) {
    // 1000 sections promised: room for (4096 - 0xE60 - 0x108) / 40 = 3 x64 headers, 0xF8 gives x86 room for 4.
    EXPECT_EQ(ReadSectionHeaders(Image(0xE60, 0x8664, 1000)).size(), 3u);
    EXPECT_EQ(ReadSectionHeaders(Image(0xE60, 0x14C, 1000)).size(), 4u);
    // The x64 table starts past the page: nothing, and nothing read beyond it.
    EXPECT_TRUE(ReadSectionHeaders(Image(0xFE8, 0x8664, 5)).empty());
    // Malformed headers give none.
    EXPECT_TRUE(ReadSectionHeaders(Image(0x80, 0x8664, 1001)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(0x80, 0xAA64, 2)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(0xFFFFFFF0, 0x8664, 2)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(4096 - 23, 0x8664, 2)).empty());
}

// Regions, threads and sockets, and the empty form, are compared with a real process by the module's test.
}  // namespace
}  // namespace ScanEngine::Process
