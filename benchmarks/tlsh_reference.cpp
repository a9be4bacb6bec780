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
    const char* text = hash.getHash();
    return text != nullptr ? text : "";
}

}  // namespace Reference
