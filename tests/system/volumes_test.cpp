// Volume functions through the module, compared with what this test reads
// from the same system calls: the machine's volumes are not ours to fix.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/utf.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Volumes = ModuleTest;
using VolumeSearch = std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)>;

std::string Utf8(const wchar_t* text) { return Common::WideToUtf8(text, wcslen(text)); }

struct Machine {
    std::vector<std::wstring> volume_names;
    std::string map;  // built independently, with buffers large enough at once
};

Machine ReadMachine() {
    Machine machine;
    wchar_t name[MAX_PATH] = {};
    const VolumeSearch search(FindFirstVolumeW(name, MAX_PATH), &FindVolumeClose);
    if (search.get() == INVALID_HANDLE_VALUE) return machine;
    do {
        machine.volume_names.push_back(name);
        const std::wstring volume(name + 4, wcslen(name) - 5);
        wchar_t device[MAX_PATH] = {};
        if (QueryDosDeviceW(volume.c_str(), device, MAX_PATH) == 0) ADD_FAILURE() << GetLastError();
        std::vector<wchar_t> paths(1 << 16);
        DWORD length = 0;
        if (GetVolumePathNamesForVolumeNameW(name, paths.data(), static_cast<DWORD>(paths.size()), &length) &&
            paths[0] != L'\0') {
            if (!machine.map.empty()) machine.map += "::";
            machine.map += Utf8(device) + "--" + Utf8(paths.data());
        }
    } while (FindNextVolumeW(search.get(), name, MAX_PATH));
    return machine;
}

std::int64_t SystemSerial(const std::wstring& path) {
    DWORD serial = 0;
    if (!GetVolumeInformationW(path.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return -1;
    return static_cast<std::int32_t>(serial);
}

TEST_F(Volumes, MapPairsMountedDevicesWithTheirFirstMountPathAndSerialAndTypeAnswerForRootsOnly) {
    const Machine machine = ReadMachine();
    ASSERT_NE(machine.map.find("\\Device\\"), std::string::npos) << machine.map;
    ASSERT_NE(machine.map.find("--C:\\"), std::string::npos) << machine.map;
    auto call = NewCall();
    call->variables[1] = {RefHost::Variable::Kind::String, 0, "stale"};
    const CallResult r = Call("get_volumes_map", {Arg::OutStr("volumes_map", 1)}, *call);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(1).text, machine.map);

    // Serial and type answer for root paths only.
    ASSERT_FALSE(machine.volume_names.empty());
    wchar_t unused[] = L"?:\\";
    const DWORD drives = GetLogicalDrives();
    for (int letter = 25; letter >= 0; --letter)
        if ((drives & (1u << letter)) == 0) unused[0] = static_cast<wchar_t>(L'A' + letter);
    ASSERT_NE(unused[0], L'?');

    struct Case {
        std::string path;
        std::int64_t serial;
        std::int64_t type;
    };
    std::vector<Case> cases = {
        {"C:\\", SystemSerial(L"C:\\"), DRIVE_FIXED},
        {Utf8(unused), -1, DRIVE_NO_ROOT_DIR},
        {"C:\\no such d\xC3\xAFr\\", SystemSerial(L"C:\\no such d\u00efr\\"), GetDriveTypeW(L"C:\\no such d\u00efr\\")},
        // The system would answer for "C:\" alone.
        {std::string("C:\\\0Q:\\", 6), -1, DRIVE_NO_ROOT_DIR},
    };
    EXPECT_NE(cases[0].serial, -1);
    for (const std::wstring& name : machine.volume_names)
        cases.push_back({Utf8(name.c_str()), SystemSerial(name), GetDriveTypeW(name.c_str())});
    for (const Case& c : cases) {
        const CallResult serial = Call("get_volume_serial", {Arg::Str("path", c.path)});
        EXPECT_EQ(serial.result, c.serial) << c.path;
        const CallResult type = Call("get_volume_type", {Arg::Str("path", c.path)});
        EXPECT_EQ(type.result, c.type) << c.path;
        EXPECT_TRUE(serial.log.empty() && type.log.empty()) << c.path;
    }
}

}  // namespace
}  // namespace OrvikTest
