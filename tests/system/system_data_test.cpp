// The pure parts of the system functions: the volume map walk over a scripted
// stand-in for the system's volumes, and registry value dumps.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "orvik/functions/system/registry_data.h"
#include "orvik/functions/system/volume_map.h"

namespace ScanEngine::System {
namespace {

struct Volume {
    std::u16string name;
    std::u16string devices;          // nul-separated answer
    std::u16string mount_paths;      // nul-terminated texts, list end included
    std::uint32_t device_error = 0;
    std::uint32_t mount_error = 0;   // instead of a list
    std::uint32_t reported_need = 0; // for a too small buffer; 0: the list's own length
};

class ScriptedVolumes final : public VolumeEnumeration {
public:
    explicit ScriptedVolumes(std::vector<Volume> volumes, std::uint32_t end_error = kErrorNoMoreFiles)
        : volumes_(std::move(volumes)), end_error_(end_error) {}

    std::uint32_t First(std::u16string& name) override { return Give(name); }
    std::uint32_t Next(std::u16string& name) override { return Give(name); }
    std::uint32_t DeviceNames(const std::u16string& volume, std::u16string& devices) override {
        const Volume& v = volumes_.at(next_ - 1);
        EXPECT_EQ(u"\\\\?\\" + volume + u"\\", v.name);
        devices = v.devices;
        return v.device_error;
    }
    std::uint32_t MountPaths(const std::u16string& name, char16_t* buffer, std::uint32_t capacity,
                             std::uint32_t& needed) override {
        const Volume& v = volumes_.at(next_ - 1);
        EXPECT_EQ(name, v.name);
        capacities.push_back(capacity);
        if (v.mount_error != 0) return v.mount_error;
        if (v.mount_paths.size() > capacity) {
            needed = v.reported_need != 0 ? v.reported_need : static_cast<std::uint32_t>(v.mount_paths.size());
            return kErrorMoreData;
        }
        std::fill_n(buffer, capacity, u'#');  // no terminator beyond the list
        std::copy(v.mount_paths.begin(), v.mount_paths.end(), buffer);
        return 0;
    }

    std::vector<std::uint32_t> capacities;

private:
    std::uint32_t Give(std::u16string& name) {
        if (next_ == volumes_.size()) return end_error_;
        name = volumes_[next_++].name;
        return 0;
    }

    std::vector<Volume> volumes_;
    std::uint32_t end_error_;
    std::size_t next_ = 0;
};

Volume Named(std::u16string name) { return {std::move(name), u"", u""}; }

Volume Mounted(int n, std::u16string paths) {
    const std::u16string digit(1, static_cast<char16_t>(u'0' + n));
    return {u"\\\\?\\Volume{" + digit + u"}\\",
            u"\\Device\\HarddiskVolume" + digit + std::u16string(u"\0\\Other\0", 8), paths};
}

TEST(VolumesMap, JoinsFirstMountPathsOfMountedVolumesAndFetchesLongListsAgain) {
    const std::u16string long_path = u"C:\\mnt\\" + std::u16string(300, u'd') + u"\\";
    Volume unmounted = Mounted(2, std::u16string(u"\0", 1));
    Volume unreadable = Mounted(3, u"");
    unreadable.mount_error = 5;
    Volume liar = Mounted(5, u"E:\\" + std::u16string(400, u'\0'));
    liar.reported_need = 100;  // claims less than the buffer it was refused
    ScriptedVolumes volumes({Mounted(1, std::u16string(u"C:\\\0D:\\mnt\\\0\0", 13)), unmounted, unreadable,
                             Mounted(4, long_path + std::u16string(u"\0\0", 2)), liar, unmounted});
    const VolumesMap map = BuildVolumesMap(volumes);
    EXPECT_EQ(map.code, 0u);
    EXPECT_EQ(map.failure, "");
    EXPECT_EQ(map.text, "\\Device\\HarddiskVolume1--C:\\::\\Device\\HarddiskVolume4--C:\\mnt\\" +
                            std::string(300, 'd') + "\\::\\Device\\HarddiskVolume5--E:\\");
    EXPECT_EQ(volumes.capacities, (std::vector<std::uint32_t>{261, 261, 261, 261, 310, 261, 522, 261}));
}

TEST(VolumesMap, FailuresKeepTheEntriesCollectedSoFar) {
    const Volume c = Mounted(1, std::u16string(u"C:\\\0\0", 5));
    Volume device_failure = Mounted(2, std::u16string(u"D:\\\0\0", 5));
    device_failure.device_error = 1;
    const std::optional<std::string> none, only_c = "\\Device\\HarddiskVolume1--C:\\";
    const std::uint32_t end = kErrorNoMoreFiles;
    const std::string bad_path = "FindFirstVolumeW/FindNextVolumeW returned a bad path: ";
    const struct {
        std::vector<Volume> volumes;
        std::uint32_t end_error, code;
        std::optional<std::string> text;
        std::string failure;
    } cases[] = {
        {{}, 21, 21, none, "FindFirstVolumeW failed with error code 21\n"},
        {{}, end, end, none, "FindFirstVolumeW failed with error code 18\n"},
        {{c, Named(u"\\\\?\\Vol\u00e4me{9}")}, end, kErrorBadPathname, only_c, bad_path + "\\\\?\\Vol\xC3\xA4me{9}\n"},
        {{c, device_failure}, end, 1, only_c, "QueryDosDeviceW failed with error code 1\n"},
        {{c}, 1117, 1117, only_c, "FindNextVolumeW failed with error code 1117\n"},
    };
    for (const auto& [list, end_error, code, text, failure] : cases) {
        ScriptedVolumes volumes(list, end_error);
        const VolumesMap map = BuildVolumesMap(volumes);
        EXPECT_EQ(map.code, code) << failure;
        EXPECT_EQ(map.text, text) << failure;
        EXPECT_EQ(map.failure, failure);
    }
}

TEST(RegistryData, IntegersAreLittleEndianWith32BitValuesSignExtended) {
    // Any value from its own dump is the fuzz target's; these pin the byte order and the sign of each width.
    EXPECT_EQ(ParseRegistryInt("FEFFFFFF").value, -2);
    EXPECT_EQ(ParseRegistryInt("ffffffff00000000").value, 4294967295);
    const std::pair<std::string, std::string> malformed[] = {
        {"010000", "Expected hex dump length 8, 16, actual dump size: 6"},
        {"010000000", "Invalid hex input : 010000000"},
        {"01 00 00 00", "Invalid hex input : 01 00 00 00"},
    };
    for (const auto& [dump, failure] : malformed) {
        EXPECT_FALSE(ParseRegistryInt(dump).value) << dump;
        EXPECT_EQ(ParseRegistryInt(dump).failure, failure);
    }
}

TEST(RegistryData, StringsAreUtf16WithMultiStringListsJoined) {
    const std::pair<const char*, std::string> cases[] = {
        {"610000000000620000000000", "a;;b"},      // an empty string inside the list
        {"610062000000", std::string("ab\0", 3)},  // a single terminator stays
        {"4100E900AC203DD800DE", "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
    };
    for (const auto& [dump, text] : cases) EXPECT_EQ(ParseRegistryString(dump).value, text) << dump;
    for (const char* dump : {"610062", "6100620", "61 00", "zz00"}) {
        EXPECT_FALSE(ParseRegistryString(dump).value) << dump;
        EXPECT_EQ(ParseRegistryString(dump).failure, std::string("Invalid hex input for utf16 string: ") + dump);
    }
    // A long value: 300 units, then a list terminator.
    std::string long_dump;
    for (int i = 0; i < 300; ++i) long_dump += "6100";
    EXPECT_EQ(ParseRegistryString(long_dump + "00000000").value, std::string(300, 'a'));
}

}  // namespace
}  // namespace ScanEngine::System
