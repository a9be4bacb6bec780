#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/error.h"

namespace {

using Common::Error;

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

}  // namespace
