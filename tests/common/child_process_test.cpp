// The platform-neutral half of child processes: the command-line rules
// os_execute's line goes through. (Environment edits, which no rule can make,
// are left to the launch test that passes one to a child.)
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

}  // namespace
