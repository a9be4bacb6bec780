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
    // An NT status carried with bit 28 (here access denied); Wine has no
    // NTDLL message table. The code keeps bit 28.
    const Common::Error nt = COMMON_WINDOWS_ERROR(0xD0000022u);
    EXPECT_EQ(nt.Code(), 0xD0000022u);
    EXPECT_EQ(nt.Text(), std::string("0xd0000022: ") + kNoMessage);
}

}  // namespace
