#include "common/stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using Common::Error;
using Common::Stream;
using Common::StreamHandle;
using Common::StreamOps;
using Common::StreamRef;

// An in-memory file behind a stream handle, with knobs for short transfers
// and failing entries.
struct MemoryFile {
    std::string data;
    std::uint64_t position = 0;
    std::size_t write_limit = SIZE_MAX;  // bytes WRITE accepts per call
    bool fail_seek_end = false;
    int closes = 0;
    int seeks = 0;
};

MemoryFile& File(StreamHandle handle) {
    return *reinterpret_cast<MemoryFile*>(static_cast<std::uintptr_t>(handle));
}

StreamHandle HandleOf(MemoryFile& file) {
    return static_cast<StreamHandle>(reinterpret_cast<std::uintptr_t>(&file));
}

void MemClose(StreamHandle handle) {
    ++File(handle).closes;
}

int MemRead(Error&, StreamHandle handle, void* buffer, std::size_t count, std::size_t& done) {
    MemoryFile& f = File(handle);
    done = 0;
    while (done < count && f.position < f.data.size()) {
        static_cast<char*>(buffer)[done++] = f.data[f.position++];
    }
    return 0;  // a short count is the generic layer's business
}

int MemWrite(Error&, StreamHandle handle, const void* buffer, std::size_t count, std::size_t& done) {
    MemoryFile& f = File(handle);
    done = std::min(count, f.write_limit);
    f.data.append(static_cast<const char*>(buffer), done);
    return 0;
}

int MemSeek(Error&, StreamHandle handle, std::uint64_t position, std::uint64_t& new_position) {
    ++File(handle).seeks;
    new_position = File(handle).position = position;
    return 0;
}

int MemSeekRel(Error&, StreamHandle handle, std::int64_t offset, std::uint64_t& new_position) {
    ++File(handle).seeks;
    new_position = File(handle).position += offset;
    return 0;
}

int MemSeekEnd(Error& error, StreamHandle handle, std::int64_t offset, std::uint64_t& new_position) {
    MemoryFile& f = File(handle);
    ++f.seeks;
    if (f.fail_seek_end) {
        error = COMMON_STREAM_ERROR(Common::kStreamSeekFailed, "cannot seek");
        return Common::kStreamSeekFailed;
    }
    new_position = f.position = f.data.size() + offset;
    return 0;
}

int MemSize(Error&, StreamHandle, std::uint64_t& size) {
    size = 42;
    return 0;
}

int FailingRead(Error& error, StreamHandle, void*, std::size_t, std::size_t& done) {
    done = 2;
    error = COMMON_STREAM_ERROR(Common::kStreamReadFailed, "device gone");
    return Common::kStreamReadFailed;
}

// Reports failure but leaves no record behind.
int SilentFlush(Error&, StreamHandle) {
    return Common::kStreamWriteFailed;
}

StreamOps MemoryOps() {
    StreamOps ops{};
    ops.close = &MemClose;
    ops.read = &MemRead;
    ops.seek = &MemSeek;
    ops.seek_rel = &MemSeekRel;
    ops.seek_end = &MemSeekEnd;
    ops.write = &MemWrite;
    return ops;
}

std::optional<std::int64_t> StreamIo(const Error& e) {
    return e.IntegerField(Common::kStreamIoField);
}

TEST(StreamTest, AbsentEntriesAreUnsupported) {
    MemoryFile file;
    StreamOps ops{};
    ops.close = &MemClose;
    const StreamRef stream = StreamRef::Create(ops, HandleOf(file));

    char byte = 0;
    std::uint64_t value = 0;
    struct Case {
        const char* name;
        int code;
        Error error;
    };
    std::vector<Case> cases(7);
    cases[0].name = "READ";
    cases[0].code = Common::stream_read(stream.Get(), &byte, 1, cases[0].error);
    cases[1].name = "WRITE";
    cases[1].code = Common::stream_write(stream.Get(), "x", 1, cases[1].error);
    cases[2].name = "SIZE";
    cases[2].code = Common::stream_size(stream.Get(), value, cases[2].error);
    cases[3].name = "SEEK";
    cases[3].code = Common::stream_seek(stream.Get(), 0, value, cases[3].error);
    cases[4].name = "FLUSH";
    cases[4].code = Common::stream_flush(stream.Get(), cases[4].error);
    cases[5].name = "TRUNCATE";
    cases[5].code = Common::stream_truncate(stream.Get(), 0, cases[5].error);
    cases[6].name = "CLOSE";
    cases[6].code = Common::stream_close(stream.Get(), cases[6].error);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.code, 1);
        EXPECT_EQ(c.error.Text(), std::string("unsupported stream operation: ") + c.name);
        EXPECT_EQ(StreamIo(c.error), std::optional<std::int64_t>(1));
        EXPECT_FALSE(c.error.IsWindowsError());
        EXPECT_FALSE(c.error.Next());
    }

    // Size by seeking needs all three seeks.
    StreamOps two_seeks = MemoryOps();
    two_seeks.seek_end = nullptr;
    const StreamRef partial = StreamRef::Create(two_seeks, HandleOf(file));
    Error error;
    EXPECT_EQ(partial.Size(value, error), 1);
    EXPECT_EQ(error.Text(), "unsupported stream operation: SIZE");
    EXPECT_EQ(file.seeks, 0);

    // No stream at all behaves as a stream without entries.
    Error none;
    EXPECT_EQ(Common::stream_read(nullptr, &byte, 1, none), 1);
    EXPECT_EQ(none.Text(), "unsupported stream operation: READ");
    Common::stream_release(nullptr);
    EXPECT_EQ(Common::stream_ref(nullptr), nullptr);
}

TEST(StreamTest, ReadDeliversTheExactCountOrFails) {
    MemoryFile file{"0123456789"};
    const StreamRef stream = StreamRef::Create(MemoryOps(), HandleOf(file));

    char buffer[16] = {};
    Error error;
    ASSERT_EQ(stream.Read(buffer, 4, error), 0);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_FALSE(error);  // left alone on success

    // 10 bytes asked at 4 before the end: 4 arrive, the read still fails.
    std::uint64_t at = 0;
    ASSERT_EQ(stream.Seek(6, at, error), 0);
    EXPECT_EQ(at, 6u);
    EXPECT_EQ(stream.Read(buffer, 10, error), 3);
    EXPECT_EQ(error.Text(), "EOF");
    EXPECT_EQ(StreamIo(error), std::optional<std::int64_t>(3));
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(Common::StreamCodeOf(error), 3);

    // A failing entry's code and record pass through unchanged.
    StreamOps failing = MemoryOps();
    failing.read = &FailingRead;
    const StreamRef broken = StreamRef::Create(failing, HandleOf(file));
    Error read_error;
    EXPECT_EQ(broken.Read(buffer, 8, read_error), 6);
    EXPECT_EQ(read_error.Text(), "device gone");
    EXPECT_EQ(StreamIo(read_error), std::optional<std::int64_t>(6));

    // An entry that fails without a record still yields one with its code.
    failing.flush = &SilentFlush;
    const StreamRef silent = StreamRef::Create(failing, HandleOf(file));
    Error flush_error;
    EXPECT_EQ(silent.Flush(flush_error), 7);
    EXPECT_EQ(flush_error.Text(), "stream operation failed with code 7");
    EXPECT_EQ(StreamIo(flush_error), std::optional<std::int64_t>(7));
}

TEST(StreamTest, ShortWriteIsDiskFull) {
    MemoryFile file;
    file.write_limit = 3;
    const StreamRef stream = StreamRef::Create(MemoryOps(), HandleOf(file));
    Error error;
    EXPECT_EQ(stream.Write("abc", 3, error), 0);
    EXPECT_FALSE(error);
    EXPECT_EQ(stream.Write("defgh", 5, error), 4);
    EXPECT_EQ(error.Text(), "disk is full");
    EXPECT_EQ(StreamIo(error), std::optional<std::int64_t>(4));
    EXPECT_EQ(file.data, "abcdef");
}

TEST(StreamTest, SizeBySeekingKeepsThePosition) {
    MemoryFile file{"0123456789"};
    const StreamRef stream = StreamRef::Create(MemoryOps(), HandleOf(file));
    Error error;
    std::uint64_t at = 0;
    ASSERT_EQ(stream.Seek(3, at, error), 0);

    std::uint64_t size = 0;
    ASSERT_EQ(stream.Size(size, error), 0);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(file.position, 3u);
    char byte = 0;
    ASSERT_EQ(stream.Read(&byte, 1, error), 0);
    EXPECT_EQ(byte, '3');

    // A failing seek returns its own code; the position stays where the
    // failed step left it.
    file.fail_seek_end = true;
    file.position = 5;
    EXPECT_EQ(stream.Size(size, error), 5);
    EXPECT_EQ(error.Text(), "cannot seek");
    EXPECT_EQ(file.position, 5u);
    EXPECT_EQ(size, 10u);  // unchanged on failure

    // A SIZE entry answers on its own; nothing is sought.
    StreamOps sized = MemoryOps();
    sized.size = &MemSize;
    const StreamRef with_size = StreamRef::Create(sized, HandleOf(file));
    file.seeks = 0;
    ASSERT_EQ(with_size.Size(size, error), 0);
    EXPECT_EQ(size, 42u);
    EXPECT_EQ(file.seeks, 0);
}

TEST(StreamTest, LastReleaseClosesExactlyOnce) {
    MemoryFile file;
    Stream* stream = nullptr;
    Common::stream_create(MemoryOps(), HandleOf(file), stream);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(Common::stream_ref(stream), stream);
    Common::stream_release(stream);
    EXPECT_EQ(file.closes, 0);
    Common::stream_release(stream);
    EXPECT_EQ(file.closes, 1);

    // The owner: copies add references, the last owner closes.
    MemoryFile owned;
    {
        StreamRef first = StreamRef::Create(MemoryOps(), HandleOf(owned));
        StreamRef copy = first;
        StreamRef assigned;
        assigned = copy;
        StreamRef moved = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_EQ(moved.Get(), copy.Get());
        copy.Reset();
        assigned = StreamRef();
        EXPECT_EQ(owned.closes, 0);

        // Detach hands the reference out; Adopt takes it back.
        Stream* raw = moved.Detach();
        EXPECT_FALSE(moved);
        StreamRef adopted = StreamRef::Adopt(raw);
        StreamRef shared = StreamRef::Share(raw);
        adopted.Reset();
        EXPECT_EQ(owned.closes, 0);
    }
    EXPECT_EQ(owned.closes, 1);

    // Without a close entry the release only frees.
    StreamOps no_close = MemoryOps();
    no_close.close = nullptr;
    MemoryFile unclosed;
    { const StreamRef quiet = StreamRef::Create(no_close, HandleOf(unclosed)); }
    EXPECT_EQ(unclosed.closes, 0);
}

TEST(StreamTest, StreamCodeIsFoundAlongTheChain) {
    const Error cause = Common::WithStreamCode(COMMON_ERROR("system said no"), Common::kStreamFileNotFound);
    const Error outer = COMMON_ERROR("cannot open file for reading: 'x'").Then(cause);
    EXPECT_EQ(Common::StreamCodeOf(outer), 8);
    EXPECT_EQ(Common::StreamCodeOf(COMMON_ERROR("plain")), 0);
    EXPECT_EQ(Common::StreamCodeOf(Error()), 0);
    EXPECT_EQ(outer.Text(), "cannot open file for reading: 'x'; system said no");
}

}  // namespace
