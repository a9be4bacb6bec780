// Host state files: the example file against the README's table, and keys
// matched the way Windows compares them.
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "host/host_state_file.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

std::string SourceFile(const std::string& name) {
    std::ifstream in(ORVIK_SOURCE_DIR "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void AllMembers(const Json::Value& v, std::set<std::string>& out) {
    for (const auto& name : v.isObject() ? v.getMemberNames() : Strings{}) out.insert(name);
    if (v.isObject() || v.isArray())
        for (const auto& item : v) AllMembers(item, out);
}

using HostStateFile = ModuleTest;

TEST_F(HostStateFile, ExampleLoadsAndShowsEveryMemberTheReadmeTableNames) {
    const std::string example = SourceFile("examples/host-state.json");
    ASSERT_NO_THROW(RefHost::LoadHostState(example, Host()));
    Json::Value root;
    std::istringstream(example) >> root;
    // A row: its sections in backquotes, then their members (at any depth) in double quotes.
    const std::regex row("\\| ((`\\w+`,? ?)+) \\|(.*)"), section("`(\\w+)`"), member("\"([a-z0-9_]+)\"");
    std::istringstream readme(SourceFile("README.md"));
    std::set<std::string> documented;
    for (std::string line; std::getline(readme, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) continue;
        const std::string names = m[1], shape = m[3];
        std::set<std::string> shown;
        for (std::sregex_iterator s(names.begin(), names.end(), section), end; s != end; ++s)
            documented.insert((*s)[1]), AllMembers(root[(*s)[1].str()], shown);
        for (std::sregex_iterator s(shape.begin(), shape.end(), member), end; s != end; ++s)
            EXPECT_EQ(shown.count((*s)[1]), 1u) << (*s)[1] << " in " << names;
    }
    const Strings top = root.getMemberNames();
    EXPECT_EQ(documented, std::set<std::string>(top.begin(), top.end()));
}

TEST_F(HostStateFile, PathsNamesAndDigestsMatchInTheOtherCase) {
    RefHost::LoadHostState(SourceFile("examples/host-state.json"), Host());
    const auto S = &Arg::Str;
    const auto I = &Arg::Int;
    const auto Out = &Arg::OutStr;
    const struct {
        const char* function;
        std::vector<Arg> args;
        std::string outcome;  // result, then the variable written
    } cases[] = {
        {"is_in_user_allowlist", {S("path", "c:\\TOOLS\\Build.Exe"), I("puid", 1001)}, "1"},
        {"is_in_exploit_prevention_list", {S("path", "c:\\apps\\LEGACY.exe")}, "1"},
        {"is_in_trusted_hashes_list", {S("hash", "44D88612FEA8A8F36DE82E1278ABB02F")}, "1"},
        {"is_in_trusted_hashes_list", {S("hash", "44D88612FEA8A8F36DE82E1278ABB02E")}, "0"},
        {"is_in_thumbprint_blocklist", {S("thumbprint", "0123456789ABCDEF0123456789ABCDEF01234567")}, "1"},
        {"is_process_terminable", {S("file_name", "NotePad.EXE")}, "1"},
        {"is_process_terminable", {S("file_name", "NotePad.EX")}, "0"},
        {"get_process_categories", {S("file_name", "PowerShell.EXE"), Out("process_categories", 1)},
         "0 s:{\"categories\":[\"interpreters\"]}"},
        {"get_avc_scan_statistics", {S("path", "C:\\USERS\\u\\downloads\\Setup.exe"), I("id", 1),
                                     Arg::OutInt("scan_count", 1)}, "0 i:4"},
        {"eval_hashes", {S("path", "c:\\users\\U\\Downloads\\SETUP.EXE"), Out("md5", 1)},
         "0 s:A0F848942CE863CF53C0FA6CC684007D"},
        {"read_text_file_dm", {S("path", "C:\\Users\\U\\DOCUMENTS\\Notes.TXT"), Out("text", 1)},
         "0 s:meeting at 10\r\n"},
        {"check_signature", {S("path", "c:\\tools\\BUILD.EXE"), Out("vendor", 1)}, "0 s:Example Build Tools Ltd"},
        {"check_extended_signature", {S("path", "C:\\TOOLS\\build.exe"), I("signature_mask", 1),
                                      I("is_deep_scan", 0), Out("signature_info_ext", 1)},
         "0 s:{\"signers\":[{\"subject\":\"Example Build Tools Ltd\"}]}"},
        {"delete_file", {S("path", "\\DEVICE\\MUP\\FileServer\\Share\\DROP.BAT"), I("to_dos", 1)}, "0"},
        // The system upper-cases non-ASCII letters too.
        {"reg_delete_key", {S("hive", "HKLM"), S("kname", "SOFTWARE\\M\xC3\x9CLLER\\updater")}, "0"},
        {"reg_delete_value", {S("hive", "HKLM"), S("kname", "software\\M\xC3\x9CLLER\\UPDATER"),
                              S("vname", "LASTRUN")}, "0"},
    };
    for (const auto& c : cases) {
        auto call = NewCall();
        call->process_uid = 1001, call->process_id = 4242;
        const CallResult r = Call(c.function, c.args, *call);
        std::string outcome = std::to_string(r.result);
        for (const auto& [ref, value] : Written(r)) outcome += " " + value;
        EXPECT_EQ(outcome, c.outcome) << c.function;
    }
}

}  // namespace
}  // namespace OrvikTest
