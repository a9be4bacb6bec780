#include "common/error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/format_string.h"

namespace {

using Common::Error;

TEST(ErrorTest, RecordsKeepTheirSourceAndRenderFlattenedWithTheirCode) {
    const Error none;
    EXPECT_FALSE(none || none.IsWindowsError() || none.Next());
    EXPECT_EQ(none.Text() + "|" + none.Message(), "success|");
    const int line = __LINE__ + 1;
    const Error e = COMMON_ERROR("bad argument");
    EXPECT_EQ(e.Code(), Error::kNoCode);
    EXPECT_EQ(e.Kind(), 0u);
    EXPECT_EQ(e.SourceFile(), __FILE__);
    EXPECT_EQ(e.SourceLine(), static_cast<unsigned>(line));

    const std::pair<Error, std::string> texts[] = {
        {COMMON_ERROR("first line  \n\t  indented\t\n\n   \n  last  "), "first line indented last  "},
        {COMMON_ERROR("\n\n  body \n"), "body"},
        {COMMON_ERROR("a\r\nb"), "a\r b"},
        {COMMON_ERROR(" \t\n \n"), ""},
        {Error::WithCode(Error::kKindWindows, 0x1000ABCDu, "Some text.\n", __FILE__, __LINE__), "0x1000abcd: Some text."},
    };
    for (const auto& [error, text] : texts) EXPECT_EQ(error.Text(), text);
}

TEST(ErrorTest, ThenChainsWithoutChangingOperands) {
    const Error outer = COMMON_ERROR("cannot open file");
    const Error cause = Error::WithCode(Error::kKindWindows, 2, "not\nfound", __FILE__, __LINE__);
    const Error chained = outer.Then(cause);
    EXPECT_EQ(chained.Text(), "cannot open file; 0x00000002: not found");
    EXPECT_EQ(outer.Text(), "cannot open file");
    EXPECT_TRUE(chained.Next().IsWindowsError());
    EXPECT_EQ(Error().Then(cause).Text(), cause.Text());
    EXPECT_EQ(outer.Then(Error()).Text(), outer.Text());
}

TEST(ErrorFieldTest, FieldsGoOnACopyOfTheirOwnRecordOfTheChain) {
    const Error plain = COMMON_ERROR("cannot read");
    const Error with_code = plain.WithField("StreamIO", std::int64_t{6});
    const Error both = with_code.WithField("Path", std::string("C:\\f"));
    EXPECT_EQ(both.IntegerField("StreamIO"), std::optional<std::int64_t>(6));
    EXPECT_EQ(both.TextField("Path"), std::optional<std::string>("C:\\f"));
    EXPECT_FALSE(plain.IntegerField("StreamIO") || with_code.TextField("Path"));  // operands untouched
    // Another kind, name or case is not there; fields never show in the text.
    EXPECT_FALSE(both.TextField("StreamIO") || both.IntegerField("Path") || both.IntegerField("streamio"));
    EXPECT_EQ(both.Text(), "cannot read");

    // The same name replaces.
    const Error replaced = with_code.WithField("StreamIO", std::int64_t{-7});
    EXPECT_EQ(replaced.IntegerField("StreamIO"), std::optional<std::int64_t>(-7));

    const Error tagged = COMMON_ERROR("outer").WithField("StreamIO", std::int64_t{1}).Then(with_code);
    EXPECT_EQ(tagged.IntegerField("StreamIO"), std::optional<std::int64_t>(1));
    EXPECT_EQ(tagged.Next().IntegerField("StreamIO"), std::optional<std::int64_t>(6));
    EXPECT_FALSE(Error().WithField("StreamIO", std::int64_t{1}));  // success stays success
}

TEST(FormatStringTest, GrowsPastTheFirstBufferAndUsesStandardConversions) {
    // Outputs of 127 and 128 bytes sit on either side of the first buffer.
    for (const std::size_t size : {0, 123, 124, 300}) {
        const std::string text(size, 'x');
        EXPECT_EQ(Common::FormatString("<%s|%c>", text.c_str(), 'z'), "<" + text + "|z>");
    }
    EXPECT_EQ(Common::FormatString("%zu %lld %u %08x 100%%", SIZE_MAX, -9000000000LL, 4000000000u, 0xABCDu),
              std::to_string(SIZE_MAX) + " -9000000000 4000000000 0000abcd 100%");
}

}  // namespace
