#include "orvik/functions/system/registry_data.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ScanEngine::System::ParseRegistryInt;
using ScanEngine::System::ParseRegistryString;

TEST(RegistryDataTest, IntegersAreLittleEndianWith32BitValuesSignExtended) {
    // Any value from its own dump is the fuzz target's; these pin the byte order and the sign of each width.
    EXPECT_EQ(ParseRegistryInt("FEFFFFFF").value, -2);
    EXPECT_EQ(ParseRegistryInt("ffffffff00000000").value, 4294967295);
    const std::pair<std::string, std::string> malformed[] = {
        {"010000", "Expected hex dump length 8, 16, actual dump size: 6"},
        {"", "Expected hex dump length 8, 16, actual dump size: 0"},
        {"010000000", "Invalid hex input : 010000000"},
        {"01 00 00 00", "Invalid hex input : 01 00 00 00"},
        {"0100000g", "Invalid hex input : 0100000g"},
    };
    for (const auto& [dump, failure] : malformed) {
        EXPECT_FALSE(ParseRegistryInt(dump).value) << dump;
        EXPECT_EQ(ParseRegistryInt(dump).failure, failure);
    }
}

TEST(RegistryDataTest, StringsAreUtf16WithMultiStringListsJoined) {
    const std::pair<const char*, std::string> cases[] = {
        {"610000000000620000000000", "a;;b"},      // an empty string inside the list
        {"610062000000", std::string("ab\0", 3)},  // a single terminator stays
        {"4100E900AC203DD800DE", "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
    };
    for (const auto& [dump, text] : cases) EXPECT_EQ(ParseRegistryString(dump).value, text) << dump;
    for (const char* dump : {"610062", "6100620", "61 00", "zz00"}) {
        EXPECT_FALSE(ParseRegistryString(dump).value) << dump;
        EXPECT_EQ(ParseRegistryString(dump).failure, std::string("Invalid hex input for utf16 string: ") + dump);
    }
    // A long value: 300 units, then a list terminator.
    std::string long_dump;
    for (int i = 0; i < 300; ++i) long_dump += "6100";
    EXPECT_EQ(ParseRegistryString(long_dump + "00000000").value, std::string(300, 'a'));
}

}  // namespace
