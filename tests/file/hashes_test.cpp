// eval_hashes and entropy through the module: digests come from the host,
// from preloaded values or from real files; entropy is the module's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "common/temp_dir.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Strings = std::vector<std::string>;
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
    const auto hex = [&](std::size_t from, std::size_t count) {
        std::string text;
        for (std::size_t i = from; i < from + count; ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", preloaded[i]);
            text += pair;
        }
        return text;
    };

    CallResult r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe"), Arg::OutStr("sha256", 3)});
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    ASSERT_EQ(r.variables.size(), 1u);
    EXPECT_EQ(r.variables.at(3).text, hex(36, 32));
    EXPECT_EQ(r.variables.at(3).text, "2425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F40414243");
    EXPECT_EQ(Host().Journal().Last("EvalHashes")->args,
              (Strings{"(ptr)", "C:\\f.exe", "", "4", "(ptr)", "68", "(ptr)"}));

    // SHA-1 and SHA-256: SHA-256 follows SHA-1 at byte 20. The unique id is handed on.
    r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe"), Arg::Str("unique_file_id", "id-9"),
                             Arg::OutStr("sha256", 3), Arg::OutStr("sha1", 2)});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.variables.at(2).text, hex(16, 20));
    EXPECT_EQ(r.variables.at(3).text, hex(36, 32));
    EXPECT_EQ(Host().Journal().Last("EvalHashes")->args,
              (Strings{"(ptr)", "C:\\f.exe", "id-9", "6", "(ptr)", "68", "(ptr)"}));

    // MD5 alone and MD5 with SHA-256; an undefined output is not a request.
    r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe"), Arg::OutStr("md5", 1), Arg::Undefined("sha1")});
    EXPECT_EQ(r.variables.at(1).text, hex(0, 16));
    EXPECT_EQ(r.variables.size(), 1u);
    EXPECT_EQ(Host().Journal().Last("EvalHashes")->args.at(3), "1");
    r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe"), Arg::OutStr("md5", 1), Arg::OutStr("sha256", 3)});
    EXPECT_EQ(r.variables.at(1).text, hex(0, 16));
    EXPECT_EQ(r.variables.at(3).text, hex(36, 32));
    EXPECT_EQ(Host().Journal().Last("EvalHashes")->args.at(3), "5");

    // Without a token the host is asked with none.
    auto call = NewCall();
    call->process_info = RefHost::ProcessInfoMode::None;
    r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe"), Arg::OutStr("sha1", 2)}, *call);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.variables.at(2).text, hex(16, 20));
    EXPECT_EQ(Host().Journal().Last("EvalHashes")->args.at(0), "(null)");
}

TEST_F(Hashes, RealFilesAndPreloadedContentAreHashedWhole) {
    test::TempDir dir;
    dir.WriteFile("abc.txt", "abc");
    dir.WriteFile("empty.txt", "");
    dir.WriteFile("million.txt", std::string(1000000, 'a'));  // many reads of the host's chunk size
    Host().State().files["C:\\preloaded.txt"] = "abc";
    const std::pair<std::string, Digests> files[] = {{dir.Path("abc.txt"), kAbc},
                                                     {dir.Path("empty.txt"), kEmpty},
                                                     {dir.Path("million.txt"), kMillionA},
                                                     {"C:\\preloaded.txt", kAbc}};
    for (const auto& [path, expected] : files) {
        const CallResult r = Call("eval_hashes", {Arg::Str("path", path), Arg::OutStr("md5", 1),
                                                  Arg::OutStr("sha1", 2), Arg::OutStr("sha256", 3)});
        EXPECT_EQ(r.result, 0) << path;
        EXPECT_TRUE(r.log.empty());
        EXPECT_EQ(r.variables.at(1).text, expected.md5) << path;
        EXPECT_EQ(r.variables.at(2).text, expected.sha1) << path;
        EXPECT_EQ(r.variables.at(3).text, expected.sha256) << path;
        EXPECT_EQ(Host().Journal().Last("EvalHashes")->args.at(3), "7");
    }

    // The host's Windows code comes back unchanged; nothing written or logged.
    const std::pair<std::string, std::int64_t> failures[] = {{dir.Path("missing.txt"), ERROR_FILE_NOT_FOUND},
                                                             {dir.Path("none\\x.txt"), ERROR_PATH_NOT_FOUND}};
    for (const auto& [path, code] : failures) {
        auto call = NewCall();
        call->variables[1] = {RefHost::Variable::Kind::String, 0, "stale"};
        const CallResult r = Call("eval_hashes", {Arg::Str("path", path), Arg::OutStr("md5", 1)}, *call);
        EXPECT_EQ(r.result, code) << path;
        EXPECT_TRUE(r.log.empty());
        EXPECT_EQ(r.variables.at(1).text, "stale");
    }
}

TEST_F(Hashes, HostStatusIsTheResultAndLeavesEveryOutputAlone) {
    Host().State().file_digests["C:\\f.exe"] = {};
    Host().ForceResult("EvalHashes", 5);
    auto call = NewCall();
    for (std::uint32_t ref : {1u, 2u, 3u}) call->variables[ref] = {RefHost::Variable::Kind::String, 0, "stale"};
    const CallResult r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe"), Arg::OutStr("md5", 1),
                                              Arg::OutStr("sha1", 2), Arg::OutStr("sha256", 3)},
                              *call);
    EXPECT_EQ(r.result, 5);
    EXPECT_TRUE(r.log.empty());
    for (std::uint32_t ref : {1u, 2u, 3u}) EXPECT_EQ(r.variables.at(ref).text, "stale") << ref;
    EXPECT_EQ(Host().Journal().Last("EvalHashes")->args.at(3), "7");
}

TEST_F(Hashes, CallsThatRequestNothingOrNameAnotherFileAreMalformed) {
    const std::string none = MalformedLine("eval_hashes", "at least one hash (md5, sha1, sha256) must be requested");
    CallResult r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe")});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{none});
    r = Call("eval_hashes", {Arg::Str("path", "C:\\f.exe"), Arg::Str("unique_file_id", "x"), Arg::Undefined("md5"),
                             Arg::Undefined("sha1"), Arg::Undefined("sha256")});
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
    CallResult r = Call("entropy", {Arg::Str("text", "a\xC3\xB1" "b"), Arg::OutInt("length", 4)});
    EXPECT_EQ(r.result, 158);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(4).integer, 3u);

    // Bytes after a nul count too; without `length` nothing is written.
    r = Call("entropy", {Arg::Str("text", std::string("ab\0\0", 4))});
    EXPECT_EQ(r.result, 150);
    EXPECT_TRUE(r.variables.empty());

    auto call = NewCall();
    call->variables[4] = {RefHost::Variable::Kind::Integer, 99, ""};
    r = Call("entropy", {Arg::Str("text", ""), Arg::OutInt("length", 4)}, *call);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.variables.at(4).integer, 0u);
}

}  // namespace
}  // namespace OrvikTest
