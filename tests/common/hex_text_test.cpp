#include "common/hex_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(HexTextTest, PairsDecodeHighDigitFirstAndAnyBadPairEmptiesTheResult) {
    for (char c : std::string("/:@Gg` x\0\xB0", 10)) EXPECT_EQ(Common::HexDigitValue(c), -1) << static_cast<int>(c);
    const struct {
        std::string text;
        Bytes bytes;
        bool whole;
    } cases[] = {
        {"00ff7F10", {0x00, 0xFF, 0x7F, 0x10}, true},
        {"09aFAf", {0x09, 0xAF, 0xAF}, true},
        // A final single character is ignored, even when it is no digit.
        {"a", {}, false}, {"0102f", {0x01, 0x02}, false}, {"0102z", {0x01, 0x02}, false},
        {"0102zz", {}, false}, {"01 02", {}, false}, {"0g", {}, false}, {"-1", {}, false}, {"0x10", {}, false},
        {std::string("01\0002", 5), {}, false}, {std::string("00\0", 3), {0x00}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Common::DecodeHexPairs(c.text), c.bytes) << c.text;
        EXPECT_EQ(Common::IsWholeHexText(c.text), c.whole) << c.text;
    }
}

}  // namespace
