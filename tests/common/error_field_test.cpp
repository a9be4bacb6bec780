#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/error.h"

namespace {

using Common::Error;

TEST(ErrorFieldTest, FieldsAreAttachedToACopyAndReadBack) {
    const Error plain = COMMON_ERROR("cannot read");
    const Error with_code = plain.WithField("StreamIO", std::int64_t{6});
    const Error with_both = with_code.WithField("Path", std::string("C:\\f"));

    EXPECT_EQ(with_both.IntegerField("StreamIO"), std::optional<std::int64_t>(6));
    EXPECT_EQ(with_both.TextField("Path"), std::optional<std::string>("C:\\f"));
    // The operands are untouched: records are shared and immutable.
    EXPECT_FALSE(plain.IntegerField("StreamIO"));
    EXPECT_FALSE(with_code.TextField("Path"));
    EXPECT_EQ(with_code.IntegerField("StreamIO"), std::optional<std::int64_t>(6));

    // The rest of the record is kept as it was.
    EXPECT_EQ(with_both.Message(), "cannot read");
    EXPECT_EQ(with_both.Code(), Error::kNoCode);
    EXPECT_EQ(with_both.SourceFile(), plain.SourceFile());
    EXPECT_EQ(with_both.SourceLine(), plain.SourceLine());

    // Fields never show in the short text.
    EXPECT_EQ(with_both.Text(), "cannot read");

    // A field of the other kind, or of another name, is not there.
    EXPECT_FALSE(with_both.TextField("StreamIO"));
    EXPECT_FALSE(with_both.IntegerField("Path"));
    EXPECT_FALSE(with_both.IntegerField("streamio"));
}

TEST(ErrorFieldTest, SameNameReplacesAndNegativeValuesSurvive) {
    const Error e =
        COMMON_ERROR("x").WithField("StreamIO", std::int64_t{3}).WithField("StreamIO", std::int64_t{-7});
    EXPECT_EQ(e.IntegerField("StreamIO"), std::optional<std::int64_t>(-7));
    const Error switched = e.WithField("StreamIO", std::string("text now"));
    EXPECT_FALSE(switched.IntegerField("StreamIO"));
    EXPECT_EQ(switched.TextField("StreamIO"), std::optional<std::string>("text now"));
}

TEST(ErrorFieldTest, FieldsBelongToOneRecordOfTheChain) {
    const Error cause = COMMON_ERROR("cause").WithField("StreamIO", std::int64_t{8});
    const Error outer = COMMON_ERROR("outer").Then(cause);
    EXPECT_FALSE(outer.IntegerField("StreamIO"));
    EXPECT_EQ(outer.Next().IntegerField("StreamIO"), std::optional<std::int64_t>(8));
    EXPECT_EQ(outer.Text(), "outer; cause");

    // Then copies the first chain with its fields.
    const Error tagged_outer = COMMON_ERROR("outer").WithField("StreamIO", std::int64_t{1}).Then(cause);
    EXPECT_EQ(tagged_outer.IntegerField("StreamIO"), std::optional<std::int64_t>(1));
    EXPECT_EQ(tagged_outer.Next().IntegerField("StreamIO"), std::optional<std::int64_t>(8));

    // Attaching to success gives success.
    const Error none = Error().WithField("StreamIO", std::int64_t{1});
    EXPECT_FALSE(none);
    EXPECT_FALSE(none.IntegerField("StreamIO"));
}

}  // namespace
