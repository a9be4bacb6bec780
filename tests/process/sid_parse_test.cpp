// SID text read into binary form, and its hex text.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "orvik/functions/process/sid_parse.h"

namespace ScanEngine::Process {
namespace {

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

TEST(SidParse, ReadsLeadingFieldsTheWayScanfDoes) {
    const std::string system = "010100000000000512000000", nt = "0100000000000005";
    EXPECT_EQ(Parsed("S-1-5-18"), system);
    EXPECT_EQ(Parsed("S-1-5"), nt);
    EXPECT_EQ(Parsed("S-1-5-21-1-2-3-1000"), "010500000000000515000000010000000200000003000000e8030000");
    // Eight sub-authorities at most; what follows them is ignored unless it is a ninth.
    for (const char* text : {"S-1-5-1-2-3-4-5-6-7-8", "S-1-5-1-2-3-4-5-6-7-8-x"})
        EXPECT_EQ(Parsed(text), "0108000000000005" "0100000002000000030000000400000005000000060000000700000008000000");
    // The first field that does not match ends the reading; the rest is ignored.
    for (const char* text : {"S-1-5-18xyz", "S-1-5-18-", "S-1-5-18-x-7", "S-1-5-18_9"}) EXPECT_EQ(Parsed(text), system);
    EXPECT_EQ(Parsed(std::string("S-1-5-18\0-7", 11)), system);
    EXPECT_EQ(Parsed("S-1-5-"), nt);
    // Numbers, not literals, may follow white space and carry a sign.
    EXPECT_EQ(Parsed("S- 1-\t5-\n+018"), system);
    EXPECT_EQ(Parsed("S-1-5--1"), "0101000000000005ffffffff");
    EXPECT_EQ(Parsed("S-1-0-4294967295"), "0101000000000000ffffffff");
    // The authority keeps its low 48 bits, big-endian.
    EXPECT_EQ(Parsed("S-1-1311768467463790320"), "010056789abcdef0");  // 0x123456789ABCDEF0
    EXPECT_EQ(Parsed("S-1--1"), "0100ffffffffffff");
    EXPECT_EQ(Parsed("S-1--9223372036854775808"), "0100000000000000");
}

TEST(SidParse, RejectsOtherRevisionsShortTextsOverflowAndTooSmallBuffers) {
    for (const char* text : {"S-2-5-18", "S-0-5", "S-1", "S-1-", "S", "", "s-1-5-18", " S-1-5-18", "S-1-x",
                             // A number beyond its field is refused, not cut down to another account.
                             "S-1-5-4294967296", "S-1-9223372036854775808", "S-1--9223372036854775809",
                             "S-4294967297-5", "S-1-5-1-2-3-4-5-6-7-8-9", "S-1-5-1-2-3-4-5-6-7-8- +9"})
        EXPECT_EQ(Parsed(text), "rejected") << text;
    EXPECT_EQ(Parsed("S-1-5-18", 11), "rejected");
    EXPECT_EQ(Parsed("S-1-5-18", 12), "010100000000000512000000");
    EXPECT_EQ(Parsed("S-1-5", 7), "rejected");
}

}  // namespace
}  // namespace ScanEngine::Process
