// get_proc_snapshot through the module, with subject processes of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <regex>

#include "support/module_fixture.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

using ProcessSnapshot = ModuleTest;
using Item = std::array<std::uint64_t, 4>;  // pid, start, parent pid, parent start

std::uint64_t StartMicroseconds(HANDLE process) {
    FILETIME creation{}, unused[3];
    EXPECT_TRUE(GetProcessTimes(process, &creation, &unused[0], &unused[1], &unused[2]));
    return ((std::uint64_t{creation.dwHighDateTime} << 32) | creation.dwLowDateTime) / 10 - 11644473600000000ull;
}

TEST_F(ProcessSnapshot, SubjectsAppearWithTheirParentAndStartTimesAndMissingTimesAreLogged) {
    SubjectProcess first({}), second({"worker"});
    const CallResult r = Call("get_proc_snapshot", {Arg::OutStr("proc_snapshot", 3)});
    ASSERT_EQ(r.result, 0);
    const std::string text = r.variables.at(3).text;
    ASSERT_TRUE(std::regex_match(text, std::regex(R"(([1-9]\d*,\d+,[1-9]\d*,\d+;)+)"))) << text;

    std::vector<Item> items;
    std::map<std::uint64_t, Item> by_pid;
    const std::regex item_form(R"((\d+),(\d+),(\d+),(\d+);)");
    for (std::sregex_iterator it(text.begin(), text.end(), item_form), end; it != end; ++it) {
        items.push_back({std::stoull((*it)[1]), std::stoull((*it)[2]), std::stoull((*it)[3]), std::stoull((*it)[4])});
        by_pid[items.back()[0]] = items.back();
    }
    const std::uint64_t self = GetCurrentProcessId();
    for (const SubjectProcess* subject : {&first, &second})
        EXPECT_EQ(by_pid[subject->Pid()], (Item{subject->Pid(), StartMicroseconds(subject->Handle()), self,
                                                StartMicroseconds(GetCurrentProcess())}));
    // Wine starts the test program with parent id 0: it is left out.
    EXPECT_EQ(by_pid.count(self), 0u);

    // Each missing start time has its line, after the open failure when that
    // was the cause, in item order; nothing else is logged. (Under Wine the
    // parents of services.exe and of the test's launcher are gone.)
    std::size_t line = 0;
    const auto expect_missing = [&](std::uint64_t pid, const std::string& which) {
        const std::string id = std::to_string(pid);
        if (line < r.log.size() &&
            std::regex_match(LogLines(r.log)[line], std::regex("2:OpenProcess failed with error code \\d+, for PID " + id + " \n")))
            ++line;
        ASSERT_LT(line, r.log.size());
        EXPECT_EQ(LogLines(r.log)[line++], "2:GetProcessStartime failed for " + which + " " + id + "\n");
    };
    for (const Item& item : items) {
        if (item[1] == 0) expect_missing(item[0], "PID");
        if (item[3] == 0) expect_missing(item[2], "ParentPID");
    }
    EXPECT_EQ(line, r.log.size());
    EXPECT_GT(line, 0u);
}

}  // namespace
}  // namespace OrvikTest
