#include "common/error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "common/format_string.h"

namespace {

using Common::Error;

TEST(ErrorTest, EmptyIsSuccessAndAPlainErrorKeepsMessageAndSourceTag) {
    const Error none;
    EXPECT_FALSE(none || none.IsWindowsError() || none.Next());
    EXPECT_EQ(none.Text(), "success");
    EXPECT_EQ(none.Message(), "");
    EXPECT_EQ(none.Code(), Error::kNoCode);

    const int line = __LINE__ + 1;
    const Error e = COMMON_ERROR("bad argument");
    ASSERT_TRUE(e);
    EXPECT_EQ(e.Message(), "bad argument");
    EXPECT_EQ(e.Text(), "bad argument");
    EXPECT_EQ(e.Code(), 0xFFFFFFFFu);
    EXPECT_EQ(e.Kind(), 0u);
    EXPECT_EQ(e.SourceFile(), __FILE__);
    EXPECT_EQ(e.SourceLine(), static_cast<unsigned>(line));
}

TEST(ErrorTest, MultiLineMessagesAreFlattenedAndCodesRenderedByKind) {
    EXPECT_EQ(COMMON_ERROR("first line  \n\t  indented\t\n\n   \n  last  ").Text(), "first line indented last  ");
    EXPECT_EQ(COMMON_ERROR("\n\n  body \n").Text(), "body");
    EXPECT_EQ(COMMON_ERROR("a\r\nb").Text(), "a\r b");
    EXPECT_EQ(COMMON_ERROR(" \t\n \n").Text(), "");

    const Error windows = Error::WithCode(Error::kKindWindows, 0x1000ABCDu, "Some text.\n", __FILE__, __LINE__);
    EXPECT_TRUE(windows.IsWindowsError());
    EXPECT_EQ(windows.Text(), "0x1000abcd: Some text.");
    EXPECT_EQ(Error::WithCode(Error::kKindWindows, 5, "denied", __FILE__, __LINE__).Text(), "0x00000005: denied");
    EXPECT_EQ(Error::WithCode(Error::kKindErrno, 0xFFFFFFFEu, "odd", __FILE__, __LINE__).Text(), "errno -2: odd");
    const Error errno_error = Error::FromErrno(ENOENT, "file.cpp", 7);
    EXPECT_FALSE(errno_error.IsWindowsError());
    EXPECT_EQ(errno_error.Kind(), Error::kKindErrno);
    EXPECT_EQ(errno_error.Code(), static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(errno_error.Message(), std::generic_category().message(ENOENT));
    EXPECT_EQ(errno_error.Text(), "errno " + std::to_string(ENOENT) + ": " + errno_error.Message());
}

TEST(ErrorTest, ThenChainsWithoutChangingOperands) {
    const Error outer = COMMON_ERROR("cannot open file");
    const Error cause = Error::WithCode(Error::kKindWindows, 2, "not\nfound", __FILE__, __LINE__);
    const Error chained = outer.Then(cause);
    EXPECT_EQ(chained.Text(), "cannot open file; 0x00000002: not found");
    EXPECT_EQ(outer.Text(), "cannot open file");
    EXPECT_FALSE(outer.Next());
    EXPECT_EQ(chained.Next().Text(), cause.Text());

    // Appending to a chain copies the chain but leaves the original intact.
    const Error longer = chained.Then(COMMON_ERROR("third").Then(COMMON_ERROR("fourth")));
    EXPECT_EQ(longer.Text(), "cannot open file; 0x00000002: not found; third; fourth");
    EXPECT_EQ(chained.Text(), "cannot open file; 0x00000002: not found");
    EXPECT_EQ(longer.SourceLine(), outer.SourceLine());

    EXPECT_EQ(Error().Then(cause).Text(), cause.Text());
    EXPECT_EQ(outer.Then(Error()).Text(), outer.Text());
    EXPECT_FALSE(Error().Then(Error()));
}

TEST(ErrorFieldTest, FieldsGoOnACopyOfTheirOwnRecordOfTheChain) {
    const Error plain = COMMON_ERROR("cannot read");
    const Error with_code = plain.WithField("StreamIO", std::int64_t{6});
    const Error both = with_code.WithField("Path", std::string("C:\\f"));
    EXPECT_EQ(both.IntegerField("StreamIO"), std::optional<std::int64_t>(6));
    EXPECT_EQ(both.TextField("Path"), std::optional<std::string>("C:\\f"));
    EXPECT_FALSE(plain.IntegerField("StreamIO"));  // operands untouched
    EXPECT_FALSE(with_code.TextField("Path"));
    // Another kind, name or case is not there.
    EXPECT_FALSE(both.TextField("StreamIO") || both.IntegerField("Path") || both.IntegerField("streamio"));
    // The rest of the record is kept, and fields never show in the text.
    EXPECT_EQ(both.Text(), "cannot read");
    EXPECT_EQ(both.Code(), Error::kNoCode);
    EXPECT_EQ(both.SourceLine(), plain.SourceLine());

    // The same name replaces, whatever the kind; negative values survive.
    const Error replaced = with_code.WithField("StreamIO", std::int64_t{-7});
    EXPECT_EQ(replaced.IntegerField("StreamIO"), std::optional<std::int64_t>(-7));
    const Error switched = replaced.WithField("StreamIO", std::string("text now"));
    EXPECT_FALSE(switched.IntegerField("StreamIO"));
    EXPECT_EQ(switched.TextField("StreamIO"), std::optional<std::string>("text now"));

    const Error tagged = COMMON_ERROR("outer").WithField("StreamIO", std::int64_t{1}).Then(with_code);
    EXPECT_EQ(tagged.IntegerField("StreamIO"), std::optional<std::int64_t>(1));
    EXPECT_EQ(tagged.Next().IntegerField("StreamIO"), std::optional<std::int64_t>(6));
    EXPECT_FALSE(COMMON_ERROR("outer").Then(with_code).IntegerField("StreamIO"));
    EXPECT_FALSE(Error().WithField("StreamIO", std::int64_t{1}));  // success stays success
}

TEST(FormatStringTest, GrowsPastTheFirstBufferAndUsesStandardConversions) {
    const std::string long_part(300, 'x');
    EXPECT_EQ(Common::FormatString("<%s|%d>", long_part.c_str(), 42), "<" + long_part + "|42>");
    // Outputs of 127 and 128 bytes sit on either side of the first buffer.
    const std::string s127(127, 'a');
    const std::string s128(128, 'b');
    EXPECT_EQ(Common::FormatString("%s", s127.c_str()), s127);
    EXPECT_EQ(Common::FormatString("%s", s128.c_str()), s128);
    EXPECT_EQ(Common::FormatString("%s%c", s127.c_str(), 'z'), s127 + "z");
    EXPECT_EQ(Common::FormatString("%s", ""), "");

    EXPECT_EQ(Common::FormatString("%zu", static_cast<std::size_t>(SIZE_MAX)), std::to_string(SIZE_MAX));
    EXPECT_EQ(Common::FormatString("%lld %u %08x 100%%", -9000000000LL, 4000000000u, 0xABCDu),
              "-9000000000 4000000000 0000abcd 100%");
}

// glibc fails the whole call when a wide character has no narrow form in the
// "C" locale; mingw's printf drops the character instead, so there is no
// portable way to provoke an encoding error.
#ifdef __GLIBC__
TEST(FormatStringTest, EncodingErrorGivesFormatText) {
    EXPECT_EQ(Common::FormatString("value: %ls", L"\u0100"), "value: %ls");
}
#endif

}  // namespace
