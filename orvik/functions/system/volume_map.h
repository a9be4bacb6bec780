// The text that maps each mounted volume's kernel device name to its first
// mount path. The walk over the volumes is kept apart from the system calls,
// so that every branch (unmounted volumes, long mount paths, failures half
// way) can be driven by a stand-in for the system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ScanEngine::System {

// Windows codes the walk itself looks at or answers with.
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorBadPathname = 161;
inline constexpr std::uint32_t kErrorMoreData = 234;

// The system's side of the walk. Every operation returns 0 or a Windows
// error code.
class VolumeEnumeration {
public:
    virtual ~VolumeEnumeration() = default;

    // Starts the search with the first volume name (\\?\Volume{...}\).
    virtual std::uint32_t First(std::u16string& name) = 0;
    virtual std::uint32_t Next(std::u16string& name) = 0;
    // The device answer for a volume's Volume{...} form: nul-separated texts.
    virtual std::uint32_t DeviceNames(const std::u16string& volume, std::u16string& devices) = 0;
    // The mount paths of the volume `name` into `buffer` of `capacity` units,
    // as nul-terminated texts ending with an empty one. With kErrorMoreData
    // `needed` holds the capacity the list requires.
    virtual std::uint32_t MountPaths(const std::u16string& name, char16_t* buffer, std::uint32_t capacity,
                                     std::uint32_t& needed) = 0;
};

struct VolumesMap {
    std::uint32_t code = 0;           // 0, or the Windows error code that ended the walk
    std::optional<std::string> text;  // UTF-8; absent only when the search could not start
    std::string failure;              // the line to log at level 2, empty when none
};

// Entries "<device>--<first mount path>" joined with "::", in enumeration
// order; unmounted volumes are left out. A walk that fails half way keeps
// the entries collected before the failure.
VolumesMap BuildVolumesMap(VolumeEnumeration& volumes);

}  // namespace ScanEngine::System
