#include "common/os_path.h"

#include <gtest/gtest.h>

#include <string>

#include "common/utf.h"

namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The converted path as UTF-16, checked for its terminator and length.
std::u16string Convert(const std::string& path) {
    std::size_t length = 12345;
    const Common::WidePath wide = Common::os_path_to_winapi(path.data(), path.size(), length);
    EXPECT_NE(wide, nullptr);
    if (!wide) return u"<null>";
    EXPECT_EQ(wide[length], 0) << "not terminated at the reported length";
    std::u16string out;
    for (std::size_t i = 0; i < length; ++i) out += static_cast<char16_t>(wide[i]);
    return out;
}

std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TEST(OsPathTest, DrivePathsGetThePrefixFrom260Bytes) {
    EXPECT_EQ(Convert("C:\\dir\\file"), u"C:\\dir\\file");
    EXPECT_EQ(Convert("c:\\dir\\file"), u"C:\\dir\\file");
    EXPECT_EQ(Convert("z:"), u"Z:");
    EXPECT_EQ(Convert("c:relative\\f"), u"C:relative\\f");

    const std::string base = "c:\\";
    const std::string at259 = base + std::string(259 - base.size(), 'a');
    const std::string at260 = base + std::string(260 - base.size(), 'a');
    ASSERT_EQ(at259.size(), 259u);
    EXPECT_EQ(Convert(at259), U16("C" + at259.substr(1)));
    EXPECT_EQ(Convert(at260), U16("\\\\?\\C" + at260.substr(1)));

    // The limit counts bytes, not characters: 3 + 128 * 2 = 259 bytes.
    std::string multibyte = "d:\\";
    for (int i = 0; i < 128; ++i) multibyte += "\xC3\xA9";
    ASSERT_EQ(multibyte.size(), 259u);
    EXPECT_EQ(Convert(multibyte), u"D:\\" + std::u16string(128, u'\u00E9'));
    EXPECT_EQ(Convert(multibyte + "\xC3\xA9"), u"\\\\?\\D:\\" + std::u16string(129, u'\u00E9'));

    // Nothing is normalised.
    EXPECT_EQ(Convert("C:/a/../b/./c//"), u"C:/a/../b/./c//");
}

TEST(OsPathTest, UncAndPrefixedPaths) {
    EXPECT_EQ(Convert("\\\\server\\share"), u"\\\\?\\UNC\\server\\share");
    EXPECT_EQ(Convert("\\\\server\\share\\f"), u"\\\\?\\UNC\\server\\share\\f");
    EXPECT_EQ(Convert("\\\\s"), u"\\\\?\\UNC\\s");
    const std::string long_unc = "\\\\srv\\share\\" + std::string(300, 'x');
    EXPECT_EQ(Convert(long_unc), u"\\\\?\\UNC" + U16(long_unc.substr(1)));

    // Already prefixed: unchanged, drive letter included.
    EXPECT_EQ(Convert("\\\\?\\C:\\x"), u"\\\\?\\C:\\x");
    EXPECT_EQ(Convert("\\\\?\\c:\\x"), u"\\\\?\\c:\\x");
    EXPECT_EQ(Convert("\\\\?\\UNC\\srv\\s"), u"\\\\?\\UNC\\srv\\s");
    const std::string long_prefixed = "\\\\?\\c:\\" + std::string(300, 'y');
    EXPECT_EQ(Convert(long_prefixed), U16(long_prefixed));

    // Not UNC: a third backslash or a question mark, or too short.
    EXPECT_EQ(Convert("\\\\\\x"), u"\\\\\\x");
    EXPECT_EQ(Convert("\\\\?x"), u"\\\\?x");
    EXPECT_EQ(Convert("\\\\"), u"\\\\");

    // Relative and rooted paths without drive, and look-alikes of a drive.
    EXPECT_EQ(Convert("dir\\file"), u"dir\\file");
    EXPECT_EQ(Convert("\\rooted\\f"), u"\\rooted\\f");
    EXPECT_EQ(Convert("1:\\x"), u"1:\\x");
    EXPECT_EQ(Convert("\xC3\xA9:\\x"), u"\u00E9:\\x");
    const std::string long_relative(300, 'r');
    EXPECT_EQ(Convert(long_relative), U16(long_relative));
    EXPECT_EQ(Convert(""), u"");

    std::size_t length = 99;
    const Common::WidePath none = Common::os_path_to_winapi(nullptr, 0, length);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(none[0], 0);
}

TEST(OsPathTest, BadInputRunsGiveOneReplacement) {
    EXPECT_EQ(Convert(Bytes({0xC3, 0x28})), u"\uFFFD(");
    EXPECT_EQ(Convert(Bytes({0xFF, 0xFE, 0xFD})), u"\uFFFD");
    EXPECT_EQ(Convert(Bytes({0xED, 0xA0, 0x80})), u"\uFFFD");
    // Unlike the text converter, the path converter goes on after bad input.
    EXPECT_EQ(Convert(Bytes({0x61, 0xC3, 0x28, 0x62})), u"a\uFFFD(b");
    EXPECT_EQ(Convert(Bytes({0x61, 0xFF, 0x62, 0xFE, 0x63})), u"a\uFFFDb\uFFFDc");
    // Undecodable bytes and encoded surrogates together are one run.
    EXPECT_EQ(Convert(Bytes({0x61, 0xFF, 0xED, 0xA0, 0x80, 0xED, 0xB0, 0x80, 0x80, 0x62})), u"a\uFFFDb");
    // A truncated sequence at the end; an overlong form; above U+10FFFF.
    EXPECT_EQ(Convert(Bytes({0x61, 0xE2, 0x82})), u"a\uFFFD");
    EXPECT_EQ(Convert(Bytes({0xC0, 0xAF, 0x61})), u"\uFFFDa");
    EXPECT_EQ(Convert(Bytes({0xF4, 0x90, 0x80, 0x80, 0x61})), u"\uFFFDa");
    // A lead byte followed by a valid character: only the lead is consumed.
    EXPECT_EQ(Convert(Bytes({0xE2, 0x41, 0x42})), u"\uFFFDAB");
    // Four-byte characters become surrogate pairs and count as two units.
    EXPECT_EQ(Convert(Bytes({0xF0, 0x9F, 0x98, 0x80, 0xF4, 0x8F, 0xBF, 0xBF})),
              std::u16string({0xD83D, 0xDE00, 0xDBFF, 0xDFFF}));
    // Bad input in a drive path and in a UNC path.
    EXPECT_EQ(Convert("c:\\" + Bytes({0xFF, 0xFE})), u"C:\\\uFFFD");
    EXPECT_EQ(Convert("\\\\srv\\" + Bytes({0xED, 0xA0, 0x80})), u"\\\\?\\UNC\\srv\\\uFFFD");
}

// Converter counts and writes agree: the unit count equals what is written.
TEST(OsPathTest, ReplacingDecoderCountsWhatItWrites) {
    const std::string input = Bytes({0x61, 0xF0, 0x9F, 0x98, 0x80, 0xFF, 0xC3, 0xA9, 0xED, 0xA0, 0x80});
    const std::size_t count = Common::Utf8ToUtf16Replacing(input, static_cast<char16_t*>(nullptr));
    std::u16string out(count + 1, u'#');
    EXPECT_EQ(Common::Utf8ToUtf16Replacing(input, out.data()), count);
    EXPECT_EQ(out, std::u16string({0x61, 0xD83D, 0xDE00, 0xFFFD, 0xE9, 0xFFFD, u'#'}));
}

#if WCHAR_MAX == 0xFFFF
TEST(OsPathTest, WideTextConvertersFollowTheirOwnRules) {
    // The text converter stops at the first undecodable byte.
    EXPECT_EQ(Common::Utf8ToWide("\x61\xC3\x28\x62"), L"a\uFFFD");
    EXPECT_EQ(Common::Utf8ToWide("\x61\xED\xA0\x80\x62"), L"a\uFFFDb");
    EXPECT_EQ(Common::Utf8ToWide("\xFF\xFE\xFD"), L"\uFFFD");
    EXPECT_EQ(Common::Utf8ToWide("\xF0\x9F\x98\x80"), std::wstring({wchar_t(0xD83D), wchar_t(0xDE00)}));
    EXPECT_EQ(Common::Utf8ToWide(nullptr), L"");

    const std::wstring pair({wchar_t(0xD83D), wchar_t(0xDE00)});
    EXPECT_EQ(Common::WideToUtf8(pair.data(), pair.size()), "\xF0\x9F\x98\x80");
    const std::wstring lone({L'a', wchar_t(0xDC00), L'b', wchar_t(0xD800)});
    EXPECT_EQ(Common::WideToUtf8(lone.data(), lone.size()), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");

    EXPECT_EQ(Common::PathToWinApi("c:\\x"), L"C:\\x");
    EXPECT_EQ(Common::PathToWinApi("\\\\srv\\s"), L"\\\\?\\UNC\\srv\\s");
    EXPECT_EQ(Common::PathToWinApi(std::string("c:\\a\0b", 6)), std::wstring(L"C:\\a\0b", 6));
}
#endif

}  // namespace
