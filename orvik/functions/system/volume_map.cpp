#include "volume_map.h"

#include <string_view>
#include <vector>

#include "common/format_string.h"
#include "common/utf.h"

namespace ScanEngine::System {
namespace {

constexpr std::u16string_view kVolumePrefix = u"\\\\?\\";
constexpr std::uint32_t kFirstMountListCapacity = 261;
// A list the system keeps reporting as larger than this is not believed; the
// volume is then treated as unmounted rather than exhausting memory.
constexpr std::uint32_t kMaxMountListCapacity = 1u << 24;

// The Volume{...} form of a volume name: without the \\?\ prefix and the
// trailing backslash. Nothing when the name does not have that shape or has
// nothing between them, which names no volume.
std::optional<std::u16string> VolumeForm(const std::u16string& name) {
    if (name.size() <= kVolumePrefix.size() + 1 || !name.starts_with(kVolumePrefix) || !name.ends_with(u'\\'))
        return std::nullopt;
    return name.substr(kVolumePrefix.size(), name.size() - kVolumePrefix.size() - 1);
}

// The first of a sequence of nul-terminated texts, never past its end.
std::u16string_view FirstText(std::u16string_view texts) { return texts.substr(0, texts.find(u'\0')); }

// The volume's first mount path; empty when it has none or cannot be asked.
std::u16string FirstMountPath(VolumeEnumeration& volumes, const std::u16string& name) {
    std::vector<char16_t> buffer(kFirstMountListCapacity);
    for (;;) {
        std::uint32_t needed = 0;
        const std::uint32_t code =
            volumes.MountPaths(name, buffer.data(), static_cast<std::uint32_t>(buffer.size()), needed);
        if (code == 0) return std::u16string(FirstText({buffer.data(), buffer.size()}));
        if (code != kErrorMoreData) return {};
        // Mount points may be added between two calls. An answer that is no
        // larger than the buffer it refused would loop forever, so the
        // buffer always grows.
        const std::size_t next = needed > buffer.size() ? needed : buffer.size() * 2;
        if (next > kMaxMountListCapacity) return {};
        buffer.assign(next, u'\0');
    }
}

std::string FailureLine(const char* call, std::uint32_t code) {
    return Common::FormatString("%s failed with error code %d\n", call, static_cast<int>(code));
}

}  // namespace

VolumesMap BuildVolumesMap(VolumeEnumeration& volumes) {
    std::u16string name;
    if (const std::uint32_t code = volumes.First(name); code != 0)
        return {code, std::nullopt, FailureLine("FindFirstVolumeW", code)};

    VolumesMap map{0, std::string(), std::string()};
    std::string& text = *map.text;
    for (;;) {
        const std::optional<std::u16string> volume = VolumeForm(name);
        if (!volume) {
            map.code = kErrorBadPathname;
            map.failure = Common::FormatString("FindFirstVolumeW/FindNextVolumeW returned a bad path: %s\n",
                                               Common::Utf16ToUtf8(name).c_str());
            break;
        }
        std::u16string devices;
        if (const std::uint32_t code = volumes.DeviceNames(*volume, devices); code != 0) {
            map.code = code;
            map.failure = FailureLine("QueryDosDeviceW", code);
            break;
        }
        const std::u16string mount_path = FirstMountPath(volumes, name);
        if (!mount_path.empty()) {
            if (!text.empty()) text += "::";
            text += Common::Utf16ToUtf8(FirstText(devices));
            text += "--";
            text += Common::Utf16ToUtf8(mount_path);
        }
        if (const std::uint32_t code = volumes.Next(name); code != 0) {
            if (code != kErrorNoMoreFiles) {
                map.code = code;
                map.failure = FailureLine("FindNextVolumeW", code);
            }
            break;
        }
    }
    return map;
}

}  // namespace ScanEngine::System
