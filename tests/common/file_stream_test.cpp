// File streams and handle streams over real Windows handles.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/os_path_winapi.h"
#include "common/stream.h"
#include "common/stream_winapi.h"
#include "common/unique_handle.h"
#include "common/temp_dir.h"

namespace {

using Common::Error;
using Common::StreamRef;

std::optional<std::int64_t> StreamIo(const Error& e) {
    return e.IntegerField(Common::kStreamIoField);
}

StreamRef Open(const std::string& path, Common::OpenOptions options) {
    Common::Stream* stream = nullptr;
    Error error;
    EXPECT_EQ(Common::os_path_open(path.c_str(), options, stream, error), 0) << error.Text();
    return StreamRef::Adopt(stream);
}

StreamRef OpenRead(const std::string& path) {
    Common::Stream* stream = nullptr;
    Error error;
    EXPECT_EQ(Common::os_path_open_read(path.c_str(), stream, error), 0) << error.Text();
    return StreamRef::Adopt(stream);
}

std::string ReadBytes(const StreamRef& stream, std::size_t count) {
    std::string out(count, '\0');
    Error error;
    EXPECT_EQ(stream.Read(out.data(), count, error), 0) << error.Text();
    return out;
}

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

TEST(FileStreamTest, ReadSeekAndSizeOnAReadStream) {
    test::TempDir dir;
    dir.WriteFile("ten.bin", "0123456789");
    const StreamRef stream = OpenRead(dir.Path("ten.bin"));
    ASSERT_TRUE(stream);

    EXPECT_EQ(ReadBytes(stream, 3), "012");
    // No SIZE entry: the size is found by seeking and the position kept.
    std::uint64_t size = 0;
    Error error;
    ASSERT_EQ(stream.Size(size, error), 0) << error.Text();
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(ReadBytes(stream, 2), "34");

    std::uint64_t at = 0;
    ASSERT_EQ(stream.Seek(6, at, error), 0);
    EXPECT_EQ(at, 6u);
    // 10 bytes asked 4 before the end: "EOF", code 3.
    char buffer[10] = {};
    EXPECT_EQ(stream.Read(buffer, sizeof buffer, error), 3);
    EXPECT_EQ(error.Text(), "EOF");
    EXPECT_EQ(StreamIo(error), std::optional<std::int64_t>(3));
    EXPECT_EQ(std::string(buffer, 4), "6789");

    // Read-only: no WRITE, FLUSH or TRUNCATE.
    Error write_error, flush_error, truncate_error;
    EXPECT_EQ(stream.Write("x", 1, write_error), 1);
    EXPECT_EQ(write_error.Text(), "unsupported stream operation: WRITE");
    EXPECT_EQ(StreamIo(write_error), std::optional<std::int64_t>(1));
    EXPECT_EQ(stream.Flush(flush_error), 1);
    EXPECT_EQ(flush_error.Text(), "unsupported stream operation: FLUSH");
    EXPECT_EQ(stream.Truncate(0, truncate_error), 1);
    EXPECT_EQ(truncate_error.Text(), "unsupported stream operation: TRUNCATE");
    EXPECT_EQ(dir.ReadFile("ten.bin"), "0123456789");
}

TEST(FileStreamTest, OpenOptionsChooseAccessAndDisposition) {
    test::TempDir dir;
    const std::string path = dir.Path("f.txt");
    Common::OpenOptions write;  // all clear: read and write, OPEN_ALWAYS

    {  // OPEN_ALWAYS creates a missing file.
        const StreamRef s = Open(path, write);
        Error error;
        ASSERT_EQ(s.Write("hello world", 11, error), 0) << error.Text();
        ASSERT_EQ(s.Flush(error), 0) << error.Text();
        std::uint64_t at = 0;
        ASSERT_EQ(s.Seek(6, at, error), 0);
        EXPECT_EQ(ReadBytes(s, 5), "world");
    }
    EXPECT_EQ(dir.ReadFile("f.txt"), "hello world");

    {  // OPEN_ALWAYS keeps the content; writes start at 0.
        const StreamRef s = Open(path, write);
        Error error;
        ASSERT_EQ(s.Write("J", 1, error), 0);
    }
    EXPECT_EQ(dir.ReadFile("f.txt"), "Jello world");

    Common::OpenOptions append;
    append.append = 1;
    {  // Appending: writes land at the end; nothing to read or seek.
        const StreamRef s = Open(path, append);
        Error error;
        ASSERT_EQ(s.Write("!", 1, error), 0) << error.Text();
        char byte = 0;
        Error read_error, seek_error, size_error, flush_error;
        EXPECT_EQ(s.Read(&byte, 1, read_error), 1);
        EXPECT_EQ(read_error.Text(), "unsupported stream operation: READ");
        std::uint64_t value = 0;
        EXPECT_EQ(s.Seek(0, value, seek_error), 1);
        EXPECT_EQ(seek_error.Text(), "unsupported stream operation: SEEK");
        EXPECT_EQ(s.Size(value, size_error), 1);
        EXPECT_EQ(size_error.Text(), "unsupported stream operation: SIZE");
        EXPECT_EQ(s.Flush(flush_error), 1);
        EXPECT_EQ(flush_error.Text(), "unsupported stream operation: FLUSH");
    }
    EXPECT_EQ(dir.ReadFile("f.txt"), "Jello world!");

    Common::OpenOptions truncate;
    truncate.truncate = 1;
    {  // CREATE_ALWAYS empties it.
        const StreamRef s = Open(path, truncate);
        std::uint64_t size = 99;
        Error error;
        ASSERT_EQ(s.Size(size, error), 0);
        EXPECT_EQ(size, 0u);
    }
    EXPECT_EQ(dir.ReadFile("f.txt"), "");

    // must_exist: OPEN_EXISTING, or TRUNCATE_EXISTING with truncate; both
    // refuse a missing file and create nothing.
    Common::OpenOptions must;
    must.must_exist = 1;
    Common::OpenOptions must_truncate = must;
    must_truncate.truncate = 1;
    for (const Common::OpenOptions& options : {must, must_truncate}) {
        Common::Stream* stream = nullptr;
        Error error;
        const std::string missing = dir.Path("missing.txt");
        EXPECT_EQ(Common::os_path_open(missing.c_str(), options, stream, error), -1);
        EXPECT_EQ(stream, nullptr);
        EXPECT_EQ(error.Message(), "cannot open/create file for writting: '" + missing + "'");
        EXPECT_FALSE(StreamIo(error));
        const Error cause = error.Next();
        EXPECT_TRUE(cause.IsWindowsError());
        EXPECT_EQ(cause.Code(), 2u);
        EXPECT_EQ(StreamIo(cause), std::optional<std::int64_t>(8));
        EXPECT_EQ(Common::StreamCodeOf(error), 8);
        EXPECT_EQ(dir.ReadFile("missing.txt"), "<missing>");
    }
    dir.WriteFile("full.txt", "abcdef");
    {
        const StreamRef s = Open(dir.Path("full.txt"), must_truncate);
        ASSERT_TRUE(s);
    }
    EXPECT_EQ(dir.ReadFile("full.txt"), "");
}

TEST(FileStreamTest, OpenFailuresNameThePathAndTheCause) {
    test::TempDir dir;
    const std::string missing = dir.Path("nope.txt");
    Common::Stream* stream = nullptr;
    Error error;
    ASSERT_EQ(Common::os_path_open_read(missing.c_str(), stream, error), -1);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(error.Message(), "cannot open file for reading: '" + missing + "'");
    EXPECT_FALSE(error.IsWindowsError());
    const std::string prefix = "cannot open file for reading: '" + missing + "'; 0x00000002: ";
    EXPECT_EQ(error.Text().substr(0, prefix.size()), prefix);
    EXPECT_EQ(error.Next().Code(), 2u);
    EXPECT_EQ(StreamIo(error.Next()), std::optional<std::int64_t>(8));
    EXPECT_FALSE(error.Next().Next());

    // Path not found (3) carries no stream code.
    const std::string under_missing = dir.Path("nodir\\f.txt");
    Error path_error;
    ASSERT_EQ(Common::os_path_open_read(under_missing.c_str(), stream, path_error), -1);
    EXPECT_EQ(path_error.Next().Code(), 3u);
    EXPECT_FALSE(StreamIo(path_error.Next()));
    EXPECT_EQ(Common::StreamCodeOf(path_error), 0);

    // Without share_read a writer keeps readers out (sharing violation).
    const std::string path = dir.Path("locked.txt");
    Common::OpenOptions exclusive;
    const StreamRef writer = Open(path, exclusive);
    Error share_error;
    EXPECT_EQ(Common::os_path_open_read(path.c_str(), stream, share_error), -1);
    EXPECT_EQ(share_error.Next().Code(), 32u);

    // With share_read, readers that let the writer write may come in;
    // os_path_open_read itself shares reading only, so it stays out.
    Common::OpenOptions shared;
    shared.share_read = 1;
    const StreamRef shared_writer = Open(dir.Path("shared.txt"), shared);
    const std::wstring wide = Common::Utf8ToWide(dir.Path("shared.txt").c_str());
    const Common::UniqueFile reader(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(reader) << GetLastError();
    Error reader_error;
    EXPECT_EQ(Common::os_path_open_read(dir.Path("shared.txt").c_str(), stream, reader_error), -1);
    EXPECT_EQ(reader_error.Next().Code(), 32u);

    // Two read-only streams share the file.
    dir.WriteFile("read.txt", "r");
    const StreamRef first = OpenRead(dir.Path("read.txt"));
    const StreamRef second = OpenRead(dir.Path("read.txt"));
    EXPECT_EQ(ReadBytes(second, 1), "r");
}

TEST(FileStreamTest, TruncateKeepsThePosition) {
    test::TempDir dir;
    dir.WriteFile("t.bin", "0123456789");
    Common::OpenOptions options;
    options.must_exist = 1;
    StreamRef s = Open(dir.Path("t.bin"), options);
    Error error;
    std::uint64_t at = 0;
    ASSERT_EQ(s.Seek(2, at, error), 0);
    ASSERT_EQ(s.Truncate(4, error), 0) << error.Text();
    std::uint64_t size = 0;
    ASSERT_EQ(s.Size(size, error), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(ReadBytes(s, 2), "23");
    // Extending fills with zeros; the position (4) stays.
    ASSERT_EQ(s.Truncate(6, error), 0) << error.Text();
    ASSERT_EQ(s.Write("x", 1, error), 0);
    ASSERT_EQ(s.Flush(error), 0);
    s.Reset();  // opened without share_read: nobody else may read meanwhile
    EXPECT_EQ(dir.ReadFile("t.bin"), std::string("0123x\0", 6));
}

// Entries over handles whose access does not allow the operation: the
// Windows failures get their stream codes.
TEST(FileStreamTest, WindowsFailuresCarryStreamCodes) {
    test::TempDir dir;
    dir.WriteFile("data.bin", "0123456789");
    const std::wstring wide = Common::Utf8ToWide(dir.Path("data.bin").c_str());

    // All entries over a handle opened for reading only.
    HANDLE read_only = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(read_only, INVALID_HANDLE_VALUE);
    Common::Stream* raw = nullptr;
    Common::stream_from_file(read_only, {true, true, true}, raw);
    const StreamRef reader = StreamRef::Adopt(raw);

    Error write_error;
    EXPECT_EQ(reader.Write("abc", 3, write_error), 7);
    EXPECT_TRUE(write_error.IsWindowsError());
    EXPECT_EQ(write_error.Code(), 5u);
    EXPECT_EQ(StreamIo(write_error), std::optional<std::int64_t>(7));

    Error flush_error;
    EXPECT_EQ(reader.Flush(flush_error), 7);
    EXPECT_TRUE(flush_error.IsWindowsError());
    EXPECT_EQ(StreamIo(flush_error), std::optional<std::int64_t>(7));

    std::uint64_t at = 0;
    Error error;
    ASSERT_EQ(reader.Seek(3, at, error), 0);
    Error truncate_error;
    EXPECT_EQ(reader.Truncate(1, truncate_error), 7);
    EXPECT_TRUE(truncate_error.IsWindowsError());
    EXPECT_EQ(StreamIo(truncate_error), std::optional<std::int64_t>(7));
    // The position was restored and nothing was cut.
    EXPECT_EQ(ReadBytes(reader, 2), "34");
    EXPECT_EQ(dir.ReadFile("data.bin"), "0123456789");

    // Reading a handle opened for writing only.
    HANDLE write_only = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(write_only, INVALID_HANDLE_VALUE);
    Common::stream_from_file(write_only, {true, false, false}, raw);
    const StreamRef writer = StreamRef::Adopt(raw);
    char buffer[4];
    Error read_error;
    EXPECT_EQ(writer.Read(buffer, sizeof buffer, read_error), 6);
    EXPECT_TRUE(read_error.IsWindowsError());
    EXPECT_EQ(read_error.Code(), 5u);
    EXPECT_EQ(StreamIo(read_error), std::optional<std::int64_t>(6));

    // Seeking a pipe fails (the Windows code differs between systems).
    HANDLE pipe_read = nullptr, pipe_write = nullptr;
    ASSERT_TRUE(CreatePipe(&pipe_read, &pipe_write, nullptr, 0));
    Common::UniqueHandle write_end(pipe_write);
    Common::stream_from_file(pipe_read, {true, false, false}, raw);
    const StreamRef pipe = StreamRef::Adopt(raw);
    Error seek_error;
    EXPECT_EQ(pipe.Seek(0, at, seek_error), 5);
    EXPECT_TRUE(seek_error.IsWindowsError());
    EXPECT_EQ(StreamIo(seek_error), std::optional<std::int64_t>(5));
    std::uint64_t size = 0;
    Error size_error;
    EXPECT_EQ(pipe.Size(size, size_error), 5);
}

TEST(HandleStreamTest, WritesToAPipeAndOwnsItsEnd) {
    HANDLE read_end = nullptr, write_end = nullptr;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
    const Common::UniqueHandle reader(read_end);

    Common::Stream* raw = nullptr;
    Common::stream_from_handle(write_end, raw);
    ASSERT_NE(raw, nullptr);
    // One extra reference: the handle is closed at the second release only.
    EXPECT_EQ(Common::stream_ref(raw), raw);

    Error error;
    ASSERT_EQ(Common::stream_write(raw, "hello", 5, error), 0) << error.Text();
    char got[8] = {};
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(read_end, got, sizeof got, &count, nullptr));
    EXPECT_EQ(std::string(got, count), "hello");

    // Only close, close with report and WRITE.
    Error flush_error, read_error, size_error, seek_error;
    EXPECT_EQ(Common::stream_flush(raw, flush_error), 1);
    EXPECT_EQ(flush_error.Text(), "unsupported stream operation: FLUSH");
    EXPECT_EQ(StreamIo(flush_error), std::optional<std::int64_t>(1));
    EXPECT_EQ(Common::stream_read(raw, got, 1, read_error), 1);
    EXPECT_EQ(read_error.Text(), "unsupported stream operation: READ");
    std::uint64_t value = 0;
    EXPECT_EQ(Common::stream_size(raw, value, size_error), 1);
    EXPECT_EQ(size_error.Text(), "unsupported stream operation: SIZE");
    EXPECT_EQ(Common::stream_seek(raw, 0, value, seek_error), 1);

    Common::stream_release(raw);
    EXPECT_TRUE(HandleIsOpen(write_end));
    Common::stream_release(raw);
    EXPECT_FALSE(HandleIsOpen(write_end));
    // The reader now sees the pipe closed.
    EXPECT_FALSE(ReadFile(read_end, got, sizeof got, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

TEST(HandleStreamTest, CloseWithReportEndsTheHandleEarly) {
    HANDLE read_end = nullptr, write_end = nullptr;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
    const Common::UniqueHandle reader(read_end);
    Common::Stream* raw = nullptr;
    Common::stream_from_handle(write_end, raw);
    StreamRef stream = StreamRef::Adopt(raw);

    Error error;
    ASSERT_EQ(stream.Close(error), 0) << error.Text();
    EXPECT_FALSE(HandleIsOpen(write_end));
    char byte = 0;
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(read_end, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));

    // Closing again is a no-op; writing now fails as a Windows write error.
    EXPECT_EQ(stream.Close(error), 0);
    Error write_error;
    EXPECT_EQ(stream.Write("x", 1, write_error), 7);
    EXPECT_TRUE(write_error.IsWindowsError());
    EXPECT_EQ(StreamIo(write_error), std::optional<std::int64_t>(7));

    // Another handle that takes the old value must survive the last release.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    stream.Reset();
    EXPECT_TRUE(HandleIsOpen(event));
    CloseHandle(event);
}

}  // namespace
