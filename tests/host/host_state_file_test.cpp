// Host state files: what a rule author writes to preload the reference host.
#include <gtest/gtest.h>

#include <stdexcept>

#include "host/host_state_file.h"

namespace RefHost {
namespace {

std::string LoadError(const std::string& json) {
    HostServices host;
    try {
        LoadHostState(json, host);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "loaded";
}

TEST(HostStateFile, FillsSectionsConvertingWhatTheHostKeepsInAnotherForm) {
    HostServices host;
    LoadHostState(R"({
        // comments are allowed
        "unix_accounts": [{"id": 5, "group": true, "name": "staff", "uuid": "000102030405060708090a0b0c0d0e0f"}],
        "verdicts": [{"path": "C:\\v", "id": 257, "value": -56, "ttl": 9, "scan_depth": 4}],
        "files": [{"path": "C:\\f", "content": "abc", "md5": "900150983cd24fb0d6963f7d28e17f72"}],
        "process_trees": [{"pid": 4, "start_time": 8, "json": {"a": [1, 2]}}],
        "nt_to_dos": [{"nt": "\\Device\\X\\é", "dos": "C:\\é"}],
        "processes": [{"pid": 40, "uid": 400, "image_nt": "\\Device\\HarddiskVolume1\\a.exe",
                       "user_sid": "S-1-5-18", "privileges": [{"luid": 20, "attributes": 3}]}]
    })", host);
    const HostState& s = host.State();
    const UnixAccount& staff = s.unix_accounts.at({5, true});
    EXPECT_EQ(staff.name, "staff");
    ASSERT_TRUE(staff.uuid);
    EXPECT_EQ((*staff.uuid)[15], 0x0F);
    const Abi::VerdictRecord& v = s.verdicts.at({"C:\\v", "", 1});
    EXPECT_EQ(v.value, -56);
    EXPECT_EQ(v.ttl, 9u);
    EXPECT_EQ(s.files.at("C:\\f"), "abc");
    EXPECT_EQ(s.file_digests.at("C:\\f")[0], 0x90);
    EXPECT_EQ(s.file_digests.at("C:\\f")[16], 0) << "digests not given stay zero";
    EXPECT_EQ(s.process_trees.at({4, 8}), "{\"a\":[1,2]}");
    EXPECT_EQ(s.nt_to_dos.at(L"\\Device\\X\\\u00e9"), L"C:\\\u00e9");
    EXPECT_EQ(s.process_records_by_uid.count(400), 1u);
    EXPECT_EQ(s.process_records_by_pid.at(40), s.process_records_by_uid.at(400));
}

TEST(HostStateFile, NamesWhatIsWrong) {
    EXPECT_EQ(LoadError(R"({"engines": [{"id": 1, "enabeld": 0}]})"),
              "host state: state.engines[0].enabeld: unknown member");
    EXPECT_EQ(LoadError(R"({"engines": [{"enabled": 0}]})"), "host state: state.engines[0].id: missing");
    EXPECT_EQ(LoadError(R"({"engines": [{"id": "1"}]})"), "host state: state.engines[0].id: expected an integer");
    EXPECT_EQ(LoadError(R"({"files": [{"path": "p", "md5": "12"}]})"),
              "host state: state.files[0].md5: expected 16 hex-encoded bytes");
    EXPECT_EQ(LoadError(R"({"processes": [{"pid": 1, "uid": 2, "user_sid": "nobody"}]})"),
              "host state: state.processes[0].user_sid: not a SID: nobody");
    EXPECT_EQ(LoadError("{} trailing").rfind("host state: not valid JSON", 0), 0u);
    EXPECT_EQ(LoadError("{}"), "loaded");
}

}  // namespace
}  // namespace RefHost
