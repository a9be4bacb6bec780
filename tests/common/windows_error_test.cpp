#include "common/windows_error.h"

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"

namespace {

constexpr const char* kNoMessage = "no error message is available";

TEST(WindowsErrorTest, KnownCodesGiveStrippedSystemTextAndOthersTheFallback) {
    // System wording differs between Windows versions (and Wine has its own),
    // so only the shape of the text is checked.
    for (const std::string& text : {Common::FormatWindowsError(2), Common::FormatWindowsError(5)}) {
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text, kNoMessage);
        EXPECT_TRUE(text.back() != '.' && text.back() != '\r' && text.back() != '\n') << text;
    }
    const Common::Error e = COMMON_WINDOWS_ERROR(2);
    EXPECT_TRUE(e.IsWindowsError());
    EXPECT_EQ(e.Code(), 2u);
    EXPECT_EQ(e.Text(), "0x00000002: " + Common::FormatWindowsError(2));

    EXPECT_EQ(Common::FormatWindowsError(0x2000ABCDu), kNoMessage);
}

}  // namespace
