// The distribution's TLSH library, the yardstick of the TLSH benchmark. Its
// class is named like our namespace, so it lives in a file of its own.
#include <tlsh.h>

#include <cstdint>
#include <string>

namespace Reference {

std::string TlshDigest(const std::uint8_t* data, std::size_t size) {
    Tlsh hash;
    hash.update(data, static_cast<unsigned>(size));
    hash.final();
    // 4.x versions put the version mark "T1" in front, 3.x ones do not.
    const char* text = hash.getHash();
    std::string digest = text != nullptr ? text : "";
    if (digest.size() == 72 && digest.starts_with("T1")) digest.erase(0, 2);
    return digest;
}

}  // namespace Reference
