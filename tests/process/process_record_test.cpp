// The process record reader, SID text and caller tags on hand-made bytes.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "orvik/functions/process/process_cache_caller.h"
#include "orvik/functions/process/process_record.h"
#include "orvik/functions/process/sid_text.h"

namespace ScanEngine::Process {
namespace {

std::string Le(std::uint64_t value, int width) {
    std::string out;
    for (int i = 0; i < width; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

// `size` 0 means the honest size; anything else lets a fixture lie.
std::string Entry(std::uint16_t field, std::uint8_t type, const std::string& payload, std::uint32_t size = 0) {
    return Le(size != 0 ? size : 7 + payload.size(), 4) + Le(field, 2) + static_cast<char>(type) + payload;
}

std::string Record(std::uint32_t count, const std::string& entries) {
    return Le(0xDEADBEEF, 4) + Le(count, 4) + entries;
}

std::vector<RecordEntry> ReadAll(const std::string& record, bool& cut) {
    ProcessRecordReader reader(reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
    std::vector<RecordEntry> entries;
    for (RecordEntry entry; reader.Next(entry);) entries.push_back(entry);
    cut = reader.Cut();
    return entries;
}

std::string Data(const RecordEntry& e) {
    return e.data ? std::string(reinterpret_cast<const char*>(e.data), e.length) : "(none)";
}

TEST(ProcessRecordReader, DecodesEachValueTypeAndCutsLengthsToThePayload) {
    const std::string utf16("a\0\xE9\0\xAC\x20", 6);
    const struct {
        std::uint8_t type;
        std::string payload;
        std::int64_t integer = 0;
        std::string data = "(none)", text = "";
    } cases[] = {
        {0, "\xFF", -1}, {1, Le(0x8000, 2), -32768}, {2, Le(0xFFFFFFFE, 4), -2},
        {3, Le(0x8000000000000001ull, 8), INT64_MIN + 1}, {4, "\xFF", 255}, {5, Le(0xFFFF, 2), 65535},
        {6, Le(0xFFFFFFFF, 4), 4294967295}, {7, Le(~1ull, 8), -2}, {13, "\x02", 2},  // the byte, not folded to 1
        {0, "\x7F\xFF\xFF", 127}, {2, Le(0x12345678, 4) + "\xAA\xBB", 0x12345678},  // leading bytes only
        {8, Le(3, 4) + std::string("\x01\0\x02", 3), 0, std::string("\x01\0\x02", 3)},
        {9, Le(3, 4) + "abc", 0, "abc", "abc"},
        {10, Le(6, 4) + utf16, 0, utf16, "a\xC3\xA9\xE2\x82\xAC"},
        {14, Le(4, 4) + "wxyz", 0, "wxyz"},
        {9, Le(100, 4) + "abc", 0, "abc", "abc"},  // declared beyond the payload
        {9, Le(2, 4) + "abcde", 0, "ab", "ab"},    // declared below it
        {10, Le(0xFFFFFFFF, 4) + std::string("x\0y\0z", 5), 0, std::string("x\0y\0z", 5), "xy"},
        {8, Le(0xFFFFFFFF, 4), 0, ""},
    };
    std::string entries;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        entries += Entry(static_cast<std::uint16_t>(0xFF00 + i), cases[i].type, cases[i].payload);
    const std::string record = Record(std::size(cases), entries);
    bool cut = true;
    const auto read = ReadAll(record, cut);
    EXPECT_FALSE(cut);
    ASSERT_EQ(read.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const RecordEntry& e = read[i];
        EXPECT_EQ(e.field, 0xFF00 + i) << i;
        EXPECT_EQ(static_cast<int>(e.type), cases[i].type) << i;
        EXPECT_EQ(e.integer, cases[i].integer) << i;
        EXPECT_EQ(Data(e), cases[i].data) << i;
        EXPECT_EQ(e.Text(), cases[i].text) << i;
    }
}

TEST(ProcessRecordReader, YieldsOnlyUsableEntriesInsideTheBuffer) {
    const std::string good = Entry(1, 6, Le(11, 4)), other = Entry(2, 6, Le(22, 4));
    struct Case {
        std::string record;
        std::vector<std::uint16_t> fields;
        bool cut;
    };
    std::vector<Case> cases = {
        {Record(14, Entry(1, 11, "abcd") + Entry(2, 12, "abcd") + Entry(3, 15, "abcd") + Entry(4, 255, "abcd") +
                        Entry(5, 1, "\x01") + Entry(6, 2, "abc") + Entry(7, 3, "1234567") + Entry(8, 9, "abc") +
                        Entry(9, 14, "1234567") + Entry(10, 4, "") + Entry(11, 9, "") + Entry(12, 13, "") +
                        Entry(13, 14, Le(0, 4) + "pad!") + Entry(14, 7, Le(42, 8))),
         {13, 14}, false},  // unknown types, payloads empty or below the type's minimum
        {Record(5, "").substr(0, 7), {}, false}, {Record(0, good), {}, false}, {Record(1, good + other), {1}, false},
        {Record(3, good + Entry(3, 9, Le(3, 4) + "abc", 1000) + other), {1}, true},  // runs past the end
        {Record(2, good + other).substr(0, 29), {1}, true},  // the last entry one byte short
        {Record(5, good + other), {1, 2}, true}, {Record(3, good + other + "\x0B\x00"), {1, 2}, true},
        {Record(0xFFFFFFFF, Le(0, 4) + good), {}, true},  // size 0 makes no progress
        {Record(0xFFFFFFFF, std::string(64, '\x01')), {}, true},
    };
    // Sizes 1 to 7 count as empty entries; below 4 the next one starts inside
    // this size word and reads as a size far past the end.
    for (std::uint32_t size = 1; size <= 7; ++size)
        cases.push_back({Record(2, Le(size, 4) + std::string(size > 4 ? size - 4 : 0, '\x04') + good),
                         size < 4 ? std::vector<std::uint16_t>{} : std::vector<std::uint16_t>{1}, size < 4});
    for (std::size_t i = 0; i < cases.size(); ++i) {
        bool cut = false;
        std::vector<std::uint16_t> fields;
        for (const RecordEntry& e : ReadAll(cases[i].record, cut)) fields.push_back(e.field);
        EXPECT_EQ(fields, cases[i].fields) << i;
        EXPECT_EQ(cut, cases[i].cut) << i;
    }
    RecordEntry entry;
    EXPECT_FALSE(ProcessRecordReader(nullptr, 100).Next(entry));
}

std::string Sid(std::uint8_t count, const std::string& authority, const std::vector<std::uint32_t>& subs,
                char revision = 1) {
    std::string sid = std::string(1, revision) + static_cast<char>(count) + authority;
    for (std::uint32_t sub : subs) sid += Le(sub, 4);
    return sid;
}

TEST(SidText, WritesWellFormedSidsAndNothingElse) {
    const std::string nt(6, '\0'), five = std::string(5, '\0') + "\x05";
    const struct {
        std::string sid, text;
    } cases[] = {
        {Sid(1, five, {18}), "S-1-5-18"},
        {Sid(5, five, {21, 1, 2, 0xFFFFFFFF, 1000}), "S-1-5-21-1-2-4294967295-1000"},
        {Sid(1, std::string("\0\0\x80\0\0\x01", 6), {7}), "S-1-2147483649-7"},  // bytes 4 to 7 in decimal
        {Sid(1, std::string("\0\x01\x0A\xBC\0\xFF", 6), {9}), "S-1-0x00010abc00ff-9"},
        {Sid(1, std::string("\xFF\0\0\0\0\0", 6), {0}), "S-1-0xff0000000000-0"},
        {Sid(8, five, {1, 2, 3, 4, 5, 6, 7, 8}), "S-1-5-1-2-3-4-5-6-7-8"},
        {Sid(1, five, {18}).substr(0, 11), ""},
        {Sid(1, five, {18}) + '\0', ""},  // size does not match the count
        {Sid(1, five, {18}, 2), ""},
        {Sid(0, nt, {}), ""},  // consistent, but below 12 bytes
        {Sid(9, nt, {1, 2, 3, 4, 5, 6, 7, 8, 9}), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SidText(reinterpret_cast<const std::uint8_t*>(c.sid.data()), c.sid.size()), c.text) << c.text;
    EXPECT_EQ(SidText(nullptr, 12), "");
}

class ProbeCallInfo : public ProcessCacheCallInfo {
public:
    explicit ProbeCallInfo(std::atomic<int>& destroyed) : ProcessCacheCallInfo(std::string("t\0d", 3)), destroyed_(destroyed) {}
    ~ProbeCallInfo() override { ++destroyed_; }

private:
    std::atomic<int>& destroyed_;
};

TEST(CallerTag, LivesUntilTheLastReleaseFromAnyThread) {
    std::atomic<int> destroyed{0};
    Abi::CallerInfoView* view = (new ProbeCallInfo(destroyed))->View();
    view->AddRef(view);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([view] {
            for (int i = 0; i < 20000; ++i) view->AddRef(view), view->Release(view);
        });
    for (auto& thread : threads) thread.join();
    view->Release(view);
    EXPECT_EQ(destroyed, 0);
    view->Release(view);
    EXPECT_EQ(destroyed, 1);
    ProcessCacheCallInfo::Release(nullptr);
    Abi::CallerInfoView orphan{"x", "y", nullptr, nullptr, nullptr};
    ProcessCacheCallInfo::Release(&orphan);
    EXPECT_EQ(destroyed, 1);
}

TEST(CallerTag, EachMakeGivesAnOwnCopyOfTagAndDescriptionThatOutlivesTheAccessor) {
    Abi::CallContext call{};
    call.GetFunctionName = [](Abi::CallContext*) { return "get_process_info"; };
    const Abi::CallSite known{0xFF, "first", "second", "third", 4294967295u}, unknown{0xFE, "a", "b", "c", 1},
        partial{1, "rules.txt", nullptr, "", 12};
    const std::pair<const Abi::CallSite*, std::string> sites[] = {
        {&known, "[second:first:third:4294967295]"}, {&unknown, "?"}, {nullptr, "?"}, {&partial, "[-:rules.txt::12]"}};
    for (const auto& [site, where] : sites) {
        Abi::CallerInfoView *first = nullptr, *second = nullptr;
        {
            ProcessCacheAccessor accessor(site, &call);
            Abi::CallerInfoProvider provider = CallerInfoProviderFor(accessor);
            first = provider.Make(&provider);
            second = provider.Make(&provider);
        }
        ASSERT_TRUE(first != nullptr && second != nullptr) << where;
        EXPECT_NE(first->owner, second->owner);
        EXPECT_STREQ(first->tag, "ORVIK/get_process_info");
        EXPECT_EQ(first->description, "called by scan-engine-rules at " + where);
        EXPECT_STREQ(second->description, first->description);
        first->Release(first);
        second->Release(second);
    }
    EXPECT_EQ(MakeCallerInfo(nullptr), nullptr);
    Abi::CallerInfoProvider empty{nullptr, &MakeCallerInfo};
    EXPECT_EQ(MakeCallerInfo(&empty), nullptr);
}

}  // namespace
}  // namespace ScanEngine::Process
