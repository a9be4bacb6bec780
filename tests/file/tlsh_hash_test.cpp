// eval_tlsh_hash through the module: the host streams real files to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>

#include "common/temp_dir.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using TlshHash = ModuleTest;

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

TEST_F(TlshHash, RealFilesAreHashedUpToTheFirstMebibyteAndTooLittleContentGivesNoDigest) {
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
    dir.WriteFile("empty", "");
    dir.WriteFile("short", RandomBytes(3, 49));
    const struct {
        std::string name;
        std::int32_t status;
        std::string hash;
    } cases[] = {{"empty", 0, ""}, {"short", 0, ""}, {"missing", ERROR_FILE_NOT_FOUND, "stale"}, {"short", 3, "stale"}};
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
