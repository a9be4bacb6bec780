// Child processes started through Windows: exit codes, the environment and
// folder the child sees. (Pipes and pumps have no caller that
// a rule reaches.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/child_process.h"
#include "common/utf.h"
#include "temp_dir.h"

namespace {

using Common::ChildProcessInitiator;

void Quiet(ChildProcessInitiator& launcher, const std::string& command_line) {
    launcher.SetCommandLine(command_line);
    launcher.InputFromNull();
    launcher.OutputToNull();
    launcher.ErrorToNull();
}

TEST(ChildProcess, ReturnsTheExitCodeOnce) {
    ChildProcessInitiator launcher;
    Quiet(launcher, "cmd.exe /c exit 3");
    const auto child = launcher.Launch();
    EXPECT_NE(child->ProcessId(), 0u);
    EXPECT_EQ(child->Wait(), 3u);
    EXPECT_EQ(child->Wait(), 0xFFFFFFFFu);
    EXPECT_FALSE(child->Terminate());
    EXPECT_FALSE(child->TakeInputPipe());
}

TEST(ChildProcess, TheChildSeesTheEditedEnvironmentInItsWorkingDirectory) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORVIK_PARENT_KEEP", L"kept"));
    test::TempDir folder;
    ChildProcessInitiator launcher;
    Quiet(launcher, "cmd.exe /u /c \"echo [%ORVIK_PARENT_KEEP%][%ORVIK_W%]& cd\"");  // "/u": UTF-16 output
    launcher.SetVariable("ORVIK_W", "\xC3\xA9t\xC3\xA9");
    launcher.SetWorkingDirectory(folder.Path());
    launcher.OutputToFile(folder.Path("out.txt"));
    EXPECT_EQ(launcher.Launch()->Wait(), 0u);
    SetEnvironmentVariableW(L"ORVIK_PARENT_KEEP", nullptr);
    const std::string bytes = folder.ReadFile("out.txt");
    EXPECT_EQ(Common::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2)),
              "[kept][\xC3\xA9t\xC3\xA9]\r\n" + folder.Path() + "\r\n");
}

}  // namespace
