// Version resource pieces: the first translation, the entry name, bounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "orvik/functions/file/version_query.h"

namespace {

using namespace ScanEngine::File;

TEST(VersionQuery, TakesTheFirstWholeTranslationAndNamesItsEntryInLowerCaseHex) {
    // Language 0x0407, code page 0x04E4, then a second entry; little-endian words.
    const std::vector<std::uint8_t> list = {0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04};
    EXPECT_EQ(FirstTranslation(list.data(), 8), 0x040704E4u);
    EXPECT_EQ(FirstTranslation(list.data(), 4), 0x040704E4u);
    // Under one whole entry the list is as good as missing; the bytes are never read.
    EXPECT_EQ(FirstTranslation(list.data(), 3), std::nullopt);
    EXPECT_EQ(FirstTranslation(list.data(), 0), std::nullopt);
    EXPECT_EQ(FirstTranslation(nullptr, 8), std::nullopt);

    EXPECT_EQ(OriginalFilenameQuery(0x040704E4u), "\\StringFileInfo\\040704e4\\OriginalFilename");
    EXPECT_EQ(OriginalFilenameQuery(0x0000000Au), "\\StringFileInfo\\0000000a\\OriginalFilename");
    EXPECT_EQ(OriginalFilenameQuery(0xFFFFFFFFu), "\\StringFileInfo\\ffffffff\\OriginalFilename");
}

TEST(VersionQuery, CountsOnlyTheUnitsInsideTheBlock) {
    const std::vector<std::uint8_t> block(21);
    const std::uint8_t* b = block.data();
    EXPECT_EQ(UnitsInside(b, 21, b + 4, 3), 3u);
    EXPECT_EQ(UnitsInside(b, 21, b + 4, 8), 8u);   // bytes 4 to 19
    EXPECT_EQ(UnitsInside(b, 21, b + 4, 9), 8u);   // a ninth needs bytes 20 and 21
    EXPECT_EQ(UnitsInside(b, 21, b + 19, 5), 1u);
    EXPECT_EQ(UnitsInside(b, 21, b + 20, 5), 0u);  // half a unit
    EXPECT_EQ(UnitsInside(b, 21, b + 21, 1), 0u);  // just past the end
    EXPECT_EQ(UnitsInside(b + 1, 20, b, 1), 0u);   // before the start
    EXPECT_EQ(UnitsInside(b, 21, nullptr, 1), 0u);
    EXPECT_EQ(UnitsInside(nullptr, 21, b, 1), 0u);
}

}  // namespace
