// TLSH: the digest of a stream depends neither on the update path, nor on how it is cut into update() calls, nor on
// a reset before them; it is empty or "T1" and 70 upper-case hex digits.
#include <algorithm>
#include <cctype>

#include "fuzz_check.h"
#include "tlsh/tlsh.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::uint32_t seed = data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t{data[3]} << 24;
    data += 4;
    size -= 4;
    Tlsh::SetPath(Tlsh::Path::kScalar);
    Tlsh::Hash whole;
    whole.update(data, size);
    whole.final();
    const std::string digest = whole.getHash(1);
    FUZZ_CHECK(digest.empty() || (digest.size() == 72 && digest.starts_with("T1") && whole.getHash(0) == digest.substr(2)));
    FUZZ_CHECK(size >= Tlsh::Hash::kMinLength || digest.empty());
    for (std::size_t i = 2; i < digest.size(); ++i) FUZZ_CHECK(std::isdigit(digest[i]) || (digest[i] >= 'A' && digest[i] <= 'F'));

    // Every vector path the processor has, on chunks of 0 to 300 bytes from a linear congruential sequence.
    for (const auto path : {Tlsh::Path::kScalar, Tlsh::Path::kAvx2, Tlsh::Path::kAvx512Vbmi}) {
        if (!Tlsh::SetPath(path)) continue;
        Tlsh::Hash chunked;
        chunked.update(data, size / 2);  // undone by the reset
        chunked.reset();
        std::size_t at = 0;
        do {
            seed = seed * 1664525u + 1013904223u;
            const std::size_t chunk = std::min<std::size_t>(size - at, (seed >> 8) % 301);
            chunked.update(data + at, chunk);
            at += chunk;
        } while (at < size);
        chunked.final();
        FUZZ_CHECK(chunked.getHash(1) == digest);
    }
    return 0;
}
