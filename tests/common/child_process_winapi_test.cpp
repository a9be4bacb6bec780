// Child processes started through Windows: exit codes, launch failures with
// their Windows cause, the environment and folder the child sees, pipes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/utf.h"
#include "common/windows_error.h"
#include "temp_dir.h"

namespace {

using Common::ChildProcessInitiator;
using Common::ChildProcessOutputPipe;
using Common::Error;

std::string LaunchFailure(ChildProcessInitiator& launcher) {
    try {
        launcher.Launch();
    } catch (const Error& error) {
        return error.Text();
    }
    return "(launched)";
}

std::string LaunchMessage(const std::string& command_line, const std::string& call, unsigned code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "; 0x%08x: ", code);
    return "Cannot launch child process [" + command_line + "] due to platform API error: " + call + hex +
           Common::FormatWindowsError(code);
}

void Quiet(ChildProcessInitiator& launcher) {
    launcher.InputFromNull();
    launcher.OutputToNull();
    launcher.ErrorToNull();
}

TEST(ChildProcess, ReturnsTheExitCodeOnceThenMinusOne) {
    ChildProcessInitiator launcher;
    Quiet(launcher);
    launcher.SetCommandLine("cmd.exe /c exit 3");
    const auto child = launcher.Launch();
    EXPECT_NE(child->ProcessId(), 0u);
    EXPECT_EQ(child->Wait(), 3u);
    EXPECT_EQ(child->Wait(), 0xFFFFFFFFu);
    EXPECT_FALSE(child->Terminate());
    EXPECT_FALSE(child->TakeInputPipe());

    // A shell built-in, with the module's own streams.
    ChildProcessInitiator shell;
    shell.SetCommandLine("exit 9");
    shell.UseShell();
    EXPECT_EQ(shell.Launch()->Wait(), 9u);
}

TEST(ChildProcess, LaunchFailuresNameTheCallAndCarryTheWindowsCause) {
    ChildProcessInitiator missing;
    missing.SetCommandLine("orvik-no-such-program.exe /x");
    try {
        missing.Launch();
        ADD_FAILURE() << "launched";
    } catch (const Error& error) {
        EXPECT_EQ(error.Text(), LaunchMessage("orvik-no-such-program.exe /x", "CreateProcessW", 2));
        EXPECT_TRUE(error.Next().IsWindowsError());
        EXPECT_EQ(error.Next().Code(), 2u);
    }

    test::TempDir folder;
    folder.WriteFile("not_pe.exe", "text, not a program\r\n");
    const std::string not_pe = folder.Path("not_pe.exe");
    ChildProcessInitiator text_exe;
    Quiet(text_exe);
    text_exe.SetArguments({not_pe});
    EXPECT_EQ(LaunchFailure(text_exe), LaunchMessage(not_pe, "CreateProcessW", 193));

    const std::string absent = folder.Path("absent.txt");
    ChildProcessInitiator no_input;
    no_input.SetCommandLine("cmd.exe /c exit 0");
    no_input.InputFromFile(absent);
    EXPECT_EQ(LaunchFailure(no_input), LaunchMessage("cmd.exe /c exit 0", "CreateFileW(" + absent + ")", 2));

    // A nul would cut the text short and run something else.
    ChildProcessInitiator nul;
    Quiet(nul);
    nul.SetCommandLine(std::string("cmd.exe /c exit 4\0 & rem", 24));
    EXPECT_EQ(LaunchFailure(nul), LaunchMessage("cmd.exe /c exit 4", "CreateProcessW", 87));
}

TEST(ChildProcess, TheChildSeesTheEditedEnvironmentAndItsWorkingDirectory) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_PARENT_DROP", L"dropped"));
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_PARENT_KEEP", L"kept"));
    test::TempDir folder;
    const std::string out = folder.Path("env.txt");
    ChildProcessInitiator launcher;
    Quiet(launcher);
    // "cmd /u" writes UTF-16; it leaves unknown variables as they are written.
    launcher.SetCommandLine("cmd.exe /u /c echo [%ORVIK_A%][%ORVIK_PARENT_DROP%][%ORVIK_PARENT_KEEP%][%ORVIK_W%]");
    launcher.SetVariable("ORVIK_A", "alpha");
    launcher.ExtendVariable("ORVIK_A", "beta", std::nullopt, true);
    launcher.UnsetVariable("orvik_parent_drop");
    launcher.SetVariable("ORVIK_W", "\xC3\xA9t\xC3\xA9");
    launcher.OutputToFile(out);
    EXPECT_EQ(launcher.Launch()->Wait(), 0u);
    const std::string bytes = folder.ReadFile("env.txt");
    EXPECT_EQ(Common::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2)),
              "[alpha;beta][%ORVIK_PARENT_DROP%][kept][\xC3\xA9t\xC3\xA9]\r\n");
    SetEnvironmentVariableW(L"ORVIK_PARENT_DROP", nullptr);
    SetEnvironmentVariableW(L"ORVIK_PARENT_KEEP", nullptr);

    ChildProcessInitiator bare;  // an environment of one variable
    Quiet(bare);
    bare.SetCommandLine("cmd.exe /c exit %ORVIK_CODE%");
    bare.ClearEnvironment();
    bare.SetVariable("ORVIK_CODE", "21");
    EXPECT_EQ(bare.Launch()->Wait(), 21u);

    const std::string where = folder.Path("cwd.txt");
    ChildProcessInitiator in_folder;
    Quiet(in_folder);
    in_folder.SetCommandLine("cmd.exe /c cd");
    in_folder.SetWorkingDirectory(folder.Path());
    in_folder.OutputToFile(where);
    EXPECT_EQ(in_folder.Launch()->Wait(), 0u);
    EXPECT_EQ(folder.ReadFile("cwd.txt"), folder.Path() + "\r\n");
}

TEST(ChildProcess, PumpsCopyOutputAndErrorIntoStreams) {
    ChildProcessOutputPipe out;
    ChildProcessOutputPipe err;
    ChildProcessInitiator launcher;
    launcher.SetCommandLine("cmd.exe /c \"echo out& echo err 1>&2\"");
    launcher.InputFromNull();
    launcher.OutputToStream(out.WriteStream());
    launcher.ErrorToStream(err.WriteStream());
    EXPECT_EQ(launcher.Launch()->Wait(), 0u);
    // The pumps let go of the streams when the child's output closes.
    EXPECT_EQ(out.ReadAll(), "out\r\n");
    EXPECT_EQ(err.ReadAll(), "err \r\n");

    // Merged, and many pump buffers long.
    test::TempDir folder;
    std::string content;
    for (int i = 0; content.size() < 100000; ++i) content += "line " + std::to_string(i) + "\r\n";
    folder.WriteFile("big.txt", content);
    const std::string big = folder.Path("big.txt");
    ChildProcessOutputPipe merged;
    ChildProcessInitiator typer;
    typer.SetArguments({"cmd.exe", "/c", "type", big, "&", "type", "missing.txt"});
    typer.InputFromNull();
    typer.OutputToStream(merged.WriteStream());
    typer.MergeErrorIntoOutput();
    EXPECT_EQ(typer.Launch()->Wait(), 1u);
    const std::string all = merged.ReadAll();
    EXPECT_EQ(all.substr(0, content.size()), content);
    EXPECT_NE(all.find("missing.txt", content.size()), std::string::npos);
}

// The shell's code page query answers only inside a console; the same
// command either way, as a pipe needs a console only for the shell.
std::string CodePageReport(bool shell) {
    ChildProcessOutputPipe out;
    ChildProcessInitiator launcher;
    launcher.SetCommandLine(shell ? "chcp" : "cmd.exe /c chcp");
    if (shell) launcher.UseShell();
    launcher.InputFromNull();
    launcher.OutputToStream(out.WriteStream());
    launcher.MergeErrorIntoOutput();
    EXPECT_EQ(launcher.Launch()->Wait(), 0u);
    return out.ReadAll();
}

TEST(ChildProcess, RunsDetachedWhenNoStreamNeedsAConsole) {
    EXPECT_EQ(CodePageReport(true).rfind("Active code page", 0), 0u);
    EXPECT_EQ(CodePageReport(false), "");
}

TEST(ChildProcess, InputPipeFeedsTheChildOnceAndEndsAtTheWaitWhenNotTaken) {
    ChildProcessOutputPipe out;
    ChildProcessInitiator launcher;
    launcher.SetCommandLine("find.exe \"b\"");
    launcher.InputFromPipe();
    launcher.OutputToStream(out.WriteStream());
    const auto child = launcher.Launch();
    auto input = child->TakeInputPipe();
    ASSERT_TRUE(input);
    EXPECT_FALSE(child->TakeInputPipe());
    input->Write("abc\r\nxyz\r\nbb\r\n");
    input->Close();
    EXPECT_EQ(child->Wait(), 0u);
    EXPECT_EQ(out.ReadAll(), "abc\r\nbb\r\n");

    ChildProcessInitiator untaken;
    Quiet(untaken);
    untaken.SetCommandLine("find.exe \"b\"");
    untaken.InputFromPipe();
    EXPECT_EQ(untaken.Launch()->Wait(), 1u);  // find's "nothing found"

    // A child blocked on input it still may get ends only when terminated.
    const auto blocked = untaken.Launch();
    const auto held = blocked->TakeInputPipe();
    EXPECT_TRUE(blocked->Terminate());
    EXPECT_EQ(blocked->Wait(), 1u);
}

int FailingWrite(Error& error, Common::StreamHandle, const void*, std::size_t, std::size_t& done) {
    done = 0;
    error = COMMON_STREAM_ERROR(Common::kStreamWriteFailed, "sink refused");
    return Common::kStreamWriteFailed;
}

int CountingWrite(Error&, Common::StreamHandle handle, const void*, std::size_t count, std::size_t& done) {
    *reinterpret_cast<std::size_t*>(static_cast<std::uintptr_t>(handle)) += done = count;
    return Common::kStreamOk;
}

TEST(ChildProcess, PumpFailuresGoToTheErrorCallback) {
    test::TempDir folder;
    folder.WriteFile("big.txt", std::string(200000, 'x'));
    const std::string big = folder.Path("big.txt");
    std::mutex lock;
    std::vector<std::string> errors;
    const auto run = [&](decltype(Common::StreamOps::write) write, std::uintptr_t handle, bool report = true) {
        Common::StreamOps ops = {};
        ops.write = write;  // and no FLUSH
        ChildProcessInitiator launcher;
        launcher.SetArguments({"cmd.exe", "/c", "type", big});
        launcher.InputFromNull();
        launcher.OutputToStream(Common::StreamRef::Create(ops, handle));
        if (report) {
            launcher.SetErrorCallback([&](const Error& e) {
                const std::lock_guard<std::mutex> hold(lock);
                errors.push_back(e.Text());
            });
        }
        launcher.Launch().reset();  // waits for the pump and the child
    };
    // More output than a pipe holds: the child ends only because the failed
    // pump broke the pipe instead of leaving it full.
    run(&FailingWrite, 0);
    EXPECT_EQ(errors, std::vector<std::string>{"sink refused"});
    run(&FailingWrite, 0, false);  // without a callback the error goes nowhere
    EXPECT_EQ(errors.size(), 1u);

    errors.clear();
    std::size_t written = 0;
    run(&CountingWrite, reinterpret_cast<std::uintptr_t>(&written));
    EXPECT_EQ(written, 200000u);
    EXPECT_EQ(errors, std::vector<std::string>{"unsupported stream operation: FLUSH"});
}

}  // namespace
