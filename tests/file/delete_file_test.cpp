// delete_file through the module: the host deletes real files.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "common/windows_error.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using FileDeletion = ModuleTest;
namespace Abi = ScanEngine::Abi;

TEST_F(FileDeletion, TheHostDeletesThePathAsGivenAndEveryStepIsLogged) {
    test::TempDir dir;
    const std::string path = dir.Path("f.txt");
    for (const std::optional<std::int64_t> to_dos : {std::optional<std::int64_t>{}, std::optional<std::int64_t>{0}}) {
        dir.WriteFile("f.txt", "x");
        std::vector<Arg> args = {Arg::Str("path", path)};
        if (to_dos) args.push_back(Arg::Int("to_dos", *to_dos));
        const CallResult r = Call("delete_file", args);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(LogLines(r.log), (Strings{"0:Deleting file: '" + path + "' ...",
                                            "0:File '" + path + "' deleted successfully"}));
        EXPECT_EQ(dir.ReadFile("f.txt"), "<missing>");
        EXPECT_EQ(Host().Journal().Last("RemoveFile")->args, (Strings{"(ptr)", path, "(ptr)"}));
    }
    EXPECT_EQ(Host().Journal().Count("ConvertNtPathToDosPath"), 0u);

    // The host's message for a failure, which leaves both lines.
    CallResult r = Call("delete_file", {Arg::Str("path", path)});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), (Strings{"0:Deleting file: '" + path + "' ...",
                                        "2:Failed to delete file '" + path + "' : " +
                                            Common::FormatWindowsError(ERROR_FILE_NOT_FOUND)}));
    // A host failing without an error object.
    Host().ForceResult("RemoveFile", 5);
    r = Call("delete_file", {Arg::Str("path", path)});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log).back(), "2:Failed to delete file '" + path + "' : unknown error");

    // A nul would have the host delete "f.txt": refused before the host is asked.
    dir.WriteFile("f.txt", "x");
    const std::size_t asked = Host().Journal().Count("RemoveFile");
    r = Call("delete_file", {Arg::Str("path", path + std::string(1, '\0') + ".bak")});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log).back(), "2:Can't delete file '" + path + "': path contains a nul character");
    EXPECT_EQ(Host().Journal().Count("RemoveFile"), asked);
    EXPECT_EQ(dir.ReadFile("f.txt"), "x");
}

TEST_F(FileDeletion, ConvertedPathsAreDeletedAsConvertedAndRefusedConversionsDeleteNothing) {
    test::TempDir dir;
    dir.WriteFile("f.txt", "x");
    const std::string nt = "\\Device\\Orvik\\f.txt";  // 19 bytes
    Host().State().nt_to_dos[L"\\Device\\Orvik\\f.txt"] = Common::Utf8ToWide(dir.Path("f.txt").c_str());
    CallResult r = Call("delete_file", {Arg::Str("path", nt), Arg::Int("to_dos", 1)});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(LogLines(r.log), (Strings{"0:Deleting file: '" + nt + "' ...",
                                        "0:Deleting file: '" + nt + "' as '" + dir.Path("f.txt") + "' ...",
                                        "0:File '" + dir.Path("f.txt") + "' deleted successfully"}));
    EXPECT_EQ(dir.ReadFile("f.txt"), "<missing>");
    EXPECT_EQ(Host().Journal().Last("ConvertNtPathToDosPath")->args, (Strings{nt, "(ptr)", "38"}));

    r = Call("delete_file", {Arg::Str("path", nt), Arg::Int("to_dos", 7)});
    EXPECT_EQ(LogLines(r.log).back(), "2:Failed to delete file '" + nt + "' as '" + dir.Path("f.txt") + "' : " +
                                          Common::FormatWindowsError(ERROR_FILE_NOT_FOUND));

    // The host's answer decides: length 1 is the empty path, length 0 or a refusal deletes nothing.
    static std::pair<std::int32_t, std::uint32_t> answer;
    engine_.ServiceInterface()->ConvertNtPathToDosPath = [](Abi::ServiceInterface*, const wchar_t*, wchar_t* out,
                                                            std::uint32_t* size) {
        if (*size > 0) out[0] = L'\0';
        *size = answer.second;
        return answer.first;
    };
    answer = {0, 1};
    const std::size_t asked = Host().Journal().Count("RemoveFile");
    r = Call("delete_file", {Arg::Str("path", nt), Arg::Int("to_dos", 1)});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(Host().Journal().Last("RemoveFile")->args.at(1), "");
    EXPECT_EQ(LogLines(r.log).at(1), "0:Deleting file: '" + nt + "' as '' ...");
    for (const auto& refused : {std::pair<std::int32_t, std::uint32_t>{0, 0}, {2, 5}}) {
        answer = refused;
        r = Call("delete_file", {Arg::Str("path", nt), Arg::Int("to_dos", 1)});
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(LogLines(r.log), (Strings{"0:Deleting file: '" + nt + "' ...",
                                            "2:Can't delete file '" + nt + "': path conversion failed"}));
    }
    EXPECT_EQ(Host().Journal().Count("RemoveFile"), asked + 1);
}

}  // namespace
}  // namespace OrvikTest
