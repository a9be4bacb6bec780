// Exact decodings at the limits of each form; that valid text survives a round trip either way is the fuzz
// target's, so encoding is pinned by these decodings.
#include "common/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Common::Utf16ToUtf8;
using Common::Utf8ToUtf16;

std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(Utf8ToUtf16Test, DecodesValidSequencesAtTheirLimits) {
    EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x7F})), u"\x7F");
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xC2, 0x80, 0xDF, 0xBF})), u"\u0080\u07FF");
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xE0, 0xA0, 0x80, 0xED, 0x9F, 0xBF, 0xEE, 0x80, 0x80, 0xEF, 0xBF, 0xBF})),
              u"\u0800\uD7FF\uE000\uFFFF");
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xF0, 0x90, 0x80, 0x80})), std::u16string({0xD800, 0xDC00}));
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xF4, 0x8F, 0xBF, 0xBF})), std::u16string({0xDBFF, 0xDFFF}));
}

TEST(Utf8ToUtf16Test, StopsAtFirstUndecodableByte) {
    const std::u16string a_bad = u"a\uFFFD";
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xC3, 0x28, 0x62})), a_bad);        // lead without continuation
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0x80, 0x62})), a_bad);              // stray continuation
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xC0, 0x80, 0x62})), a_bad);        // overlong two bytes
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xF4, 0x90, 0x80, 0x80})), a_bad);  // above U+10FFFF
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xF8, 0x88, 0x80, 0x80, 0x80})), a_bad);
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xE2, 0x82})), a_bad);  // truncated at the end
}

TEST(Utf8ToUtf16Test, EncodedSurrogatesAreReplacedOnce) {
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xED, 0xA0, 0x80, 0x62})), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xED, 0xBF, 0xBF, 0x62, 0xED, 0xB0, 0x80, 0x63})), u"\uFFFDb\uFFFDc");
    // A second surrogate in a row stops without another replacement.
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xED, 0xA0, 0x80, 0xED, 0xB0, 0x80, 0x62})), u"a\uFFFD");
    // So does undecodable input right after a surrogate.
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x61, 0xED, 0xA0, 0x80, 0xC3, 0x28})), u"a\uFFFD");
    // A valid character in between clears the mark, so bad input after it
    // is replaced again; a literal U+FFFD counts as valid.
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xED, 0xA0, 0x80, 0x62, 0xFF, 0x63})), u"\uFFFDb\uFFFD");
    EXPECT_EQ(Utf8ToUtf16(Bytes({0xED, 0xA0, 0x80, 0xEF, 0xBF, 0xBD, 0xED, 0xA0, 0x80, 0xFF})),
              u"\uFFFD\uFFFD\uFFFD");
}

TEST(Utf16ToUtf8Test, HighSurrogatePairsOnlyWithLowSurrogate) {
    // D800 + 'A' is no pair: the 'A' must survive, after one EF BF BD.
    EXPECT_EQ(Utf16ToUtf8(std::u16string({0xD800, 0x0041, 0x0042})), Bytes({0xEF, 0xBF, 0xBD, 0x41, 0x42}));
    EXPECT_EQ(Utf16ToUtf8(std::u16string({0xD800, 0xD83D, 0xDE00})),
              Bytes({0xEF, 0xBF, 0xBD, 0xF0, 0x9F, 0x98, 0x80}));
    // Lone low surrogates and a final high surrogate become EF BF BD.
    EXPECT_EQ(Utf16ToUtf8(std::u16string({0x0061, 0xDC00, 0xDFFF, 0x0062})),
              Bytes({0x61, 0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD, 0x62}));
    EXPECT_EQ(Utf16ToUtf8(std::u16string({0x0061, 0xDBFF})), Bytes({0x61, 0xEF, 0xBF, 0xBD}));
}

TEST(NameTextTest, AcceptsOnlyWholeUtf8WithoutNul) {
    EXPECT_TRUE(Common::IsNameText(""));
    EXPECT_TRUE(Common::IsNameText("cmd.exe /c echo \xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD"));
    EXPECT_FALSE(Common::IsNameText(std::string("a\0b", 3)));
    EXPECT_FALSE(Common::IsNameText("a\xED\xA0\x80" "b"));  // encoded surrogate
    EXPECT_FALSE(Common::IsNameText("a\xC0\x80"));       // overlong NUL
}

}  // namespace
