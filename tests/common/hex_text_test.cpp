#include "common/hex_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Common::DecodeHexPairs;
using Common::HexDigitValue;
using Common::IsWholeHexText;

TEST(HexTextTest, DigitValuesInBothCasesAndNothingElse) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    for (char c : std::string("/:@Gg` x\0", 9)) EXPECT_EQ(HexDigitValue(c), -1) << static_cast<int>(c);
    EXPECT_EQ(HexDigitValue(static_cast<char>(0xB0)), -1);
}

TEST(HexTextTest, PairsDecodeHighDigitFirst) {
    EXPECT_EQ(DecodeHexPairs(""), Bytes{});
    EXPECT_EQ(DecodeHexPairs("00ff7F10"), (Bytes{0x00, 0xFF, 0x7F, 0x10}));
    EXPECT_EQ(DecodeHexPairs("aBcD"), DecodeHexPairs("ABCD"));
    EXPECT_EQ(DecodeHexPairs("d41d8cd98f00b204e9800998ecf8427e"),
              (Bytes{0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04, 0xe9, 0x80, 0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e}));
}

TEST(HexTextTest, AFinalSingleCharacterIsIgnoredEvenWhenNotHex) {
    EXPECT_EQ(DecodeHexPairs("a"), Bytes{});
    EXPECT_EQ(DecodeHexPairs("0102f"), (Bytes{0x01, 0x02}));
    EXPECT_EQ(DecodeHexPairs("0102z"), (Bytes{0x01, 0x02}));
}

TEST(HexTextTest, AnyBadPairEmptiesTheWholeResult) {
    EXPECT_EQ(DecodeHexPairs("0102zz"), Bytes{});
    EXPECT_EQ(DecodeHexPairs("01 02"), Bytes{});   // the pair " 0" is bad
    EXPECT_EQ(DecodeHexPairs("0g"), Bytes{});
    EXPECT_EQ(DecodeHexPairs(std::string("01\0002", 5)), Bytes{});
    EXPECT_EQ(DecodeHexPairs("-1"), Bytes{});
}

TEST(HexTextTest, WholeHexTextIsExactlyWhatDecodesToHalfItsLength) {
    for (const char* text : {"", "00", "0aF9", "d41d8cd98f00b204e9800998ecf8427e"}) {
        EXPECT_TRUE(IsWholeHexText(text)) << text;
        EXPECT_EQ(DecodeHexPairs(text).size() * 2, std::string(text).size()) << text;
    }
    for (const char* text : {"0", "abc", "0x10", "12 34", "zz"}) {
        EXPECT_FALSE(IsWholeHexText(text)) << text;
        EXPECT_NE(DecodeHexPairs(text).size() * 2, std::string(text).size()) << text;
    }
    EXPECT_FALSE(IsWholeHexText(std::string("00\0", 3)));
}

}  // namespace
