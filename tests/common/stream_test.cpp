#include "common/stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

using Common::Error;
using Common::StreamHandle;
using Common::StreamOps;
using Common::StreamRef;

// An in-memory file behind the handle, with a knob for a failing SEEK/END.
struct Mem {
    std::string data;
    std::uint64_t pos = 0;
    bool fail_seek_end = false;
};

Mem& M(StreamHandle h) { return *reinterpret_cast<Mem*>(static_cast<std::uintptr_t>(h)); }
StreamHandle H(Mem& m) { return static_cast<StreamHandle>(reinterpret_cast<std::uintptr_t>(&m)); }
int MoveTo(StreamHandle h, std::uint64_t to, std::uint64_t& at) {
    at = M(h).pos = to;
    return 0;
}

StreamOps MemOps() {
    StreamOps o{};
    o.read = [](Error&, StreamHandle h, void* b, std::size_t n, std::size_t& done) {
        done = M(h).data.copy(static_cast<char*>(b), n, M(h).pos);  // short counts are the caller's business
        M(h).pos += done;
        return 0;
    };
    o.seek = [](Error&, StreamHandle h, std::uint64_t p, std::uint64_t& at) { return MoveTo(h, p, at); };
    o.seek_rel = [](Error&, StreamHandle h, std::int64_t d, std::uint64_t& at) {
        return MoveTo(h, M(h).pos + d, at);
    };
    o.seek_end = [](Error& e, StreamHandle h, std::int64_t d, std::uint64_t& at) -> int {
        if (!M(h).fail_seek_end) return MoveTo(h, M(h).data.size() + d, at);
        e = COMMON_STREAM_ERROR(Common::kStreamSeekFailed, "cannot seek");
        return Common::kStreamSeekFailed;
    };
    return o;
}

TEST(StreamTest, TransfersMoveTheExactCountOrFailAndSizeBySeeking) {
    Mem file{"0123456789"};
    const StreamRef s = StreamRef::Create(MemOps(), H(file));
    char buffer[16] = {};
    Error error;
    ASSERT_EQ(s.Read(buffer, 4, error), 0);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_FALSE(error);  // untouched on success
    std::uint64_t at = 0;
    ASSERT_EQ(s.Seek(6, at, error), 0);
    EXPECT_EQ(s.Read(buffer, 10, error), 3);  // 4 of 10 arrive
    EXPECT_EQ(error.Text(), "EOF");
    EXPECT_EQ(Common::StreamCodeOf(error), 3);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    // SIZE by seeking restores the position.
    std::uint64_t size = 0;
    ASSERT_EQ(s.Seek(3, at, error), 0);
    ASSERT_EQ(s.Size(size, error), 0);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(file.pos, 3u);
    file.fail_seek_end = true;  // the failing step's code; size untouched
    EXPECT_EQ(s.Size(size, error), 5);
    EXPECT_EQ(error.Text(), "cannot seek");
    EXPECT_EQ(size, 10u);
    StreamOps sized = MemOps();  // a SIZE entry answers alone
    sized.size = [](Error&, StreamHandle, std::uint64_t& n) { n = 42; return 0; };
    ASSERT_EQ(StreamRef::Create(sized, H(file)).Size(size, error), 0);
    EXPECT_EQ(size, 42u);
    StreamOps two_seeks = MemOps();  // without SIZE, sizing needs all three seeks
    two_seeks.seek_end = nullptr;
    EXPECT_EQ(StreamRef::Create(two_seeks, H(file)).Size(size, error), 1);
}

}  // namespace
