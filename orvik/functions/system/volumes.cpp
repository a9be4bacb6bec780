// Storage volumes: the serial number and drive type of a root path, and the
// map from each mounted volume's kernel device to its first mount path.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>

#include "common/unique_resource.h"
#include "common/utf.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "volume_map.h"

namespace ScanEngine::System {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

constexpr DWORD kNameCapacity = MAX_PATH;  // units, terminator included

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string FromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// The root path a rule names, or nothing when it holds a nul or undecodable
// bytes: the system would then answer for a shorter or other path.
std::optional<std::wstring> RootPath(const Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    if (!Common::IsNameText(path)) return std::nullopt;
    return Common::Utf8ToWide(path.data(), path.size());
}

// An open volume search.
struct VolumeSearchTraits {
    using Value = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE search) noexcept { FindVolumeClose(search); }
};
using VolumeSearch = Common::UniqueResource<VolumeSearchTraits>;

class SystemVolumes final : public VolumeEnumeration {
public:
    std::uint32_t First(std::u16string& name) override {
        wchar_t buffer[kNameCapacity] = {};
        search_.Reset(FindFirstVolumeW(buffer, kNameCapacity));
        if (!search_) return GetLastError();
        name = FromWide(buffer, wcsnlen(buffer, kNameCapacity));
        return 0;
    }

    std::uint32_t Next(std::u16string& name) override {
        wchar_t buffer[kNameCapacity] = {};
        if (!FindNextVolumeW(search_.Get(), buffer, kNameCapacity)) return GetLastError();
        name = FromWide(buffer, wcsnlen(buffer, kNameCapacity));
        return 0;
    }

    std::uint32_t DeviceNames(const std::u16string& volume, std::u16string& devices) override {
        wchar_t buffer[kNameCapacity] = {};
        const DWORD length = QueryDosDeviceW(Wide(volume), buffer, kNameCapacity);
        if (length == 0) return GetLastError();
        devices = FromWide(buffer, std::min<DWORD>(length, kNameCapacity));
        return 0;
    }

    std::uint32_t MountPaths(const std::u16string& name, char16_t* buffer, std::uint32_t capacity,
                             std::uint32_t& needed) override {
        DWORD length = 0;
        if (GetVolumePathNamesForVolumeNameW(Wide(name), reinterpret_cast<wchar_t*>(buffer), capacity, &length))
            return 0;
        const DWORD code = GetLastError();
        needed = length;
        return code;
    }

private:
    VolumeSearch search_;
};

}  // namespace

std::int64_t GetVolumeSerial(Invocation& call) {
    const std::optional<std::wstring> path = RootPath(call);
    DWORD serial = 0;
    if (!path || !GetVolumeInformationW(path->c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return -1;
    // Sign-extended: a serial with its top bit set reads as negative.
    return static_cast<std::int32_t>(serial);
}

std::int64_t GetVolumeType(Invocation& call) {
    const std::optional<std::wstring> path = RootPath(call);
    if (!path) return DRIVE_NO_ROOT_DIR;
    return GetDriveTypeW(path->c_str());
}

std::int64_t GetVolumesMap(Invocation& call) {
    const auto output = call.args.GetStringAddress(arg::volumes_map);
    VolumesMap map;
    {
        SystemVolumes volumes;  // the search is closed before the map is handed over
        map = BuildVolumesMap(volumes);
    }
    if (!map.failure.empty()) call.context.Log(kLogError, map.failure);
    if (map.text) output.Assign(*map.text);
    return map.code;
}

}  // namespace ScanEngine::System
