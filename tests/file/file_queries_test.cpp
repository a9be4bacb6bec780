// The file query functions and delete_file through the module, on real files
// (deletion goes through the host).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "common/temp_dir.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "orvik/functions/file/file_attribute_data.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using FileQueries = ModuleTest;
namespace Abi = ScanEngine::Abi;

constexpr std::uint64_t kEpochTicks = 116444736000000000ull;

std::string WindowsErrorLine(unsigned code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", code);
    return std::string("2:") + hex + ": " + Common::FormatWindowsError(code);
}

// The file system here keeps one time for creation and last write, so the
// field each query takes is checked on a record with every field distinct.
TEST(FileFacts, EachFactComesFromItsOwnField) {
    using namespace ScanEngine::File;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    data.dwFileAttributes = FILE_ATTRIBUTE_HIDDEN;
    data.nFileSizeHigh = 1;
    data.nFileSizeLow = 2;
    const std::uint64_t created = kEpochTicks + 10'000'000, accessed = created * 2, written = created * 3;
    data.ftCreationTime = {static_cast<DWORD>(created), static_cast<DWORD>(created >> 32)};
    data.ftLastAccessTime = {static_cast<DWORD>(accessed), static_cast<DWORD>(accessed >> 32)};
    data.ftLastWriteTime = {static_cast<DWORD>(written), static_cast<DWORD>(written >> 32)};
    std::uint64_t size = 0, creation = 0, last_write = 0;
    std::uint32_t attributes = 0;
    TakeFileFacts(data, {&size, &attributes, &creation, &last_write}, TimePrecision::Seconds);
    EXPECT_EQ(size, 0x100000002ull);
    EXPECT_EQ(attributes, static_cast<std::uint32_t>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(creation, 1u);
    EXPECT_EQ(last_write, (written - kEpochTicks) / 10'000'000);
}

// Sets the last-write time (the creation time follows it here).
void SetWriteTime(const std::string& path, std::uint64_t ticks) {
    const Common::UniqueFile file(CreateFileW(Common::Utf8ToWide(path.c_str()).c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(file);
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    EXPECT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &time));
}

TEST_F(FileQueries, ExistenceDistinguishesFilesFromDirectoriesAndIsQuietAboutMissingPaths) {
    test::TempDir dir;
    dir.WriteFile("f.txt", "x");
    dir.MakeDir("d");
    std::string deep = "d";  // nested folders until a file's path passes the classic limit
    while (dir.Path(deep).size() < 300) dir.MakeDir(deep += "\\" + std::string(40, 'n'));
    dir.WriteFile(deep + "\\f", "x");
    const std::pair<std::string, std::pair<int, int>> cases[] = {
        {dir.Path("f.txt"), {1, 0}},
        {dir.Path(deep + "\\f"), {1, 0}},
        {dir.Path("d"), {0, 1}},
        {dir.Path(deep), {0, 1}},
        {dir.Path("missing"), {0, 0}},  // each of the codes that mean "not there"
        {dir.Path("missing\\f.txt"), {0, 0}},
        {dir.Path("f.txt\\sub"), {0, 0}},
        {dir.Path("f.txt") + std::string(1, '\0') + "x", {0, 0}},  // never checked as "f.txt"
        {dir.Path("bad<name"), {0, 0}},
        {"", {0, 0}},
    };
    for (const auto& [path, expected] : cases) {
        const CallResult file = Call("file_exist", {Arg::Str("path", path)});
        const CallResult directory = Call("dir_exist", {Arg::Str("path", path)});
        EXPECT_EQ(file.result, expected.first) << path;
        EXPECT_EQ(directory.result, expected.second) << path;
        EXPECT_TRUE(file.log.empty() && directory.log.empty()) << path;
    }
}

TEST_F(FileQueries, SizesTimesAndAttributesInTheRequestedUnits) {
    test::TempDir dir;
    dir.WriteFile("f.txt", "hello");
    dir.MakeDir("d");
    const std::string file = dir.Path("f.txt");
    // 2001-09-09 01:46:40.1234567 UTC: Unix time 1000000000.
    SetWriteTime(file, kEpochTicks + 1'000'000'000ull * 10'000'000 + 1'234'567);

    EXPECT_EQ(Call("get_file_size", {Arg::Str("path", file)}).result, 5);

    const std::pair<std::optional<std::int64_t>, std::int64_t> units[] = {
        {std::nullopt, 1'000'000'000}, {1, 1'000'000'000}, {1000, 1'000'000'000'123},
        {1000000, 1'000'000'000'123'456}, {0, 1'000'000'000'123'456}};
    for (const char* function : {"get_file_creation_time", "get_file_modification_time"}) {
        for (const auto& [unit, expected] : units) {
            std::vector<Arg> args = {Arg::Str("path", file)};
            if (unit) args.push_back(Arg::Int("time_precision", *unit));
            const CallResult r = Call(function, args);
            EXPECT_EQ(r.result, expected) << function << " " << unit.value_or(-2);
            EXPECT_TRUE(r.log.empty());
        }
        for (const auto& [value, text] : {std::pair<std::int64_t, const char*>{60, "60"}, {-1, "18446744073709551615"}}) {
            const CallResult r = Call(function, {Arg::Str("path", file), Arg::Int("time_precision", value)});
            EXPECT_EQ(r.result, -1);
            EXPECT_EQ(LogLines(r.log),
                      Strings{MalformedLine(function, std::string("Invalid time precision argument value ") + text)});
        }
    }
    // Before 1970, even by one tick, every unit gives 0.
    SetWriteTime(file, kEpochTicks - 1);
    for (const std::int64_t unit : {1, 1000, 0})
        EXPECT_EQ(Call("get_file_modification_time", {Arg::Str("path", file), Arg::Int("time_precision", unit)}).result, 0);

    ASSERT_TRUE(SetFileAttributesW(Common::Utf8ToWide(file.c_str()).c_str(), FILE_ATTRIBUTE_READONLY));
    CallResult r = Call("get_file_attributes", {Arg::Str("path", file), Arg::OutInt("file_attributes", 7)});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.variables.at(7).integer & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(Common::Utf8ToWide(file.c_str()).c_str(), FILE_ATTRIBUTE_NORMAL);

    // Failures: the system's code in the log, -1, the output left alone.
    for (const char* function : {"get_file_size", "get_file_creation_time", "get_file_modification_time",
                                 "get_file_attributes"}) {
        for (const auto& [path, code] : {std::pair<std::string, unsigned>{dir.Path("missing"), ERROR_FILE_NOT_FOUND},
                                         {file + std::string(1, '\0'), ERROR_INVALID_NAME}}) {
            std::vector<Arg> args = {Arg::Str("path", path)};
            if (std::string(function) == "get_file_attributes") args.push_back(Arg::OutInt("file_attributes", 7));
            r = Call(function, args);
            EXPECT_EQ(r.result, -1) << function;
            EXPECT_EQ(LogLines(r.log), Strings{WindowsErrorLine(code)}) << function;
            EXPECT_TRUE(r.variables.empty());
        }
    }
}

TEST_F(FileQueries, FileInfoFillsTheNamedOutputsAndReturnsTheWindowsCode) {
    test::TempDir dir;
    dir.WriteFile("f.txt", "hello");
    const std::string file = dir.Path("f.txt");
    SetWriteTime(file, kEpochTicks + 1'500'000'000ull * 10'000'000 + 5'000'000);
    const std::vector<Arg> outputs = {Arg::OutInt("file_size", 1), Arg::OutInt("file_create_time", 2),
                                      Arg::OutInt("file_modify_time", 3), Arg::OutInt("file_attributes", 4)};
    const auto with = [&](const std::string& path, std::vector<Arg> args) {
        args.insert(args.begin(), Arg::Str("path", path));
        return args;
    };
    auto args = with(file, outputs);
    args.push_back(Arg::Int("time_precision", 1000));
    CallResult r = Call("get_file_info", args);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(Written(r), (Vars{{1, "i:5"}, {2, "i:1500000000500"}, {3, "i:1500000000500"}, {4, "i:32"}}));  // archive

    r = Call("get_file_info", with(file, {Arg::OutInt("file_modify_time", 3)}));
    EXPECT_TRUE(r.variables.size() == 1 && r.variables.at(3).integer == 1'500'000'000u);

    // A failure zeroes exactly the named outputs and returns the code itself.
    auto call = NewCall();
    for (std::uint32_t ref = 1; ref <= 4; ++ref) call->variables[ref] = {RefHost::Variable::Kind::Integer, 99, ""};
    r = Call("get_file_info", with(dir.Path("no\\f"), {outputs[0], outputs[2], outputs[3]}), *call);
    EXPECT_EQ(r.result, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LogLines(r.log), Strings{WindowsErrorLine(ERROR_PATH_NOT_FOUND)});
    EXPECT_EQ(Written(r), (Vars{{1, "i:0"}, {2, "i:99"}, {3, "i:0"}, {4, "i:0"}}));
}

TEST_F(FileQueries, DeletionGoesToTheHostWithThePathAsGivenAndEveryStepIsLogged) {
    test::TempDir dir;
    const std::string path = dir.Path("f.txt");
    dir.WriteFile("f.txt", "x");
    CallResult r = Call("delete_file", {Arg::Str("path", path), Arg::Int("to_dos", 0)});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(LogLines(r.log), (Strings{"0:Deleting file: '" + path + "' ...",
                                        "0:File '" + path + "' deleted successfully"}));
    EXPECT_EQ(dir.ReadFile("f.txt"), "<missing>");
    EXPECT_EQ(Host().Journal().Last("RemoveFile")->args, (Strings{"(ptr)", path, "(ptr)"}));
    EXPECT_EQ(Host().Journal().Count("ConvertNtPathToDosPath"), 0u);

    // The host's message for a failure, which leaves both lines.
    r = Call("delete_file", {Arg::Str("path", path)});
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

TEST_F(FileQueries, ConvertedPathsAreDeletedAsConvertedAndRefusedConversionsDeleteNothing) {
    test::TempDir dir;
    const std::string nt = "\\Device\\Orvik\\f.txt";  // 19 bytes
    Host().State().nt_to_dos[L"\\Device\\Orvik\\f.txt"] = Common::Utf8ToWide(dir.Path("f.txt").c_str());
    // Any nonzero to_dos converts; a file that was never there fails with the system's text.
    CallResult r = Call("delete_file", {Arg::Str("path", nt), Arg::Int("to_dos", 7)});
    EXPECT_EQ(LogLines(r.log).back(), "2:Failed to delete file '" + nt + "' as '" + dir.Path("f.txt") + "' : " +
                                          Common::FormatWindowsError(ERROR_FILE_NOT_FOUND));
    dir.WriteFile("f.txt", "x");
    r = Call("delete_file", {Arg::Str("path", nt), Arg::Int("to_dos", 1)});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(LogLines(r.log), (Strings{"0:Deleting file: '" + nt + "' ...",
                                        "0:Deleting file: '" + nt + "' as '" + dir.Path("f.txt") + "' ...",
                                        "0:File '" + dir.Path("f.txt") + "' deleted successfully"}));
    EXPECT_EQ(dir.ReadFile("f.txt"), "<missing>");
    EXPECT_EQ(Host().Journal().Last("ConvertNtPathToDosPath")->args, (Strings{nt, "(ptr)", "38"}));

    // The host's answer decides: length 0 or a refusal deletes nothing.
    static std::pair<std::int32_t, std::uint32_t> answer;
    engine_.ServiceInterface()->ConvertNtPathToDosPath = [](Abi::ServiceInterface*, const wchar_t*, wchar_t* out,
                                                            std::uint32_t* size) {
        if (*size > 0) out[0] = L'\0';
        *size = answer.second;
        return answer.first;
    };
    const std::size_t asked = Host().Journal().Count("RemoveFile");
    for (const auto& refused : {std::pair<std::int32_t, std::uint32_t>{0, 0}, {2, 5}}) {
        answer = refused;
        r = Call("delete_file", {Arg::Str("path", nt), Arg::Int("to_dos", 1)});
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(LogLines(r.log), (Strings{"0:Deleting file: '" + nt + "' ...",
                                            "2:Can't delete file '" + nt + "': path conversion failed"}));
    }
    EXPECT_EQ(Host().Journal().Count("RemoveFile"), asked);
}

}  // namespace
}  // namespace OrvikTest
