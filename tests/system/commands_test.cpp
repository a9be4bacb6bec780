// os_execute and os_getenv through the module.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/windows_error.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Strings = std::vector<std::string>;

class Commands : public ModuleTest {
protected:
    CallResult Execute(const std::string& command_line, std::optional<std::int64_t> shell = std::nullopt) {
        std::vector<Arg> args = {Arg::Str("cmdline", command_line)};
        if (shell) args.push_back(Arg::Int("shell", *shell));
        return Call("os_execute", args);
    }
    CallResult Getenv(const std::string& name) {
        return Call("os_getenv", {Arg::Str("name", name), Arg::OutStr("value", 4)});
    }
};

std::string LaunchLine(const std::string& command_line, unsigned code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", code);
    return "2:Cannot launch child process [" + command_line + "] due to platform API error: CreateProcessW; " + hex +
           ": " + Common::FormatWindowsError(code);
}

TEST_F(Commands, ExecuteReturnsTheExitCodeSignExtended) {
    CallResult r = Execute("cmd.exe /c exit 3");
    EXPECT_EQ(r.result, 3);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(Execute("cmd.exe /c exit -1073741819").result, -1073741819);
    r = Execute("cmd.exe /c exit -1");  // the same result as a failed launch, but no log line
    EXPECT_EQ(r.result, -1);
    EXPECT_TRUE(r.log.empty());
    // Without the shell an unclosed quote is the child's business.
    EXPECT_EQ(Execute("cmd.exe /c exit 4 \"").result, 4);
}

TEST_F(Commands, TheShellRunsBuiltInsThatAreNoProgramOnTheirOwn) {
    for (const std::int64_t shell : {1, -1}) {
        const CallResult r = Execute("echo \"a b\"", shell);
        EXPECT_EQ(r.result, 0);
        EXPECT_TRUE(r.log.empty());
    }
    EXPECT_EQ(Execute("exit 6", 5).result, 6);
    for (const auto shell : {std::optional<std::int64_t>(), std::optional<std::int64_t>(0)}) {
        const CallResult r = Execute("echo \"a b\"", shell);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(LogLines(r.log), Strings{LaunchLine("echo \"a b\"", 2)});
    }
    CallResult r = Execute("echo \"open", 1);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{"2:Failed to parse command line: echo \"open"});
    // A nul inside the text would run only its first part.
    r = Execute(std::string("cmd.exe /c exit 5\0& exit 6", 26));
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{LaunchLine("cmd.exe /c exit 5", 87)});
    r = Call("os_execute", {Arg::Int("shell", 1)});
    EXPECT_EQ(LogLines(r.log), Strings{MalformedLine("os_execute", "required arguments not found 'cmdline, '")});
}

TEST_F(Commands, GetenvReadsTheLiveEnvironmentOfThisProcess) {
    // Set after the module was loaded, as a host would.
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_GETENV_\u00dc", L"v\u00e4lue \u20ac"));
    CallResult r = Getenv("orvik_getenv_\xC3\x9C");
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(4).text, "v\xC3\xA4lue \xE2\x82\xAC");

    // Longer than any first guess, and empty.
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_GETENV_\u00dc", (std::wstring(30000, L'x') + L"\u00e9").c_str()));
    r = Getenv("ORVIK_GETENV_\xC3\x9C");
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.variables.at(4).text == std::string(30000, 'x') + "\xC3\xA9") << r.variables.at(4).text.size();
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_GETENV_\u00dc", L""));
    r = Getenv("ORVIK_GETENV_\xC3\x9C");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.variables.at(4).text, "");
    SetEnvironmentVariableW(L"ORVIK_GETENV_\u00dc", nullptr);
}

TEST_F(Commands, GetenvOfAMissingVariableLeavesTheValueAlone) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_GETENV_CUT", L"x"));
    // A variable a child set is not ours; a nul would look up only the part before it.
    EXPECT_EQ(Execute("set ORVIK_SET_BY_CHILD=1", 1).result, 0);
    for (const std::string& name : {std::string("ORVIK_SET_BY_CHILD"), std::string(""), std::string("="),
                                    std::string("ORVIK_GETENV_CUT\0X", 18)}) {
        const CallResult r = Getenv(name);
        EXPECT_EQ(r.result, 0) << name;
        EXPECT_TRUE(r.variables.empty()) << name;
        EXPECT_TRUE(r.log.empty()) << name;
    }
    SetEnvironmentVariableW(L"ORVIK_GETENV_CUT", nullptr);
    const CallResult r = Call("os_getenv", {Arg::Str("name", "PATH")});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{MalformedLine("os_getenv", "required arguments not found 'value, '")});
}

}  // namespace
}  // namespace OrvikTest
