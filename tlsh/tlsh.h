// TLSH locality-sensitive digest: 128 buckets, 1-byte checksum, window of 5.
// Pure computation; the digest of a stream does not depend on how it is
// split across update() calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Tlsh {

// How update() computes: the scalar code runs everywhere, the vector ones
// where the processor has the instructions (kAvx512Vbmi: AVX-512 F, BW, VBMI
// and VBMI2). All give the same digests.
enum class Path { kScalar, kAvx2, kAvx512Vbmi };
bool Supports(Path path);
// The path every Hash takes from now on (all threads); false, and no change,
// when the processor lacks it. Until then: the fastest one it has.
bool SetPath(Path path);
Path CurrentPath();

class Hash {
public:
    // Inputs shorter than this give no digest.
    static constexpr std::uint64_t kMinLength = 50;
    // The digest encodes lengths up to 32 bits.
    static constexpr std::uint64_t kMaxLength = 0xFFFFFFFF;

    void update(const std::uint8_t* data, std::size_t length);
    // Forms the digest (default option); later update() calls are ignored.
    void final();
    // "T1" and 70 upper-case hex digits (without "T1" when showVersion is 0),
    // or the empty string when no digest could be formed or final() has not run.
    std::string getHash(int showVersion) const;
    void reset();

private:
    static constexpr std::size_t kBodyBytes = 32;

    // Triplet counts by index before the last Pearson round (a permutation),
    // in 8 tables of 256 (the update kernel's layout): final() adds them up
    // into bucket counts, of which the first 128 make the digest.
    std::array<std::uint64_t, 8 * 256> counts_{};
    std::array<std::uint8_t, 4> recent_{};  // the last four bytes seen, oldest first
    std::uint64_t length_ = 0;
    std::uint8_t checksum_ = 0;
    bool finalized_ = false;
    bool valid_ = false;
    // The digest in text order: checksum, length code, quartile ratios, body.
    std::array<std::uint8_t, 3 + kBodyBytes> digest_{};
};

}  // namespace Tlsh
