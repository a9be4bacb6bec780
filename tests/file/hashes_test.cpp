// eval_hashes, eval_tlsh_hash and entropy through the module: digests come
// from the host, from preloaded values or from real files (the host streams
// them for TLSH); entropy is the module's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "common/temp_dir.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Hashes = ModuleTest;

struct Digests {
    std::string md5, sha1, sha256;
};

const Digests kAbc = {"900150983CD24FB0D6963F7D28E17F72", "A9993E364706816ABA3E25717850C26C9CD0D89D",
                      "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"};
const Digests kEmpty = {"D41D8CD98F00B204E9800998ECF8427E", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709",
                        "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"};
const Digests kMillionA = {"7707D6AE4E027C70EEA2A935C2296F21", "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F",
                           "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"};

TEST_F(Hashes, OnlyTheNamedDigestsAreRequestedAndReadPackedFromTheBufferStart) {
    // Distinct preloaded bytes 0x00..0x43: MD5 0x00-0x0F, SHA-1 0x10-0x23, SHA-256 0x24-0x43.
    std::array<std::uint8_t, 68> preloaded{};
    for (std::size_t i = 0; i < preloaded.size(); ++i) preloaded[i] = static_cast<std::uint8_t>(i);
    Host().State().file_digests["C:\\f.exe"] = preloaded;
    const std::string hex[] = {"", "000102030405060708090A0B0C0D0E0F", "101112131415161718191A1B1C1D1E1F20212223",
                               "2425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F40414243"};

    const char* const names[] = {"", "md5", "sha1", "sha256"};
    const struct {
        std::vector<std::uint32_t> refs;
        std::string mask;
    } requests[] = {{{3}, "4"}, {{3, 2}, "6"}, {{1}, "1"}, {{1, 3}, "5"}};
    for (const auto& [refs, mask] : requests) {
        std::vector<Arg> args = {Arg::Str("path", "C:\\f.exe")};
        for (const std::uint32_t ref : refs) args.push_back(Arg::OutStr(names[ref], ref));
        const CallResult r = Call("eval_hashes", args);
        EXPECT_EQ(r.result, 0);
        EXPECT_TRUE(r.log.empty());
        EXPECT_EQ(r.variables.size(), refs.size());
        for (const std::uint32_t ref : refs) EXPECT_EQ(r.variables.at(ref).text, hex[ref]) << mask;
        EXPECT_EQ(Host().Journal().Last("EvalHashes")->args,
                  (Strings{"(ptr)", "C:\\f.exe", "", mask, "(ptr)", "68", "(ptr)"}));
    }
}

TEST_F(Hashes, RealFilesAndPreloadedContentAreHashedWholeAndHostFailuresComeBack) {
    test::TempDir dir;
    dir.WriteFile("abc.txt", "abc");
    dir.WriteFile("empty.txt", "");
    dir.WriteFile("million.txt", std::string(1000000, 'a'));  // many reads of the host's chunk size
    Host().State().files["C:\\preloaded.txt"] = "abc";
    // The host's status, or a Windows code from a real file, is the result;
    // nothing is then written or logged.
    const Digests kStale = {"stale", "stale", "stale"};
    const struct {
        std::string path;
        Digests expected;
        std::int64_t result;
    } files[] = {{dir.Path("abc.txt"), kAbc, 0},
                 {dir.Path("empty.txt"), kEmpty, 0},
                 {dir.Path("million.txt"), kMillionA, 0},
                 {"C:\\preloaded.txt", kAbc, 0},
                 {dir.Path("missing.txt"), kStale, ERROR_FILE_NOT_FOUND},
                 {dir.Path("abc.txt"), kStale, 5}};
    for (const auto& [path, expected, result] : files) {
        if (result == 5) Host().ForceResult("EvalHashes", 5);
        auto call = NewCall();
        for (std::uint32_t ref : {1u, 2u, 3u}) call->variables[ref] = {RefHost::Variable::Kind::String, 0, "stale"};
        const CallResult r = Call("eval_hashes", {Arg::Str("path", path), Arg::OutStr("md5", 1),
                                                  Arg::OutStr("sha1", 2), Arg::OutStr("sha256", 3)},
                                  *call);
        EXPECT_EQ(r.result, result) << path;
        EXPECT_TRUE(r.log.empty());
        EXPECT_EQ(Written(r), (Vars{{1, "s:" + expected.md5}, {2, "s:" + expected.sha1}, {3, "s:" + expected.sha256}}))
            << path;
        EXPECT_EQ(Host().Journal().Last("EvalHashes")->args.at(3), "7");
    }
}

TEST_F(Hashes, CallsThatRequestNothingOrNameAnotherFileAreMalformed) {
    const std::string none = MalformedLine("eval_hashes", "at least one hash (md5, sha1, sha256) must be requested");
    CallResult r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe")});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{none});

    // With a nul the host would hash "C:\f.exe" and the rule take its digests
    // for this path's.
    Host().State().file_digests["C:\\f.exe"] = {};
    r = Call("eval_hashes", {Arg::Str("path", std::string("C:\\f.exe\0.txt", 13)), Arg::OutStr("md5", 1)});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{MalformedLine(
                                   "eval_hashes", "cannot hash file 'C:\\f.exe': path contains a nul character")});
    EXPECT_TRUE(r.variables.empty());
    EXPECT_EQ(Host().Journal().Count("EvalHashes"), 0u);
}

TEST_F(Hashes, EntropyCountsCodePointsOfTheWholeText) {
    const CallResult r = Call("entropy", {Arg::Str("text", "a\xC3\xB1" "b"), Arg::OutInt("length", 4)});
    EXPECT_EQ(r.result, 158);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(4).integer, 3u);
    // Bytes after a nul count too.
    EXPECT_EQ(Call("entropy", {Arg::Str("text", std::string("ab\0\0", 4))}).result, 150);
}

// The conformance vectors' "rand" inputs: SplitMix64 words, little-endian, cut to length.
std::string RandomBytes(std::uint64_t seed, std::size_t length) {
    std::string out;
    std::uint64_t state = seed;
    while (out.size() < length) {
        state += 0x9E3779B97F4A7C15;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        z ^= z >> 31;
        for (int i = 0; i < 8; ++i) out += static_cast<char>(z >> (8 * i));
    }
    out.resize(length);
    return out;
}

// Vectors rand_65536 (seed 16) and rand_1048576 (seed 19).
const std::string kDigest64K = "T1595302480C92AAACA159496D3114BADE215E423C24EFBF98FD0D0A49E1F233C7BBF455";
const std::string kDigest1M = "T12F2533E7051E176A3FDD650C1DA9C2DA36BCAB366B0D332903D73949C0BA5F3A5052B8";

TEST_F(Hashes, TlshRealFilesAreHashedUpToTheFirstMebibyteAndTooLittleContentGivesNoDigest) {
    test::TempDir dir;
    dir.WriteFile("small", RandomBytes(16, 65536));
    // Past the first MiB, bytes that would change the digest if they were read.
    dir.WriteFile("big", RandomBytes(19, 0x100000) + RandomBytes(99, 5000));
    for (const auto& [name, digest, id] : {std::tuple{"small", kDigest64K, ""}, std::tuple{"big", kDigest1M, "id-9"}}) {
        std::vector<Arg> args = {Arg::Str("path", dir.Path(name)), Arg::OutStr("hash", 2)};
        if (*id != '\0') args.push_back(Arg::Str("unique_file_id", id));
        const CallResult r = Call("eval_tlsh_hash", args);
        EXPECT_EQ(r.result, 0) << name;
        EXPECT_TRUE(r.log.empty()) << name;
        EXPECT_EQ(r.variables.at(2).text, digest) << name;
        EXPECT_EQ(Host().Journal().Last("ReadFileContent")->args, (Strings{"(ptr)", dir.Path(name), id, "1048576"}));
    }

    // Too little content gives the empty text; host failures leave the hash alone.
    dir.WriteFile("short", RandomBytes(3, 49));
    const struct {
        std::string name;
        std::int32_t status;
        std::string hash;
    } cases[] = {{"short", 0, ""}, {"missing", ERROR_FILE_NOT_FOUND, "stale"}, {"short", 3, "stale"}};
    for (const auto& [name, status, hash] : cases) {
        if (status == 3) Host().ForceResult("ReadFileContent", 3);
        auto call = NewCall();
        call->variables[2] = {RefHost::Variable::Kind::String, 0, "stale"};
        const CallResult r = Call("eval_tlsh_hash", {Arg::Str("path", dir.Path(name)), Arg::OutStr("hash", 2)}, *call);
        EXPECT_EQ(r.result, status) << name;
        const std::string line = "1:ReadTextFile failed, path: " + dir.Path(name) + ", return value: ";
        EXPECT_EQ(LogLines(r.log), status == 0 ? Strings{} : Strings{line + std::to_string(status)}) << name;
        EXPECT_EQ(r.variables.at(2).text, hash) << name;
    }
}

}  // namespace
}  // namespace OrvikTest
