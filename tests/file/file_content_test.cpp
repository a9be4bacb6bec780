// File content, shell link targets and original file names through the
// module, on real files; the version resources are small DLLs built with
// nothing but one, lying next to this program.
#include <windows.h>
#include <objidl.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "common/com_ptr.h"
#include "common/scope_exit.h"
#include "common/temp_dir.h"
#include "common/windows_error.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using FileContent = ModuleTest;

constexpr CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::string OpenFailureLine(const std::string& path, unsigned code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", code);
    return "2:cannot open file for reading: '" + path + "'; " + hex + ": " + Common::FormatWindowsError(code);
}

// Saves a shell link at `link` pointing to `target`.
void MakeLink(const std::string& link, const std::wstring& target) {
    ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), 0);
    const Common::ScopeExit uninitialize([] { CoUninitialize(); });
    // Declared after the apartment, so both are released before it ends.
    Common::ComPtr<IShellLinkW> shell_link;
    Common::ComPtr<IPersistFile> file;
    ASSERT_EQ(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(shell_link.Put())), S_OK);
    ASSERT_EQ(shell_link->SetPath(target.c_str()), S_OK);
    ASSERT_EQ(shell_link->QueryInterface(IID_PPV_ARGS(file.Put())), S_OK);
    ASSERT_EQ(file->Save(Common::Utf8ToWide(link.c_str()).c_str(), TRUE), S_OK);
}

TEST_F(FileContent, ReadTextFileHandsOverTheBytesAndAlwaysWritesText) {
    test::TempDir dir;
    const std::string utf16("\xFF\xFE" "a\0b\0\0\0", 8);
    dir.WriteFile("empty", "");
    dir.WriteFile("utf16", utf16);
    for (const auto& [name, content] : {std::pair<std::string, std::string>{"empty", ""}, {"utf16", utf16}}) {
        auto call = NewCall();
        call->variables[3] = {RefHost::Variable::Kind::String, 0, "stale"};
        const CallResult r = Call("read_text_file", {Arg::Str("path", dir.Path(name)), Arg::OutStr("text", 3)}, *call);
        EXPECT_EQ(r.result, 0) << name;
        EXPECT_TRUE(r.log.empty());
        EXPECT_TRUE(r.variables.at(3).text == content) << name;
    }
    const std::string missing = dir.Path("missing");
    struct Failure {
        std::string path;
        RefHost::ProcessInfoMode mode;
        std::string line;
    };
    const Failure failures[] = {
        {missing, RefHost::ProcessInfoMode::WithToken, OpenFailureLine(missing, ERROR_FILE_NOT_FOUND)},
        {dir.Path("utf16"), RefHost::ProcessInfoMode::WithBrokenToken,
         "2:0x00000006: " + Common::FormatWindowsError(ERROR_INVALID_HANDLE)},
    };
    for (const Failure& f : failures) {
        auto call = NewCall();
        call->process_info = f.mode;
        call->variables[3] = {RefHost::Variable::Kind::String, 0, "stale"};
        const CallResult r = Call("read_text_file", {Arg::Str("path", f.path), Arg::OutStr("text", 3)}, *call);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(LogLines(r.log), Strings{f.line});
        EXPECT_EQ(r.variables.at(3).text, "");
    }
}

TEST_F(FileContent, ReadTextFileThroughTheHostIsBoundedAndKeepsTextOnFailure) {
    test::TempDir dir;
    std::string big(0x100000 + 10, 'a');
    big[0] = '\0';
    big[0xFFFFF] = 'z';
    dir.WriteFile("big", big);
    CallResult r = Call("read_text_file_dm", {Arg::Str("path", dir.Path("big")), Arg::OutStr("text", 1)});
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.variables.at(1).text == big.substr(0, 0x100000));
    EXPECT_EQ(Host().Journal().Last("ReadFileContent")->args,
              (Strings{"(ptr)", dir.Path("big"), "", "1048576"}));

    // A host status comes back as the result; the text is not touched.
    // A nul would have the host read "big": refused as an invalid name.
    const std::pair<std::string, std::int32_t> failures[] = {
        {dir.Path("missing"), 2}, {dir.Path("big") + '\0', 123}, {dir.Path("big"), 3}};
    for (const auto& [path, status] : failures) {
        if (status == 3) Host().ForceResult("ReadFileContent", 3);
        r = Call("read_text_file_dm", {Arg::Str("path", path), Arg::OutStr("text", 1)});
        EXPECT_EQ(r.result, status);
        EXPECT_EQ(LogLines(r.log), Strings{"1:ReadTextFile failed, path: " + std::string(path.c_str()) +
                                           ", return value: " + std::to_string(status)});
        EXPECT_TRUE(r.variables.empty());
    }
}

TEST_F(FileContent, ShellLinkTargetsAreReadWholeAndFailuresAreSilent) {
    test::TempDir dir;
    dir.WriteFile("target.txt", "x");
    const std::wstring target = Common::Utf8ToWide(dir.Path("target.txt").c_str());
    MakeLink(dir.Path("a.lnk"), target);
    CallResult r = Call("get_shell_link_target", {Arg::Str("path", dir.Path("a.lnk")), Arg::OutStr("text", 2)});
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(2).text, dir.Path("target.txt"));

    for (const std::string& path : {dir.Path("target.txt"), dir.Path("missing.lnk"), dir.Path("a.lnk") + '\0'}) {
        r = Call("get_shell_link_target", {Arg::Str("path", path), Arg::OutStr("text", 2)});
        EXPECT_EQ(r.result, -1) << path;
        EXPECT_TRUE(r.log.empty() && r.variables.empty()) << path;
    }
}

std::string ProgramPath() {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return Common::WideToUtf8(path, length);
}

std::string Fixture(const std::string& name) {
    const std::string program = ProgramPath();
    return program.substr(0, program.find_last_of('\\') + 1) + name + ".dll";
}

const std::string kPrefix = "1:Failed to get original file name: ";

TEST_F(FileContent, OriginalFilenameComesFromTheFirstTranslationAndEachFailingStepIsLogged) {
    // The first translation is 0409/04B0; the German table behind it is not reached.
    CallResult r = Call("get_original_filename",
                        {Arg::Str("path", Fixture("version_en")), Arg::OutStr("original_filename", 1)});
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(1).text, "orig-en.exe");
    // 0407/04E4, a name beyond ASCII.
    r = Call("get_original_filename", {Arg::Str("path", Fixture("version_de")), Arg::OutStr("original_filename", 1)});
    EXPECT_TRUE(r.result == 0 && r.log.empty());
    EXPECT_EQ(r.variables.at(1).text, "Pr\xC3\xBC" "fprogramm.exe");

    // Each failing step is logged with the system's code and writes nothing.
    const struct {
        std::string path, line;
    } cases[] = {
        {Fixture("no_such_fixture"), "Failed to get file version info size with error 2"},
        {ProgramPath(), "Failed to get file version info size with error 1812"},  // no version resource
        {Fixture("version_no_var_info"), "Failed to query file version translation info with error 1813"},
        // A translation list without a whole entry has no system code of its own.
        {Fixture("version_no_translation"), "Failed to query file version translation info with error 13"},
        {Fixture("version_second_only"), "Failed to query file version original filename info with error 1813"},
        {Fixture("version_empty"), "Original filename is null"},
    };
    for (const auto& c : cases) {
        r = Call("get_original_filename", {Arg::Str("path", c.path), Arg::OutStr("original_filename", 1)});
        EXPECT_EQ(r.result, -1) << c.line;
        EXPECT_EQ(LogLines(r.log), Strings{kPrefix + c.line});
        EXPECT_TRUE(r.variables.empty()) << c.line;
    }
}

}  // namespace
}  // namespace OrvikTest
