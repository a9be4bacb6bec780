// TLSH: the digest of a stream does not depend on how it is cut into
// update() calls, nor on a reset in between; it is empty or "T1" and 70
// upper-case hex digits.
#include <algorithm>

#include "fuzz_check.h"
#include "tlsh/tlsh.h"

namespace {

std::string Digest(const std::uint8_t* data, std::size_t size, std::uint32_t seed, Tlsh::Hash& hash) {
    // Chunk lengths from a small linear congruential sequence: 0 to 300 bytes each.
    std::size_t at = 0;
    do {
        seed = seed * 1664525u + 1013904223u;
        const std::size_t chunk = std::min<std::size_t>(size - at, (seed >> 8) % 301);
        hash.update(data + at, chunk);
        at += chunk;
    } while (at < size);
    hash.final();
    return hash.getHash(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint32_t seed = data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t{data[3]} << 24;
    data += 4;
    size -= 4;
    Tlsh::Hash whole;
    whole.update(data, size);
    whole.final();
    const std::string digest = whole.getHash(1);
    FUZZ_CHECK(size >= Tlsh::Hash::kMinLength || digest.empty());
    FUZZ_CHECK(digest.empty() || (digest.size() == 72 && digest.starts_with("T1") && whole.getHash(0) == digest.substr(2)));
    for (std::size_t i = 2; i < digest.size(); ++i) FUZZ_CHECK((digest[i] >= '0' && digest[i] <= '9') || (digest[i] >= 'A' && digest[i] <= 'F'));

    Tlsh::Hash chunked;
    chunked.update(data, size / 2);  // thrown away by the reset
    chunked.reset();
    FUZZ_CHECK(Digest(data, size, seed, chunked) == digest);
    return 0;
}
