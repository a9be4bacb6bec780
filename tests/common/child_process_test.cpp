// The platform-neutral half of child processes: command-line rules,
// environment blocks, the launcher's specification.
#include "common/child_process.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Common::Error;
using Strings = std::vector<std::string>;
const std::optional<Strings> kFails;

TEST(CommandLine, SplitsByTheWindowsRulesAndFailsOnAnUnclosedQuote) {
    const std::pair<std::string, std::optional<Strings>> cases[] = {
        {" \t ", Strings{}},
        {"a  b\tc 'd e'", Strings{"a", "b", "c", "'d", "e'"}},
        {"\"a b\" c\"d e\" \"\" a\"\"b", Strings{"a b", "cd e", "", "ab"}},
        {"\"a\"\"b\" \"\"\"\"", Strings{"a\"b", "\""}},  // inside quotes a doubled quote is kept
        {"a\\b a\\\"b a\\\\\"b c\" d\\", Strings{"a\\b", "a\"b", "a\\b c", "d\\"}},
        {"\"C:\\dir x\\\\\"", Strings{"C:\\dir x\\"}},
        {"\"abc", kFails}, {"\"\"\"", kFails}, {"a\\\\\"b", kFails},
    };
    for (const auto& [text, arguments] : cases) {
        Strings out = {"(untouched)"};
        const std::string failure = "Failed to parse command line: " + text;
        EXPECT_EQ(Common::SplitCommandLine(text, out).Text(), arguments ? "success" : failure);
        EXPECT_EQ(out, arguments.value_or(Strings{"(untouched)"})) << text;
    }
}

TEST(CommandLine, QuotesOnlyArgumentsWithSpacesAndSplitsOnlyForListsAndTheShell) {
    const std::pair<std::string, std::string> quoted[] = {
        {"", "\"\""}, {"tab\tq\"", "tab\tq\""}, {"trailing\\", "trailing\\"}, {"say \"hi\"", "\"say \"hi\"\""},
        {"C:\\a b\\c", "\"C:\\a b\\c\""}, {"C:\\dir x\\", "\"C:\\dir x\\\\\""}};
    for (const auto& [argument, text] : quoted) EXPECT_EQ(Common::QuoteArgument(argument), text);

    // Argument list, text, shell, and the line ("=" first) or the failure.
    const std::tuple<std::optional<Strings>, std::optional<std::string>, bool, std::string> builds[] = {
        {{}, {}, false, "Child process command line is not ready"},
        {{}, "dir  \"C:\\Program Files\\\\\"", true, "=cmd.exe /c dir \"C:\\Program Files\\\\\""},
        {Strings{"echo", "", "a b"}, {}, false, "=echo \"\" \"a b\""},
        {Strings{"echo", "a b"}, {}, true, "=cmd.exe /c echo \"a b\""},
    };
    for (const auto& [arguments, text, shell, expected] : builds) {
        Common::ChildLaunchSpec spec;
        spec.arguments = arguments;
        spec.command_line = text;
        spec.use_shell = shell;
        std::string line = "(untouched)";
        const Error error = Common::BuildCommandLine(spec, line);
        EXPECT_EQ(error ? error.Text() : "=" + line, expected);
    }
}

// A block literal with its embedded nuls, without the literal's own terminator.
template <std::size_t N>
std::u16string Block(const char16_t (&units)[N]) {
    return std::u16string(units, N - 1);
}

int g_snapshots = 0;
Common::ChildLaunchSpec g_launched;
constexpr Common::ChildProcessPlatform kFake = {
    [] { return ++g_snapshots, Common::ParseEnvironmentBlock(Block(u"Path=C:\\bin\0HOME=C:\\u\0=C:=C:\\\0\0")); },
    [](Common::ChildLaunchSpec& spec, std::unique_ptr<Common::ChildProcess>&) {
        g_launched = spec;
        return spec.arguments ? Error() : COMMON_ERROR("refused");
    }};

TEST(Launcher, EditsOneCopyOfTheEnvironmentAndHandsTheSpecificationOn) {
    EXPECT_EQ(Common::BuildEnvironmentBlock(Common::ParseEnvironmentBlock(Block(u"A=1\0NOEQUALS\0W=\u00e9"))),
              Block(u"A=1\0NOEQUALS=\0W=\u00e9\0\0"));
    Common::ChildProcessInitiator launcher{kFake};
    launcher.SetArguments({"a"});
    launcher.SetCommandLine("text");  // replaces the list
    EXPECT_THROW(launcher.Launch(), Error);
    EXPECT_EQ(g_launched.command_line, "text");
    EXPECT_FALSE(g_launched.environment);  // no edit: the child inherits

    launcher.SetVariable("NEW", "1");
    launcher.SetVariable("path", "C:\\other");  // names compare without ASCII case
    launcher.UnsetVariable("HOME");
    launcher.ExtendVariable("Path", "D:\\x", std::nullopt, true);
    launcher.ExtendVariable("NEW", "0", std::string(" | "), false);
    launcher.ExtendVariable("HOME", "v", std::nullopt, true);  // removed counts as empty
    launcher.UnsetVariable("=c:");
    launcher.ExtendVariable("FRESH", "f", std::string(":"), true);
    launcher.SetArguments({"a b"});
    EXPECT_FALSE(launcher.Launch());
    EXPECT_EQ(g_snapshots, 1);
    EXPECT_FALSE(g_launched.command_line);
    EXPECT_EQ(Common::BuildEnvironmentBlock(*g_launched.environment),
              Block(u"Path=C:\\other;D:\\x\0HOME=v\0NEW=0 | 1\0FRESH=f\0\0"));

    // Edits that would plant other variables in the block are refused.
    const std::pair<std::string, std::string> corrupting[] = {
        {"", "x"}, {"A=B", "x"}, {std::string("A\0B", 3), "x"}, {"A", std::string("x\0B=evil", 8)}};
    for (const auto& [name, value] : corrupting) EXPECT_THROW(launcher.SetVariable(name, value), Error) << name;
    launcher.ClearEnvironment();
    EXPECT_EQ(Common::BuildEnvironmentBlock(*launcher.Spec().environment), Block(u"\0\0"));
}

}  // namespace
