// Records the module hands the host, as the journal writes them down.
#include <gtest/gtest.h>

#include "host/call_journal.h"

namespace {

namespace Abi = ScanEngine::Abi;

// Null texts and digests, bytes that are not UTF-8, and a null record.
TEST(RecordText, MembersShowWhatTheRecordHolds) {
    const std::uint8_t md5[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0xFE, 0xFF};
    Abi::AlertRecord alert{};
    alert.file_name = "x\xff\n";
    alert.threat = "";
    alert.rule_id = 0xFFFFFFFF;
    alert.pad0 = 5;
    alert.md5 = md5;
    alert.system_pid = 4;
    RefHost::CallJournal journal;
    journal.Record("RaiseAlert", &alert, static_cast<const Abi::AlertRecord*>(nullptr), 3);
    const RefHost::RecordedCall call = journal.All().at(0);
    EXPECT_EQ(call.args, (std::vector<std::string>{
                             "{folder=(null), file_name=x\xff\n, rule_id=4294967295, pad0=5, threat=, "
                             "md5=000102030405060708090a0b0c0dfeff, sha1=(null), sha256=(null), file_size=0, "
                             "can_quarantine=0, upload_enabled=0, pad1=0, engine_id=0, system_pid=4}",
                             "(null)", "3"}));
    ASSERT_EQ(call.records.size(), 3u);
    EXPECT_EQ(call.records[0].size(), 14u);
    EXPECT_TRUE(call.records[1].empty() && call.records[2].empty());
}

}  // namespace
