// File streams over real Windows handles.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/os_path_winapi.h"
#include "common/stream_winapi.h"
#include "common/temp_dir.h"
#include "common/unique_handle.h"

namespace {

using Common::Error;
using Common::StreamRef;

// Opens with os_path_open, or os_path_open_read without options. With
// `cause` the open must fail naming the path; the Windows cause is handed back.
StreamRef Open(const std::string& path, const Common::OpenOptions* options = nullptr, Error* cause = nullptr) {
    Common::Stream* raw = nullptr;
    Error error;
    EXPECT_EQ(options ? Common::os_path_open(path.c_str(), *options, raw, error)
                      : Common::os_path_open_read(path.c_str(), raw, error), cause ? -1 : 0) << error.Text();
    if (cause != nullptr) {
        EXPECT_EQ(raw, nullptr);
        const char* what = options ? "cannot open/create file for writting: '" : "cannot open file for reading: '";
        EXPECT_EQ(error.Message(), what + path + "'");
        EXPECT_TRUE(error.Next().IsWindowsError() && !error.Next().Next());
        *cause = error.Next();
    }
    return StreamRef::Adopt(raw);
}

DWORD FailureCode(const std::string& path, const Common::OpenOptions* options = nullptr) {
    Error cause;
    Open(path, options, &cause);
    return cause.Code();
}

HANDLE OpenShared(const std::string& path, DWORD access) {
    return CreateFileW(Common::PathToWinApi(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

StreamRef Over(HANDLE handle, Common::FileStreamEntries entries) {
    Common::Stream* raw = nullptr;
    Common::stream_from_file(handle, entries, raw);
    return StreamRef::Adopt(raw);
}

std::string Read(const StreamRef& stream, std::size_t count) {
    std::string out(count, '\0');
    Error error;
    EXPECT_EQ(stream.Read(out.data(), count, error), 0) << error.Text();
    return out;
}

// What reading a whole file takes (the writing side has no caller that a rule reaches).
TEST(FileStreamTest, ReadsAndSizesBySeekingAndFailuresNameThePathAndTheCause) {
    test::TempDir dir;
    dir.WriteFile("f.txt", std::string("J123x\0!", 7));
    const std::string path = dir.Path("f.txt");
    Error error;
    std::uint64_t at = 0, size = 99;
    {
        const StreamRef reader = Open(path);
        EXPECT_EQ(Read(reader, 3), "J12");
        ASSERT_EQ(reader.Size(size, error), 0) << error.Text();  // by seeking, the position kept
        EXPECT_EQ(size, 7u);
        EXPECT_EQ(Read(reader, 2), "3x");
        ASSERT_EQ(reader.Seek(1, at, error), 0);
        char buffer[10] = {};
        EXPECT_EQ(reader.Read(buffer, sizeof buffer, error), 3);
        EXPECT_EQ(error.Text(), "EOF");
        EXPECT_EQ(std::string(buffer, 7), std::string("123x\0!\0", 7));
        EXPECT_EQ(reader.Write("x", 1, error), 1);  // unsupported
        EXPECT_EQ(reader.Truncate(0, error), 1);
        EXPECT_EQ(Read(Open(path), 1), "J");  // readers share
    }

    Error missing, no_dir;
    Open(dir.Path("nope.txt"), nullptr, &missing);
    EXPECT_EQ(missing.Code(), 2u);
    EXPECT_EQ(missing.IntegerField(Common::kStreamIoField), 8);  // file not found
    Open(dir.Path("nodir\\f.txt"), nullptr, &no_dir);
    EXPECT_EQ(no_dir.Code(), 3u);
    EXPECT_FALSE(no_dir.IntegerField(Common::kStreamIoField));
    // A writer without share_read keeps readers out; with it, a reader that
    // lets it write may come in, but os_path_open_read does not.
    Common::OpenOptions exclusive, shared;
    shared.share_read = 1;
    const StreamRef locked = Open(dir.Path("locked.txt"), &exclusive);
    const StreamRef writer = Open(dir.Path("shared.txt"), &shared);
    EXPECT_EQ(FailureCode(dir.Path("locked.txt")), 32u);
    const Common::UniqueFile reader(OpenShared(dir.Path("shared.txt"), GENERIC_READ));
    EXPECT_TRUE(reader) << GetLastError();
    EXPECT_EQ(FailureCode(dir.Path("shared.txt")), 32u);
}

TEST(FileStreamTest, WindowsFailuresCarryStreamCodes) {
    test::TempDir dir;
    dir.WriteFile("data.bin", "0123456789");
    const StreamRef reader = Over(OpenShared(dir.Path("data.bin"), GENERIC_READ), {true, true, true});
    const StreamRef writer = Over(OpenShared(dir.Path("data.bin"), GENERIC_WRITE), {true, false, false});
    HANDLE pipe_read = nullptr;
    Common::UniqueHandle pipe_write;
    ASSERT_TRUE(CreatePipe(&pipe_read, pipe_write.Put(), nullptr, 0));
    const StreamRef pipe = Over(pipe_read, {true, false, false});
    Error error, e[6];
    std::uint64_t at = 0;
    char buffer[4];
    ASSERT_EQ(reader.Seek(3, at, error), 0);
    const int codes[] = {reader.Write("abc", 3, e[0]), reader.Flush(e[1]),     reader.Truncate(1, e[2]),
                         writer.Read(buffer, 4, e[3]), pipe.Seek(0, at, e[4]), pipe.Size(at, e[5])};
    const int expected[] = {7, 7, 7, 6, 5, 5};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(codes[i], expected[i]) << i;
        EXPECT_TRUE(e[i].IsWindowsError()) << i;
        EXPECT_EQ(e[i].IntegerField(Common::kStreamIoField), expected[i]) << i;
    }
    EXPECT_EQ(e[0].Code(), 5u);
    EXPECT_EQ(e[3].Code(), 5u);
    EXPECT_EQ(Read(reader, 2), "34");  // the failed truncation restored the position
    EXPECT_EQ(dir.ReadFile("data.bin"), "0123456789");
}

}  // namespace
