#include "common/windows_error.h"

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"

namespace {

constexpr const char* kNoMessage = "no error message is available";

// System wording differs between Windows versions (and Wine has its own), so
// only the shape of the text is checked.
void ExpectCleanSystemText(const std::string& text) {
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text, kNoMessage);
    const char last = text.back();
    EXPECT_TRUE(last != '.' && last != '\r' && last != '\n') << text;
}

TEST(WindowsErrorTest, KnownCodesGiveStrippedSystemText) {
    ExpectCleanSystemText(Common::FormatWindowsError(2));
    ExpectCleanSystemText(Common::FormatWindowsError(5));

    const Common::Error e = COMMON_WINDOWS_ERROR(2);
    EXPECT_TRUE(e.IsWindowsError());
    EXPECT_EQ(e.Code(), 2u);
    EXPECT_EQ(e.Message(), Common::FormatWindowsError(2));
    const std::string text = e.Text();
    ASSERT_EQ(text.rfind("0x00000002: ", 0), 0u) << text;
    ExpectCleanSystemText(text.substr(12));
}

TEST(WindowsErrorTest, CodesWithoutTextGiveFallback) {
    EXPECT_EQ(Common::FormatWindowsError(0x2000ABCDu), kNoMessage);
    EXPECT_EQ(Common::FormatWindowsError(0x0000FFFEu), kNoMessage);

    // An NT status carried with bit 28 (here access denied); Wine has no
    // NTDLL message table. The code keeps bit 28.
    const Common::Error nt = COMMON_WINDOWS_ERROR(0xD0000022u);
    EXPECT_EQ(nt.Code(), 0xD0000022u);
    EXPECT_EQ(nt.Text(), std::string("0xd0000022: ") + kNoMessage);
}

}  // namespace
