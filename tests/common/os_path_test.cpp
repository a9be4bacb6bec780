#include "common/os_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    std::string in;
    std::u16string out;
};

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The converted path as UTF-16, checked for a terminator at the reported length.
std::u16string Convert(const std::string& path) {
    std::size_t length = 12345;
    const Common::WidePath wide = Common::os_path_to_winapi(path.data(), path.size(), length);
    EXPECT_EQ(wide[length], 0) << "not terminated at the reported length";
    return std::u16string(wide.get(), wide.get() + length);
}

void ExpectConverted(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(Convert(c.in), c.out) << c.in;
}

// The edges of each form; that any valid path keeps its text under the prefix its form calls for is the fuzz
// target's.
TEST(OsPathTest, DrivePathsAreUpperCasedAndPrefixedFrom260BytesAndSharesGetTheUncPrefix) {
    const std::string at259 = "c:\\" + std::string(256, 'a');
    std::string multibyte = "d:\\";  // 3 + 128 * 2 = 259 bytes but 131 characters
    for (int i = 0; i < 128; ++i) multibyte += "\xC3\xA9";
    ExpectConverted({
        {"z:", u"Z:"},
        {"C:/a/../b/./c//", u"C:/a/../b/./c//"},  // nothing normalised
        {at259, U16("C" + at259.substr(1))},
        {at259 + "a", U16("\\\\?\\C" + at259.substr(1) + "a")},
        {multibyte, u"D:\\" + std::u16string(128, u'\u00E9')},
        {multibyte + "\xC3\xA9", u"\\\\?\\D:\\" + std::u16string(129, u'\u00E9')},
        {"\\\\server\\share\\f", u"\\\\?\\UNC\\server\\share\\f"},
        {"\\\\?\\c:\\" + std::string(300, 'y'), u"\\\\?\\c:\\" + std::u16string(300, u'y')},  // as it is
        {"\\\\\\x", u"\\\\\\x"},
        {"\\\\.\\pipe\\name", u"\\\\.\\pipe\\name"},  // a device path is no share name
        {"\\\\.x", u"\\\\?\\UNC\\.x"},
        {"", u""},
    });
    std::size_t length = 99;
    const Common::WidePath none = Common::os_path_to_winapi(nullptr, 0, length);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(none[0], 0);
}

// Unlike the text converter, the path converter goes on after bad input and
// gives one U+FFFD per run of it.
TEST(OsPathTest, BadInputRunsGiveOneReplacement) {
    ExpectConverted({
        {"\xFF\xFE\xFD", u"\uFFFD"},
        {"a\xC3(b", u"a\uFFFD(b"},
        {"a\xFF" "b\xFE" "c", u"a\uFFFDb\uFFFDc"},
        {"a\xFF\xED\xA0\x80\xED\xB0\x80\x80" "b", u"a\uFFFDb"},  // undecodable bytes and surrogates together
        {"a\xE2\x82", u"a\uFFFD"},
        {"\xC0\xAF" "a", u"\uFFFDa"},
        {"\xE2" "AB", u"\uFFFDAB"},  // only the lead byte is consumed
        {"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", std::u16string({0xD83D, 0xDE00, 0xDBFF, 0xDFFF})},
        {"c:\\\xFF\xFE", u"C:\\\uFFFD"},
        {"\\\\srv\\\xED\xA0\x80", u"\\\\?\\UNC\\srv\\\uFFFD"},
    });
}

}  // namespace
