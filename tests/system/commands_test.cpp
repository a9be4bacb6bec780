// os_execute and os_getenv through the module.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "common/windows_error.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Strings = std::vector<std::string>;
using Commands = ModuleTest;

std::string LaunchLine(const std::string& command_line, const char* code_text, unsigned code) {
    return "2:Cannot launch child process [" + command_line + "] due to platform API error: CreateProcessW; " +
           code_text + ": " + Common::FormatWindowsError(code);
}

TEST_F(Commands, ExecuteReturnsTheExitCodeSignExtendedAndLogsFailures) {
    const std::optional<std::int64_t> none;
    // Without the shell an unclosed quote is the child's business; -1 from the child is logged nowhere.
    const std::tuple<std::string, std::optional<std::int64_t>, std::int64_t, Strings> cases[] = {
        {"cmd.exe /c exit 3", none, 3, {}},
        {"cmd.exe /c exit -1073741819", none, -1073741819, {}},
        {"cmd.exe /c exit -1", none, -1, {}},
        {"cmd.exe /c exit 4 \"", none, 4, {}},
        {"echo \"a b\"", 1, 0, {}},
        {"exit 6", 5, 6, {}},
        {"echo \"a b\"", none, -1, {LaunchLine("echo \"a b\"", "0x00000002", 2)}},
        {"echo \"open", 1, -1, {"2:Failed to parse command line: echo \"open"}},
        // Only the whole command runs: with 0xFF dropped, "exit 7" would never run.
        {"cmd.exe /c echo \xC3\xA9 & exit 7", none, 7, {}},
        {"cmd.exe /c echo \xFF & exit 7", none, -1,
         {MalformedLine("os_execute", "argument 'cmdline' is not valid UTF-8")}},
        {std::string("cmd.exe /c exit 5\0& exit 6", 26), none, -1,
         {MalformedLine("os_execute", "argument 'cmdline' holds a NUL byte")}},
    };
    for (const auto& [command_line, shell, result, log] : cases) {
        std::vector<Arg> args = {Arg::Str("cmdline", command_line)};
        if (shell) args.push_back(Arg::Int("shell", *shell));
        const CallResult r = Call("os_execute", args);
        EXPECT_EQ(r.result, result) << command_line;
        EXPECT_EQ(LogLines(r.log), log) << command_line;
    }
}

TEST_F(Commands, GetenvReadsTheLiveEnvironmentOfThisProcess) {
    // Set after the module was loaded, as a host would; longer than any first guess.
    const std::pair<std::wstring, std::string> values[] = {
        {L"v\u00e4lue \u20ac", "v\xC3\xA4lue \xE2\x82\xAC"},
        {std::wstring(30000, L'x') + L"\u00e9", std::string(30000, 'x') + "\xC3\xA9"}};
    for (const auto& [wide, utf8] : values) {
        ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_GETENV_\u00dc", wide.c_str()));
        const CallResult r = Call("os_getenv", {Arg::Str("name", "orvik_getenv_\xC3\x9C"), Arg::OutStr("value", 4)});
        EXPECT_EQ(r.result, 1);
        EXPECT_TRUE(r.log.empty());
        EXPECT_TRUE(r.variables.at(4).text == utf8) << r.variables.at(4).text.size();
    }
    SetEnvironmentVariableW(L"ORVIK_GETENV_\u00dc", nullptr);

    // Missing variables leave the value alone; a nul would look up only the part before it.
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_GETENV_CUT", L"x"));
    for (const std::string& name : {std::string("ORVIK_GETENV_\xC3\x9C"), std::string("ORVIK_GETENV_CUT\0X", 18)}) {
        const CallResult r = Call("os_getenv", {Arg::Str("name", name), Arg::OutStr("value", 4)});
        EXPECT_EQ(r.result, 0) << name;
        EXPECT_TRUE(r.variables.empty() && r.log.empty()) << name;
    }
    SetEnvironmentVariableW(L"ORVIK_GETENV_CUT", nullptr);
    EXPECT_EQ(LogLines(Call("os_getenv", {Arg::Str("name", "ORVIK_GETENV_CUT\xFF"), Arg::OutStr("value", 4)}).log),
              Strings{MalformedLine("os_getenv", "argument 'name' is not valid UTF-8")});
    const CallResult r = Call("os_getenv", {Arg::Str("name", "PATH")});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{MalformedLine("os_getenv", "required arguments not found 'value, '")});
}

}  // namespace
}  // namespace OrvikTest
