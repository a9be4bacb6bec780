// JSON string contents from arbitrary bytes.
#include "common/json_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace Common {
namespace {

constexpr auto kEach = JsonHighBytes::kEscapeEach;
constexpr auto kUtf8 = JsonHighBytes::kKeepUtf8;

TEST(JsonEscape, EscapesEveryByteOutsidePrintableAsciiButWellFormedUtf8WhenAskedTo) {
    EXPECT_EQ(JsonQuote("C:\\d \"x\" ~/", kUtf8), "\"C:\\\\d \\\"x\\\" ~/\"");
    EXPECT_EQ(JsonEscape(std::string("\t\r\n\0\x01\x1f\x7f", 7), kEach), "\\t\\r\\n\\u0000\\u0001\\u001f\\u007f");
    // Byte by byte: U+00E9 in UTF-8 becomes two characters.
    EXPECT_EQ(JsonEscape("\xc3\xa9\xff", kEach), "\\u00c3\\u00a9\\u00ff");
    // U+00E9, U+20AC, U+10FFFF: the longest forms, up to the last code point.
    EXPECT_EQ(JsonEscape("\xc3\xa9 \xe2\x82\xac \xf4\x8f\xbf\xbf", kUtf8), "\xc3\xa9 \xe2\x82\xac \xf4\x8f\xbf\xbf");
    // Overlong forms, a surrogate, past U+10FFFF, a lone continuation byte and a cut sequence.
    EXPECT_EQ(JsonEscape("\xc0\xaf|\xe0\x80\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|\x80|\xe2\x82", kUtf8),
              "\\u00c0\\u00af|\\u00e0\\u0080\\u00af|\\u00ed\\u00a0\\u0080|\\u00f4\\u0090\\u0080\\u0080|\\u0080|"
              "\\u00e2\\u0082");
}

}  // namespace
}  // namespace Common
