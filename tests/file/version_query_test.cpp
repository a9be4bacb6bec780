// Version resource pieces on a known translation list, and the pointers the fuzz target cannot offer (missing ones,
// a value before the block); the rest of the bounds are the fuzz target's.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "orvik/functions/file/version_query.h"

namespace {

using namespace ScanEngine::File;

TEST(VersionQuery, TakesTheFirstTranslationNamesItInLowerCaseHexAndCountsNothingOutsideTheBlock) {
    // Language 0x0407, code page 0x04E4, then a second entry; little-endian words.
    const std::vector<std::uint8_t> list = {0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04};
    EXPECT_EQ(FirstTranslation(list.data(), 8), 0x040704E4u);
    EXPECT_EQ(FirstTranslation(nullptr, 8), std::nullopt);
    EXPECT_EQ(OriginalFilenameQuery(0x040704E4u), "\\StringFileInfo\\040704e4\\OriginalFilename");

    const std::uint8_t* b = list.data();
    EXPECT_EQ(UnitsInside(b + 1, 7, b, 1), 0u);  // before the start
    EXPECT_EQ(UnitsInside(b, 8, nullptr, 1), 0u);
    EXPECT_EQ(UnitsInside(nullptr, 8, b, 1), 0u);
}

}  // namespace
