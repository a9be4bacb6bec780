// The platform-neutral half of the child-process facility: command-line
// rules, environment blocks, the launcher's specification, the output pipe.
#include "common/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using Common::ChildLaunchSpec;
using Common::EnvironmentEntry;
using Common::Error;
using Strings = std::vector<std::string>;

TEST(CommandLine, SplitsByTheWindowsRulesAndFailsOnAnUnclosedQuote) {
    const std::pair<std::string, Strings> cases[] = {
        {" \t ", {}},
        {"a  b\tc", {"a", "b", "c"}},
        {"\"a b\" c\"d e\"", {"a b", "cd e"}},
        {"a \"\" b", {"a", "", "b"}},
        {"\"a\"\"b\" \"\"\"\"", {"a\"b", "\""}},  // inside quotes a doubled quote is kept
        {"a\"\"b", {"ab"}},
        {"a\\b a\\\"b a\\\\\"b c\"", {"a\\b", "a\"b", "a\\b c"}},  // backslashes count only before a quote
        {"\"C:\\dir x\\\\\"", {"C:\\dir x\\"}},
        {"'a b'", {"'a", "b'"}},
    };
    for (const auto& [text, arguments] : cases) {
        Strings out = {"(untouched)"};
        EXPECT_FALSE(Common::SplitCommandLine(text, out)) << text;
        EXPECT_EQ(out, arguments) << text;
    }
    for (const std::string text : {"\"abc", "\"\"\"", "a\\\\\"b"}) {
        Strings out = {"(untouched)"};
        EXPECT_EQ(Common::SplitCommandLine(text, out).Text(), "Failed to parse command line: " + text);
        EXPECT_EQ(out, Strings{"(untouched)"});
    }
}

TEST(CommandLine, QuotesOnlyArgumentsWithSpacesAndSplitsOnlyForListsAndTheShell) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "\"\""}, {"tab\tq\"", "tab\tq\""}, {"trailing\\", "trailing\\"}, {"C:\\a b\\c", "\"C:\\a b\\c\""},
        {"C:\\dir x\\", "\"C:\\dir x\\\\\""},  // the trailing run doubles before the closing quote
    };
    for (const auto& [argument, quoted] : cases) EXPECT_EQ(Common::QuoteArgument(argument), quoted);
    EXPECT_EQ(Common::JoinCommandLine({"p.exe", "", "a b"}), "p.exe \"\" \"a b\"");

    ChildLaunchSpec spec;
    std::string line = "(untouched)";
    EXPECT_EQ(Common::BuildCommandLine(spec, line).Text(), "Child process command line is not ready");
    spec.command_line = "prog.exe  \"unclosed";  // without the shell: unchanged
    ASSERT_FALSE(Common::BuildCommandLine(spec, line));
    EXPECT_EQ(line, "prog.exe  \"unclosed");
    spec.use_shell = true;
    EXPECT_EQ(Common::BuildCommandLine(spec, line).Text(), "Failed to parse command line: prog.exe  \"unclosed");
    spec.command_line = "dir  \"C:\\Program Files\\\\\"";
    ASSERT_FALSE(Common::BuildCommandLine(spec, line));
    EXPECT_EQ(line, "cmd.exe /c dir \"C:\\Program Files\\\\\"");
    spec.command_line.reset();
    spec.arguments = Strings{"echo", "a b"};
    spec.use_shell = false;
    ASSERT_FALSE(Common::BuildCommandLine(spec, line));
    EXPECT_EQ(line, "echo \"a b\"");
}

// A block literal with its embedded nuls, without the literal's own terminator.
template <std::size_t N>
std::u16string Block(const char16_t (&units)[N]) {
    return std::u16string(units, N - 1);
}

Strings Texts(const std::vector<EnvironmentEntry>& entries) {
    Strings out;
    for (const auto& e : entries) out.push_back(e.name + "=" + e.value + (e.removed ? " (removed)" : ""));
    return out;
}

int g_snapshots = 0;
ChildLaunchSpec g_launched;

std::vector<EnvironmentEntry> FakeEnvironment() {
    ++g_snapshots;
    return Common::ParseEnvironmentBlock(Block(u"Path=C:\\bin\0HOME=C:\\u\0=C:=C:\\\0\0"));
}

Error FakeLaunch(ChildLaunchSpec& spec, std::unique_ptr<Common::ChildProcess>&) {
    g_launched = spec;
    return spec.arguments ? Error() : COMMON_ERROR("refused");
}

constexpr Common::ChildProcessPlatform kFake = {&FakeEnvironment, &FakeLaunch};

TEST(Launcher, EditsOneCopyOfTheEnvironmentIntoAValidBlock) {
    EXPECT_EQ(Texts(Common::ParseEnvironmentBlock(Block(u"A=1\0NOEQUALS\0W=\u00e9"))),
              (Strings{"A=1", "NOEQUALS=", "W=\xC3\xA9"}));
    g_snapshots = 0;
    Common::ChildProcessInitiator launcher{kFake};
    launcher.SetVariable("NEW", "1");
    launcher.SetVariable("path", "C:\\other");  // names compare without ASCII case
    launcher.UnsetVariable("HOME");
    launcher.ExtendVariable("Path", "D:\\x", std::nullopt, true);
    launcher.ExtendVariable("NEW", "0", std::string(" | "), false);
    launcher.ExtendVariable("HOME", "v", std::nullopt, true);  // removed counts as empty
    launcher.UnsetVariable("HOME");
    launcher.ExtendVariable("FRESH", "f", std::string(":"), true);
    EXPECT_EQ(g_snapshots, 1);
    EXPECT_EQ(Texts(*launcher.Spec().environment),
              (Strings{"Path=C:\\other;D:\\x", "HOME=v (removed)", "=C:=C:\\", "NEW=0 | 1", "FRESH=f"}));
    EXPECT_EQ(Common::BuildEnvironmentBlock(*launcher.Spec().environment),
              Block(u"Path=C:\\other;D:\\x\0=C:=C:\\\0NEW=0 | 1\0FRESH=f\0\0"));

    // Edits that would plant other variables in the block are refused.
    const std::vector<std::pair<std::string, std::string>> corrupting = {
        {"", "x"}, {"A=B", "x"}, {std::string("A\0B", 3), "x"}, {"A", std::string("x\0B=evil", 8)}};
    for (const auto& [name, value] : corrupting) EXPECT_THROW(launcher.SetVariable(name, value), Error) << name;
    launcher.ClearEnvironment();
    EXPECT_EQ(Common::BuildEnvironmentBlock(*launcher.Spec().environment), Block(u"\0\0"));
    EXPECT_EQ(g_snapshots, 1);
}

TEST(Launcher, HandsTheSpecificationToThePlatform) {
    Common::ChildProcessInitiator launcher{kFake};
    launcher.SetArguments({"a"});
    launcher.SetCommandLine("text");  // replaces the list
    EXPECT_THROW(launcher.Launch(), Error);
    EXPECT_EQ(g_launched.command_line, "text");
    launcher.SetArguments({"a b"});
    launcher.SetWorkingDirectory("C:\\work");
    launcher.InputFromFile("in.txt");
    launcher.ErrorToNull();
    launcher.MergeErrorIntoOutput();
    int reported = 0;
    launcher.SetErrorCallback([&](const Error&) { ++reported; });
    EXPECT_FALSE(launcher.Launch());
    EXPECT_FALSE(g_launched.command_line);
    EXPECT_EQ(g_launched.arguments, Strings{"a b"});
    EXPECT_EQ(g_launched.working_directory, "C:\\work");
    EXPECT_EQ(g_launched.input.mode, Common::StdMode::kFile);
    EXPECT_EQ(g_launched.input.path, "in.txt");
    EXPECT_EQ(g_launched.output.mode, Common::StdMode::kInherit);
    EXPECT_EQ(g_launched.error.mode, Common::StdMode::kNull);
    EXPECT_TRUE(g_launched.merge_error);
    EXPECT_FALSE(g_launched.environment);  // no edit: the child inherits
    g_launched.on_error(COMMON_ERROR("x"));
    EXPECT_EQ(reported, 1);
}

TEST(OutputPipe, DeliversEverythingWrittenAndEndsWithItsLastWriter) {
    Common::ChildProcessOutputPipe pipe;
    char buffer[4] = {};
    EXPECT_EQ(pipe.Read(buffer, 1), 0u);  // no writer handed out: ended at once

    Common::StreamRef first = pipe.WriteStream();
    Common::StreamRef second = pipe.WriteStream();
    Error error;
    ASSERT_EQ(first.Write("hello ", 6, error), Common::kStreamOk);
    ASSERT_EQ(first.Flush(error), Common::kStreamOk);
    ASSERT_EQ(pipe.Read(buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer, 4), "hell");
    ASSERT_EQ(first.Close(error), Common::kStreamOk);
    EXPECT_EQ(first.Write("x", 1, error), Common::kStreamWriteFailed);
    EXPECT_EQ(error.Text(), "the pipe is closed");
    first.Reset();

    std::thread writer([stream = std::move(second)]() mutable {
        Error e;
        for (int i = 0; i < 100; ++i) stream.Write("0123456789", 10, e);
        stream.Reset();
    });
    const std::string rest = pipe.ReadAll();
    writer.join();
    ASSERT_EQ(rest.size(), 1002u);
    EXPECT_EQ(rest.substr(0, 12), "o 0123456789");

    // A stream may outlive its pipe.
    Common::StreamRef late;
    {
        Common::ChildProcessOutputPipe gone;
        late = gone.WriteStream();
    }
    EXPECT_EQ(late.Write("late", 4, error), Common::kStreamOk);
}

}  // namespace
