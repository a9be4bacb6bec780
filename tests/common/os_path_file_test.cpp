// Existence checks and whole-file reads on real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/os_path_winapi.h"
#include "common/temp_dir.h"
#include "common/unique_handle.h"
#include "common/utf.h"

namespace {

using Common::Error;

struct Existence {
    int file_result;
    bool is_file;
    int dir_result;
    bool is_dir;
};

// Both status-code checks, with the flags preset to the opposite of what a
// missing path must give.
Existence Check(const std::string& path) {
    Existence e{99, true, 99, true};
    Error file_error, dir_error;
    e.file_result = Common::os_path_is_file(path.c_str(), e.is_file, file_error);
    e.dir_result = Common::os_path_is_dir(path.c_str(), e.is_dir, dir_error);
    EXPECT_EQ(static_cast<bool>(file_error), e.file_result != 0) << path;
    EXPECT_EQ(static_cast<bool>(dir_error), e.dir_result != 0) << path;
    return e;
}

void ExpectFile(const std::string& path) {
    SCOPED_TRACE(path);
    const Existence e = Check(path);
    EXPECT_EQ(e.file_result, 0);
    EXPECT_TRUE(e.is_file);
    EXPECT_EQ(e.dir_result, 0);
    EXPECT_FALSE(e.is_dir);
    EXPECT_TRUE(Common::IsFile(path));
    EXPECT_FALSE(Common::IsDirectory(path));
}

void ExpectDirectory(const std::string& path) {
    SCOPED_TRACE(path);
    const Existence e = Check(path);
    EXPECT_EQ(e.file_result, 0);
    EXPECT_FALSE(e.is_file);
    EXPECT_EQ(e.dir_result, 0);
    EXPECT_TRUE(e.is_dir);
    EXPECT_FALSE(Common::IsFile(path));
    EXPECT_TRUE(Common::IsDirectory(path));
}

void ExpectMissing(const std::string& path) {
    SCOPED_TRACE(path);
    const Existence e = Check(path);
    EXPECT_EQ(e.file_result, 0);
    EXPECT_FALSE(e.is_file);
    EXPECT_EQ(e.dir_result, 0);
    EXPECT_FALSE(e.is_dir);
    EXPECT_FALSE(Common::IsFile(path));
    EXPECT_FALSE(Common::IsDirectory(path));
}

std::string LowerDrive(std::string path) {
    if (path.size() > 1 && path[1] == ':') path[0] = static_cast<char>(std::tolower(path[0]));
    return path;
}

TEST(OsPathFileTest, FilesDirectoriesAndMissingPaths) {
    test::TempDir dir;
    dir.WriteFile("file.txt", "x");
    dir.MakeDir("sub");
    dir.WriteFile("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.txt", "");  // non-ASCII name

    ExpectFile(dir.Path("file.txt"));
    ExpectFile(LowerDrive(dir.Path("file.txt")));
    ExpectFile(dir.Path("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.txt"));
    ExpectDirectory(dir.Path("sub"));
    ExpectDirectory(dir.Path());
    ExpectDirectory(dir.Path("sub\\"));

    ExpectMissing(dir.Path("absent.txt"));          // 2
    ExpectMissing(dir.Path("nodir\\absent.txt"));   // 3
    ExpectMissing(dir.Path("file.txt\\sub"));       // under a file: 3
    ExpectMissing(dir.Path("bad<name>.txt"));       // 123
    ExpectMissing(dir.Path("q?.txt"));
    ExpectMissing("");
}

TEST(OsPathFileTest, LongPathsWithAndWithoutPrefix) {
    test::TempDir dir;
    // Nested folders until the file's path passes 300 bytes.
    std::string relative;
    while (dir.Path(relative).size() < 280) {
        relative += (relative.empty() ? "" : "\\") + std::string(40, 'd');
        dir.MakeDir(relative);
    }
    const std::string file = relative + "\\long.txt";
    dir.WriteFile(file, "deep");
    const std::string path = dir.Path(file);
    ASSERT_GE(path.size(), 260u);

    ExpectFile(path);
    ExpectFile(LowerDrive(path));
    ExpectFile("\\\\?\\" + path);
    ExpectDirectory(dir.Path(relative));
    ExpectMissing(dir.Path(relative + "\\nope.txt"));
    EXPECT_EQ(Common::ReadWholeFile(path), "deep");
}

// A code outside the "does not exist" set fails the check. Wine answers 66
// for UNC paths, Windows something else (53 among them, which means missing),
// so only the shape of a failure is asserted.
TEST(OsPathFileTest, OtherWindowsCodesFail) {
    const std::string unc = "\\\\orvik-no-such-server\\share\\f.txt";
    bool flag = true;
    Error error;
    const int result = Common::os_path_is_file(unc.c_str(), flag, error);
    if (result == 0) {
        EXPECT_FALSE(flag);
        EXPECT_FALSE(error);
        return;
    }
    EXPECT_EQ(result, -1);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error.IsWindowsError());
    for (std::uint32_t missing : {2u, 3u, 53u, 123u}) EXPECT_NE(error.Code(), missing);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x: ", static_cast<unsigned>(error.Code()));
    EXPECT_EQ(error.Text().substr(0, 12), code);
    EXPECT_FALSE(error.Next());
    EXPECT_FALSE(error.IntegerField(Common::kStreamIoField));

    // The wrappers throw the same record.
    try {
        Common::IsDirectory(unc);
        ADD_FAILURE() << "no error thrown";
    } catch (const Error& thrown) {
        EXPECT_EQ(thrown.Code(), error.Code());
        EXPECT_EQ(thrown.Text(), error.Text());
    }
}

TEST(OsPathFileTest, ReadAllGivesTheWholeFile) {
    test::TempDir dir;
    dir.WriteFile("empty.bin", "");
    const std::string bytes("\x00\x01\xFF text\r\n\x00", 11);
    dir.WriteFile("data.bin", bytes);
    std::string large(100000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 256);
    dir.WriteFile("large.bin", large);

    Common::ByteBuffer* buffer = nullptr;
    Error error;
    ASSERT_EQ(Common::os_path_read_all(dir.Path("empty.bin").c_str(), buffer, error), 0) << error.Text();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->length, 0u);
    Common::byte_buffer_release(buffer);

    buffer = nullptr;
    ASSERT_EQ(Common::os_path_read_all(dir.Path("data.bin").c_str(), buffer, error), 0) << error.Text();
    const Common::ByteBufferRef owned = Common::ByteBufferRef::Adopt(buffer);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(buffer->length, bytes.size());
    EXPECT_GE(buffer->capacity, bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer->data), buffer->length), bytes);

    EXPECT_EQ(Common::ReadWholeFile(dir.Path("empty.bin")), "");
    EXPECT_EQ(Common::ReadWholeFile(dir.Path("data.bin")), bytes);
    EXPECT_EQ(Common::ReadWholeFile(dir.Path("large.bin")), large);

    // The file is not held open afterwards: it can be deleted.
    const std::wstring wide = Common::Utf8ToWide(dir.Path("data.bin").c_str());
    EXPECT_TRUE(DeleteFileW(wide.c_str())) << GetLastError();
}

TEST(OsPathFileTest, ReadAllFailures) {
    test::TempDir dir;
    const std::string missing = dir.Path("missing.bin");
    Common::ByteBuffer* buffer = nullptr;
    Error error;
    EXPECT_EQ(Common::os_path_read_all(missing.c_str(), buffer, error), -1);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(error.Message(), "cannot open file for reading: '" + missing + "'");
    EXPECT_EQ(error.Next().Code(), 2u);
    try {
        Common::ReadWholeFile(missing);
        ADD_FAILURE() << "no error thrown";
    } catch (const Error& thrown) {
        EXPECT_EQ(thrown.Text(), error.Text());
    }

    // A directory cannot be opened as a file.
    Error dir_error;
    EXPECT_EQ(Common::os_path_read_all(dir.Path().c_str(), buffer, dir_error), -1);
    EXPECT_EQ(dir_error.Message(), "cannot open file for reading: '" + dir.Path() + "'");
    EXPECT_TRUE(dir_error.Next().IsWindowsError());

    // 0x80000000 bytes (sparse) are refused before any read or allocation.
    const std::wstring huge = Common::Utf8ToWide(dir.Path("huge.bin").c_str());
    {
        Common::UniqueFile file(CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size;
        size.QuadPart = 0x80000000LL;
        ASSERT_TRUE(SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.Get())) << GetLastError();
    }
    Error huge_error;
    EXPECT_EQ(Common::os_path_read_all(dir.Path("huge.bin").c_str(), buffer, huge_error), -1);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(huge_error.Text(), "file size is too large to be read at once");
    EXPECT_FALSE(huge_error.IsWindowsError());
    EXPECT_EQ(huge_error.Code(), Error::kNoCode);
    EXPECT_FALSE(huge_error.Next());
    // The stream was released: the file can be deleted at once.
    EXPECT_TRUE(DeleteFileW(huge.c_str())) << GetLastError();
}

}  // namespace
