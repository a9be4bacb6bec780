// Registry functions through the module: reads on the real registry, deletions
// through the host.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/unique_hkey.h"
#include "common/utf.h"
#include "common/windows_error.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Strings = std::vector<std::string>;
using Mode = RefHost::ProcessInfoMode;
const std::string kBrokenToken = "0x00000006: " + Common::FormatWindowsError(ERROR_INVALID_HANDLE);
std::string WithNul(const std::string& before, const std::string& after) { return before + '\0' + after; }

// A scratch key HKCU\Software\orvik-test-<pid> for one test, removed with everything in it.
class Registry : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Common::Utf8ToWide(key_.c_str()).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, root_.Put(), nullptr), 0);
    }
    void TearDown() override {
        RegDeleteKeyW(root_.Get(), L"denied");  // its subkeys cannot be listed, so it goes first
        RegDeleteTreeW(root_.Get(), nullptr);
        root_.Reset();
        RegDeleteKeyW(HKEY_CURRENT_USER, Common::Utf8ToWide(key_.c_str()).c_str());
        ModuleTest::TearDown();
    }
    CallResult Run(const std::string& function, const std::vector<Arg>& args, Mode mode = Mode::WithToken) {
        auto call = NewCall();
        call->process_info = mode;
        return Call(function, args, *call);
    }

    const std::string key_ = "Software\\orvik-test-" + std::to_string(GetCurrentProcessId());
    Common::UniqueHkey root_;
};

TEST_F(Registry, KeyExistenceByHivePrefixAndAccessAsTheCaller) {
    Common::UniqueHkey open, denied;
    ASSERT_EQ(RegCreateKeyExW(root_.Get(), L"open", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, open.Put(), nullptr), 0);
    ASSERT_EQ(RegCreateKeyExW(root_.Get(), L"denied", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, denied.Put(), nullptr), 0);
    // Read denied to everyone: as root only an explicit deny entry, set after creation, refuses it.
    BYTE everyone[SECURITY_MAX_SID_SIZE], acl[256];
    DWORD sid_size = sizeof everyone;
    SECURITY_DESCRIPTOR sd;
    ACL* dacl = reinterpret_cast<ACL*>(acl);
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sid_size) &&
                InitializeAcl(dacl, sizeof acl, ACL_REVISION) &&
                AddAccessDeniedAce(dacl, ACL_REVISION, KEY_READ, everyone) &&
                AddAccessAllowedAce(dacl, ACL_REVISION, KEY_ALL_ACCESS, everyone) &&
                InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&sd, TRUE, dacl, FALSE));
    ASSERT_EQ(RegSetKeySecurity(denied.Get(), DACL_SECURITY_INFORMATION, &sd), 0);

    const std::string k = key_ + "\\open", d = key_ + "\\denied";
    const auto exists = [](const std::string& h, const std::string& n) {
        return "0:Registry key exists: hive='" + h + "', regkey='" + n + "'";
    };
    const auto missing = [](const std::string& h, const std::string& n) {
        return "0:Registry key does not exist: hive='" + h + "', regkey='" + n + "'";
    };
    const std::tuple<std::string, std::string, std::int64_t, std::optional<std::uint64_t>, std::string> cases[] = {
        {"HKCU", k, 0, 1, exists("HKCU", k)},
        {"HKLMX", "Software", 0, 1, exists("HKLMX", "Software")},
        {"HKLM", k, 0, 0, missing("HKLM", k)},
        {"HKCU", k + "\\x", 0, 0, missing("HKCU", k + "\\x")},
        // Never checked as the part before the nul, or without the undecodable byte.
        {"HKCU", WithNul(k, "x"), -1, std::nullopt,
         MalformedLine("reg_key_exists", "argument 'kname' holds a NUL byte")},
        {"HKCU", k + "\xFF", -1, std::nullopt, MalformedLine("reg_key_exists", "argument 'kname' is not valid UTF-8")},
        {"HKCU", d, 5, std::nullopt, "2:Can't access registry key: hive='HKCU', regkey='" + d + "'; ERROR: 5"},
        {"hklm", "Software", -1, std::nullopt, "2:Unknown root key"},
    };
    for (const auto& [hive, key, result, status, line] : cases) {
        const CallResult r =
            Run("reg_key_exists", {Arg::Str("hive", hive), Arg::Str("kname", key), Arg::OutInt("status", 1)});
        EXPECT_EQ(r.result, result) << line;
        EXPECT_EQ(LogLines(r.log), Strings{line});
        EXPECT_EQ(r.variables.count(1) ? std::optional(r.variables.at(1).integer) : std::nullopt, status) << line;
    }
    const CallResult r = Run("reg_key_exists", {Arg::Str("hive", "HKCU"), Arg::Str("kname", k),
                                                Arg::OutInt("status", 1)}, Mode::WithBrokenToken);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{"2:Can't access registry key: hive='HKCU', regkey='" + k + "'; " + kBrokenToken});
    EXPECT_TRUE(r.variables.empty());
}

TEST_F(Registry, ReadStringReadsOnlyStringValuesAsUtf8) {
    const std::wstring text = L"Gr\u00fc\u00dfe \u20ac \U0001F600";
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExW(root_.Get(), L"text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))), 0);
    ASSERT_EQ(RegSetValueExW(root_.Get(), L"empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2), 0);
    ASSERT_EQ(RegSetValueExW(root_.Get(), L"number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0);
    const auto read = [&](const std::string& value, Mode mode = Mode::WithToken, const std::string& hive = "HKCU") {
        return Run("reg_read_string", {Arg::Str("hive", hive), Arg::Str("kname", key_), Arg::Str("vname", value),
                                       Arg::OutStr("text", 1)}, mode);
    };

    const CallResult r = read("text", Mode::None);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(1).text, "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(read("empty").variables.at(1).text, "");

    const std::tuple<CallResult, std::int64_t, std::string> failures[] = {
        {read("number"), 1630, "2:Failed to get regkey datasize, ERROR: 1630"},
        {read("missing"), 2, "2:Failed to get regkey datasize, ERROR: 2"},
        {read(WithNul("text", "x")), -1, MalformedLine("reg_read_string", "argument 'vname' holds a NUL byte")},
        {read("text", Mode::WithToken, "HKCX"), -1, "2:Unknown root key"},
        {read("text", Mode::WithBrokenToken), -1, "2:reg_read_string: Failed to get regkey data: " + kBrokenToken},
    };
    for (const auto& [r, result, line] : failures) {
        EXPECT_EQ(r.result, result) << line;
        EXPECT_EQ(LogLines(r.log), Strings{line});
        EXPECT_TRUE(r.variables.empty()) << line;
    }
}

TEST_F(Registry, DeletionsGoToTheHostWithItsHiveCodes) {
    const std::string key = "Software\\Gr\xC3\xBC\xC3\x9F" "e", sub = "S-1-5-18\\Software";
    Host().State().registry_keys = {{0, L"Software\\Gr\u00fc\u00dfe"}, {1, L"k"}, {2, L"k"}};
    Host().State().registry_values = {{2, L"S-1-5-18\\Software", L"Wert"}};
    const auto del_key = [&](const std::string& hive, const std::string& name) {
        return Call("reg_delete_key", {Arg::Str("hive", hive), Arg::Str("kname", name)});
    };
    const auto del_value = [&](const std::string& hive, const std::string& name, const std::string& value) {
        return Call("reg_delete_value", {Arg::Str("hive", hive), Arg::Str("kname", name), Arg::Str("vname", value)});
    };
    const auto check = [](const CallResult& r, std::int64_t result, const std::string& line) {
        EXPECT_EQ(r.result, result) << line;
        EXPECT_EQ(LogLines(r.log), Strings{line});
    };

    check(del_key("HKLM\\SOFTWARE", key), 0, "0:Successfully deleted registry key '" + key + "' in hive 'HKLM\\SOFTWARE'");
    EXPECT_EQ(Host().Journal().Last("DeleteRegistryKey")->args, (Strings{"0", key, "(ptr)"}));
    for (const auto& [hive, code] : {std::pair{"HKCR", "1"}, std::pair{"HKU", "2"}}) {
        EXPECT_EQ(del_key(hive, "k").result, 0);
        EXPECT_EQ(Host().Journal().Last("DeleteRegistryKey")->args.at(0), code);
    }
    EXPECT_TRUE(Host().State().registry_keys.empty());
    check(del_value("HKU", sub, "Wert"), 0,
          "0:Successfully deleted registry value key 'Wert' hive 'HKU' in subkey '" + sub + "'");
    EXPECT_EQ(Host().Journal().Last("DeleteRegistryValue")->args, (Strings{"2", sub, "Wert", "(ptr)"}));

    // The host's error text and status; a host that fails without an error object.
    check(del_key("HKLM", key), 2, "2:Failed to delete registry key '" + key + "' in hive 'HKLM': registry key not found");
    check(del_value("HKU", sub, "Wert"), 2, "2:Failed to delete registry value key 'Wert' in hive 'HKU' in subkey '" +
                                                sub + "': registry value not found");
    Host().ForceResult("DeleteRegistryKey", 0x100000005);
    check(del_key("HKLM", "k"), 0x100000005, "2:Failed to delete registry key 'k' in hive 'HKLM': unknown error");

    // Refused before the host is asked.
    const std::size_t asked = Host().Journal().All().size();
    check(del_key("HKCU", "k"), -1, "2:Unknown root key 'HKCU'");
    check(del_value("hklm", "k", "v"), -1, "2:Unknown root key 'hklm'");
    check(del_key("HKLM", WithNul("Software\\A", "\\B")), -1,
          "2:Failed to delete registry key 'Software\\A' in hive 'HKLM': key name contains a nul character");
    check(del_value("HKLM", "k", WithNul("v", "w")), -1,
          "2:Failed to delete registry value key 'v' in hive 'HKLM' in subkey 'k': name contains a nul character");
    check(del_key("HKLM", "Software\\A\xFF"), -1,
          "2:Failed to delete registry key 'Software\\A\xFF' in hive 'HKLM': key name is not valid UTF-8");
    check(del_value("HKLM", "k", "v\xC3"), -1,
          "2:Failed to delete registry value key 'v\xC3' in hive 'HKLM' in subkey 'k': name is not valid UTF-8");
    EXPECT_EQ(Host().Journal().All().size(), asked);
}

}  // namespace
}  // namespace OrvikTest
