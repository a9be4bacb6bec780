// The memory statistic's text and the section headers read from an image's
// first page, on handmade bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "orvik/functions/process/memory_statistic_text.h"

namespace ScanEngine::Process {
namespace {

using Page = std::vector<std::uint8_t>;

void Put16(Page& page, std::size_t at, std::uint16_t value) { std::memcpy(page.data() + at, &value, 2); }
void Put32(Page& page, std::size_t at, std::uint32_t value) { std::memcpy(page.data() + at, &value, 4); }

// A header page: PE header at `header`, section table at header + `table`.
Page Image(std::uint32_t header, std::uint16_t machine, std::uint16_t count, std::size_t table) {
    Page page(kHeaderPageSize, 0);
    Put32(page, 0x3C, header);
    if (header + 8 > page.size()) return page;
    Put16(page, header + 4, machine);
    Put16(page, header + 6, count);
    for (std::size_t i = 0, at = header + table; i < count && at + 40 <= page.size(); ++i, at += 40) {
        const std::string name = i == 0 ? ".text" : i == 1 ? "12345678" : "s" + std::to_string(i);
        std::memcpy(page.data() + at, name.data(), name.size());
        Put32(page, at + 12, 0x1000 * static_cast<std::uint32_t>(i + 1));
        Put32(page, at + 16, 0x200 + static_cast<std::uint32_t>(i));
        Put32(page, at + 36, 0x60000020);
    }
    return page;
}

std::vector<std::string> Names(const std::vector<SectionHeader>& sections) {
    std::vector<std::string> names;
    for (const auto& s : sections) names.push_back(s.name);
    return names;
}

TEST(SectionHeaders, ReadsBothMachinesStopsAtThePageEndAndRefusesMalformedHeaders) {
    const auto x64 = ReadSectionHeaders(Image(0x80, 0x8664, 3, 0x108));
    EXPECT_EQ(Names(x64), (std::vector<std::string>{".text", "12345678", "s2"}));
    EXPECT_EQ(x64[1].relative_address, 0x2000u);
    EXPECT_EQ(x64[1].raw_size, 0x201u);
    EXPECT_EQ(x64[1].characteristics, 0x60000020u);
    EXPECT_EQ(Names(ReadSectionHeaders(Image(0x80, 0x14C, 2, 0xF8))), (std::vector<std::string>{".text", "12345678"}));

    // 1000 sections promised, room for (4096 - 0xE60 - 0x108) / 40 = 3 headers.
    EXPECT_EQ(ReadSectionHeaders(Image(0xE60, 0x8664, 1000, 0x108)).size(), 3u);
    // The x64 table starts past the page: nothing, and nothing read beyond it.
    EXPECT_TRUE(ReadSectionHeaders(Image(0xFE8, 0x8664, 5, 0x108)).empty());
    // Malformed headers give none.
    EXPECT_TRUE(ReadSectionHeaders(Image(0x80, 0x8664, 0, 0x108)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(0x80, 0x8664, 1001, 0x108)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(0x80, 0xAA64, 2, 0x108)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(4096, 0x8664, 2, 0x108)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(0xFFFFFFF0, 0x8664, 2, 0x108)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Image(4096 - 23, 0x8664, 2, 0x108)).empty());
    EXPECT_TRUE(ReadSectionHeaders(Page(0x30, 0)).empty());
}

TEST(StatisticText, WritesEveryMemberInOrderWithItsNumberForm) {
    EXPECT_EQ(PortFromTableField(0xABCD0D1F), 0x1F0Du);
    EXPECT_EQ(FormatMemoryStatistic({}), R"({"mods":[],"vmem":[],"threads":[],"inet":[]})");

    MemoryStatistic s;
    s.modules.push_back({"a\"\xc3\xa9.exe", 0x7FF6A1B20000, 0x1F000, {{{"12345678", 0x1000, 0x200, 0x60000020}, 32}}});
    s.modules.push_back({"c.dll", 0x10000, 0x1000, {}});
    s.regions.push_back({0x20000, 0x10000, 0x40, 0x3000, 0x1000, 0x4});
    s.thread_starts = {0xABCDEF, 0};
    s.endpoints.push_back({2, 0x100007F, 0x1F90, 0, 0});
    EXPECT_EQ(FormatMemoryStatistic(s),
              R"({"mods":[{"name":"a\"\u00c3\u00a9.exe","base":"00007FF6A1B20000","size":"1f000","sections":[)"
              R"({"name":"12345678","base":"0000000000001000","size":"200","oprot":"60000020","cprot":"20"}]},)"
              R"({"name":"c.dll","base":"0000000000010000","size":"1000","sections":[]}],)"
              R"("vmem":[{"base":"0000000000020000","abase":"0000000000010000","aprot":"40","size":"3000",)"
              R"("state":"1000","prot":"4"}],)"
              R"("threads":[{"entrypoint":"0000000000ABCDEF"},{"entrypoint":"0000000000000000"}],)"
              R"("inet":[{"state":"2","laddr":"100007f","lport":"1f90","raddr":"0","rport":"0"}]})");
}

}  // namespace
}  // namespace ScanEngine::Process
