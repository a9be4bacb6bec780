// get_original_filename on real files: small DLLs built with nothing but a
// version resource, lying next to this program.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using OriginalFilename = ModuleTest;

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

TEST_F(OriginalFilename, ReadsTheNameUnderTheFirstTranslationOnlyAndLogsEachFailingStep) {
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

    // A copy under a non-ASCII folder, deeper than the classic path limit.
    test::TempDir dir;
    std::string folder = "\xC3\xA4-dir";
    dir.MakeDir(folder);
    for (int i = 0; i < 3; ++i) dir.MakeDir(folder += "\\" + std::string(90, 'a' + i));
    const std::string copy = dir.Path(folder + "\\copy.dll");
    ASSERT_GT(copy.size(), 260u);
    ASSERT_TRUE(CopyFileW(Common::Utf8ToWide(Fixture("version_en").c_str()).c_str(),
                          Common::Utf8ToWide(("\\\\?\\" + copy).c_str()).c_str(), FALSE));
    r = Call("get_original_filename", {Arg::Str("path", copy), Arg::OutStr("original_filename", 1)});
    EXPECT_TRUE(r.result == 0 && r.log.empty());
    EXPECT_EQ(r.variables.at(1).text, "orig-en.exe");

    // Each failing step is logged with the system's code and writes nothing.
    const struct {
        std::string path, line;
    } cases[] = {
        {Fixture("no_such_fixture"), "Failed to get file version info size with error 2"},
        {"C:\\no\\such\\file.dll", "Failed to get file version info size with error 3"},
        {ProgramPath(), "Failed to get file version info size with error 1812"},  // no version resource
        // A nul would name another file: refused as an invalid name.
        {Fixture("version_en") + std::string(1, '\0') + "x", "Failed to get file version info size with error 123"},
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
