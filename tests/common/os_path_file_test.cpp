// Existence checks that fail, and whole-file reads on real files (the
// existence of files and folders is checked through file_exist and dir_exist).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/os_path_winapi.h"
#include "common/stream.h"
#include "common/temp_dir.h"
#include "common/unique_handle.h"

namespace {

using Common::Error;

TEST(OsPathFileTest, ReadAllGivesTheWholeFile) {
    test::TempDir dir;
    const std::string bytes("\x00\x01\xFF text\r\n\x00", 11);
    std::string large(100000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 256);
    for (const std::string& content : {std::string(), bytes, large}) {
        dir.WriteFile("data.bin", content);
        Common::ByteBuffer* raw = nullptr;
        Error error;
        ASSERT_EQ(Common::os_path_read_all(dir.Path("data.bin").c_str(), raw, error), 0) << error.Text();
        const Common::ByteBufferRef buffer = Common::ByteBufferRef::Adopt(raw);
        ASSERT_EQ(raw->length, content.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw->data), raw->length), content);
        EXPECT_EQ(Common::ReadWholeFile(dir.Path("data.bin")), content);
    }
    // The stream it reads through takes no writes and finds the size from the end.
    Common::Stream* raw = nullptr;
    Error error;
    ASSERT_EQ(Common::os_path_open_read(dir.Path("data.bin").c_str(), raw, error), 0) << error.Text();
    const Common::StreamRef stream = Common::StreamRef::Adopt(raw);
    std::uint64_t size = 0;
    EXPECT_EQ(stream.Write("x", 1, error), 1);
    ASSERT_EQ(stream.Size(size, error), 0) << error.Text();
    EXPECT_EQ(size, large.size());
}

TEST(OsPathFileTest, ReadAllFailures) {
    test::TempDir dir;
    // 0x80000000 bytes (sparse) are refused before any read or allocation.
    {
        Common::UniqueFile huge(CreateFileW(Common::PathToWinApi(dir.Path("huge.bin")).c_str(), GENERIC_WRITE, 0,
                                            nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER size;
        size.QuadPart = 0x80000000LL;
        ASSERT_TRUE(SetFilePointerEx(huge.Get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(huge.Get()));
    }
    const std::pair<std::string, std::string> cases[] = {
        {dir.Path("missing.bin"), "cannot open file for reading: '" + dir.Path("missing.bin") + "'"},
        {dir.Path(), "cannot open file for reading: '" + dir.Path() + "'"},
        {dir.Path("huge.bin"), "file size is too large to be read at once"},
    };
    for (const auto& [path, message] : cases) {
        Common::ByteBuffer* buffer = nullptr;
        Error error;
        EXPECT_EQ(Common::os_path_read_all(path.c_str(), buffer, error), -1);
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(error.Message(), message);
        EXPECT_EQ(error.Next().IsWindowsError(), path != dir.Path("huge.bin")) << path;
        // A missing file carries the stream code for "not found" (8).
        EXPECT_EQ(Common::StreamCodeOf(error) == 8, path == dir.Path("missing.bin")) << path;
        EXPECT_THROW(Common::ReadWholeFile(path), Error);
    }
    // The stream was released: the file can be deleted at once.
    EXPECT_TRUE(DeleteFileW(Common::PathToWinApi(dir.Path("huge.bin")).c_str())) << GetLastError();
}

}  // namespace
