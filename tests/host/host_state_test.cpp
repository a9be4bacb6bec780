// Host state files: the example against the README's table, and keys matched as Windows compares them.
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "host/host_state_file.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

std::string SourceFile(const std::string& name) {
    std::ifstream in(ORVIK_SOURCE_DIR "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

using HostStateFile = ModuleTest;

TEST_F(HostStateFile, ExampleLoadsAndHasEveryMemberTheReadmeTableNames) {
    const std::string example = SourceFile("examples/host-state.json"), whole = SourceFile("README.md");
    const std::size_t section = whole.find("\n## Host state files");  // the table of that section only
    ASSERT_NE(section, std::string::npos);
    const std::string readme = whole.substr(section, whole.find("\n## ", section + 1) - section);
    ASSERT_NO_THROW(RefHost::LoadHostState(example, Host()));
    // The table's rows name sections in backquotes, then their members in double quotes.
    const std::regex row("\n\\| `\\w+`[^\n]*"), name("[`\"]([a-z0-9_]+)[`\"]");
    std::string named;
    for (std::sregex_iterator r(readme.begin(), readme.end(), row), end; r != end; ++r) {
        const std::string line = r->str();
        for (std::sregex_iterator n(line.begin(), line.end(), name); n != end; ++n) {
            EXPECT_NE(example.find('"' + (*n)[1].str() + "\":"), std::string::npos) << (*n)[1];
            named += n->str();
        }
    }
    Json::Value root;  // and the README names every section the example has
    std::istringstream(example) >> root;
    for (const auto& section : root.getMemberNames()) EXPECT_NE(named.find('`' + section + '`'), std::string::npos);
}

TEST_F(HostStateFile, PathsNamesAndDigestsMatchInTheOtherCase) {
    RefHost::LoadHostState(SourceFile("examples/host-state.json"), Host());
    const auto S = &Arg::Str;
    const auto O = &Arg::OutStr;
    const std::tuple<const char*, std::vector<Arg>, std::string> cases[] = {  // the result, then the variable
        {"is_in_exploit_prevention_list", {S("path", "c:\\apps\\LEGACY.exe")}, "1"},
        {"is_in_trusted_hashes_list", {S("hash", "44D88612FEA8A8F36DE82E1278ABB02F")}, "1"},
        {"is_in_trusted_hashes_list", {S("hash", "44D88612FEA8A8F36DE82E1278ABB02E")}, "0"},
        {"is_process_terminable", {S("file_name", "NotePad.EXE")}, "1"},
        {"get_process_categories", {S("file_name", "PowerShell.EXE"), O("process_categories", 1)},
         "0 s:{\"categories\":[\"interpreters\"]}"},
        {"get_avc_scan_statistics",
         {S("path", "C:\\USERS\\u\\Setup.exe"), Arg::Int("id", 1), Arg::OutInt("scan_count", 1)}, "0 i:4"},
        {"eval_hashes", {S("path", "c:\\users\\U\\SETUP.EXE"), O("md5", 1)}, "0 s:A0F848942CE863CF53C0FA6CC684007D"},
        {"read_text_file_dm", {S("path", "C:\\Users\\U\\Notes.TXT"), O("text", 1)}, "0 s:meeting at 10\r\n"},
        {"check_signature", {S("path", "c:\\tools\\BUILD.EXE"), O("vendor", 1)}, "0 s:Example Build Tools Ltd"},
        {"delete_file", {S("path", "\\DEVICE\\MUP\\FileServer\\Share\\DROP.BAT"), Arg::Int("to_dos", 1)}, "0"},
        // The system upper-cases non-ASCII letters too.
        {"reg_delete_key", {S("hive", "HKLM"), S("kname", "SOFTWARE\\M\xC3\x9CLLER")}, "0"},
        {"reg_delete_value", {S("hive", "HKLM"), S("kname", "software\\m\xC3\x9CLLER"), S("vname", "LASTRUN")}, "0"},
    };
    for (const auto& [function, args, outcome] : cases) {
        const CallResult r = Call(function, args);
        std::string got = std::to_string(r.result);
        for (const auto& [ref, value] : Written(r)) got += " " + value;
        EXPECT_EQ(got, outcome) << function;
    }
}

}  // namespace
}  // namespace OrvikTest
