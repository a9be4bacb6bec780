// What the TLSH update paths share (internal): the tables, the running state
// between positions, and the counting of index blocks that vector code filled.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Tlsh::Kernel {

// The permutation of 0..255 published with Pearson hashing (1990): the mixing
// step of every mapping.
inline constexpr std::array<std::uint8_t, 256> kPearson = {
    1,   87,  49,  12,  176, 178, 102, 166, 121, 193, 6,   84,  249, 230, 44,  163, 14,  197, 213, 181, 161, 85,
    218, 80,  64,  239, 24,  226, 236, 142, 38,  200, 110, 177, 104, 103, 141, 253, 255, 50,  77,  101, 81,  18,
    45,  96,  31,  222, 25,  107, 190, 70,  86,  237, 240, 34,  72,  242, 20,  214, 244, 227, 149, 235, 97,  234,
    57,  22,  60,  250, 82,  175, 208, 5,   127, 199, 111, 62,  135, 248, 174, 169, 211, 58,  66,  154, 106, 195,
    245, 171, 17,  187, 182, 179, 0,   243, 132, 56,  148, 75,  128, 133, 158, 100, 130, 126, 91,  13,  153, 246,
    216, 219, 119, 68,  223, 78,  83,  88,  201, 99,  122, 11,  92,  32,  136, 114, 52,  10,  138, 30,  48,  183,
    156, 35,  61,  26,  143, 74,  251, 94,  129, 162, 63,  152, 170, 7,   115, 167, 241, 206, 3,   150, 55,  59,
    151, 220, 90,  53,  23,  131, 125, 173, 15,  238, 79,  95,  89,  16,  105, 137, 225, 224, 217, 160, 37,  123,
    118, 73,  2,   157, 46,  116, 9,   145, 134, 228, 207, 212, 202, 215, 69,  229, 27,  188, 67,  124, 168, 252,
    42,  4,   29,  108, 21,  247, 19,  205, 39,  203, 233, 40,  186, 147, 198, 192, 155, 33,  164, 191, 98,  204,
    165, 180, 117, 76,  140, 36,  210, 172, 41,  54,  159, 8,   185, 232, 113, 196, 231, 47,  146, 120, 51,  65,
    28,  144, 254, 221, 93,  189, 194, 139, 112, 43,  71,  109, 184, 209,
};

// A bucket is the Pearson hash of (salt, a, b, c); its first round depends on
// the salt only. kSaltSeed[s] = kPearson[salt]: salt 0 (the checksum's) first,
// then the triplets' salts in the order of the byte their second round mixes.
inline constexpr std::array<std::uint8_t, 7> kSaltSeed = {kPearson[0], kPearson[2], kPearson[3], kPearson[11],
                                                          kPearson[5], kPearson[7], kPearson[13]};

// The first two Pearson rounds of every salt depend on the newest byte only:
// one word per byte, salt s in byte s (in memory order too), read with a
// single load.
static_assert(std::endian::native == std::endian::little);
inline constexpr std::array<std::uint64_t, 256> kSaltRows = [] {
    std::array<std::uint64_t, 256> rows{};
    for (unsigned x = 0; x < 256; ++x)
        for (unsigned s = 0; s < kSaltSeed.size(); ++s) rows[x] |= std::uint64_t{kPearson[kSaltSeed[s] ^ x]} << (8 * s);
    return rows;
}();

// Salt s's second round mixes the byte kSecond[s] places back, and a
// triplet's index the byte kLast[s] places back (the checksum, salt 0, has none).
inline constexpr std::array<int, 7> kSecond = {1, 1, 1, 1, 2, 2, 3}, kLast = {0, 2, 3, 4, 3, 4, 4};

// The running state of a stream. Triplets are counted by their index before
// the last round (a permutation that final() applies once), in kCountTables
// tables that final() adds up: neighbouring increments go to different
// tables, so a run of equal indices does not wait on its own stores. The
// scalar path uses the first only.
inline constexpr std::size_t kCountTables = 8;

struct Run {
    std::uint64_t* counts;    // kCountTables x 256
    unsigned a1, a2, a3, a4;  // the last four bytes, a1 the newest
    unsigned checksum;
};

// Whether a triplet's bucket is among the coded ones, by its index before
// the last round: bit z % 8 of byte z / 8. kUncodedIndex is one that is not.
inline constexpr std::array<std::uint8_t, 32> kCodedSet = [] {
    std::array<std::uint8_t, 32> set{};
    for (unsigned z = 0; z < 256; ++z)
        if (kPearson[z] < 128) set[z / 8] = static_cast<std::uint8_t>(set[z / 8] | 1u << (z % 8));
    return set;
}();
inline constexpr std::uint8_t kUncodedIndex = 4;
static_assert(kPearson[kUncodedIndex] >= 128);

// A block of n positions from a vector path: each position's checksum-round
// input (before the running checksum), and the block's coded triplets side by
// side (about half of its 6n), padded with kUncodedIndex to a whole group of
// eight. The checksum stays a serial chain and the counting is scalar: both
// are done in parts between the vector steps of the next block, so the two
// kinds of work overlap in the processor.
template <std::size_t n>
struct Block {
    alignas(64) std::uint8_t checks[n];
    alignas(64) std::uint8_t coded[7 * n];  // 6n at most, and room for a whole vector store past the end
    std::size_t groups = 0;
};

// One round of the checksum chain, the serial part of every path: the
// input is kept a whole register, so that the round is one XOR and one load
// (left to itself, the compiler XORs bytes and then widens the result, which
// adds a cycle to each round of the chain).
inline unsigned ChecksumRound(unsigned input, unsigned checksum) {
    asm("" : "+r"(input));
    return kPearson[input ^ checksum];
}

// The checksum chain over positions [8 * from, 8 * to) of a block.
inline void ChainChecksum(Run& run, const std::uint8_t* checks, std::size_t from, std::size_t to) {
    unsigned c = run.checksum;
    for (std::size_t j = 8 * from; j < 8 * to; j += 8) {
        std::uint64_t w;
        std::memcpy(&w, checks + j, 8);
        for (int k = 0; k < 8; ++k) {
            c = ChecksumRound(static_cast<unsigned>(w & 0xFF), c);
            // Each byte taken after the round before it, as far as the
            // compiler knows: otherwise it takes all eight first and spills
            // them to vector registers. The processor still takes them early.
            w >>= 8;
            asm("" : "+r"(w) : "r"(c));
        }
    }
    run.checksum = c;
}

// Brings the next two bytes of a word to its low end, where each is read with
// one instruction (the second as a high-byte register) instead of a shift and
// a move each. The empty asm keeps the word in such a register, and the turn
// a rotate. Six instructions a position fewer in the scalar loop (1-4 %
// faster), and the AVX2 path's counting 4-8 % faster.
inline std::uint64_t Turn(std::uint64_t w) {
    w = std::rotr(w, 16);
    asm("" : "+Q"(w));
    return w;
}

// Counts groups [from, to) of eight of a coded stream, two bytes a turn.
inline void CountCoded(Run& run, const std::uint8_t* stream, std::size_t from, std::size_t to) {
    for (std::size_t j = 8 * from; j < 8 * to; j += 8) {
        std::uint64_t w;
        std::memcpy(&w, stream + j, 8);
        for (std::size_t k = 0; k < 8; k += 2, w = Turn(w)) {
            ++run.counts[256 * (k % kCountTables) + (w & 0xFF)];
            ++run.counts[256 * ((k + 1) % kCountTables) + (w >> 8 & 0xFF)];
        }
    }
}

// Part `part` of 7 of a block's scalar work.
template <std::size_t n>
inline void CountPart(Run& run, const Block<n>& block, int part) {
    constexpr std::size_t eights = n / 8;
    ChainChecksum(run, block.checks, part * eights / 7, (part + 1) * eights / 7);
    CountCoded(run, block.coded, part * block.groups / 7, (part + 1) * block.groups / 7);
}

// Ends a vector path at position i: counts its last block and takes the
// window from the data, and returns i.
template <std::size_t n>
inline std::size_t Finish(Run& run, const Block<n>& last, const std::uint8_t* data, std::size_t i) {
    for (int part = 0; part < 7; ++part) CountPart(run, last, part);
    run.a1 = data[i - 1];
    run.a2 = data[i - 2];
    run.a3 = data[i - 3];
    run.a4 = data[i - 4];
    return i;
}

// Vector paths over positions [from, to) of data, from >= 4 (the window comes
// from data): each does whole blocks only, leaves run at the first position it
// did not do, and returns that position.
std::size_t UpdateAvx2(Run& run, const std::uint8_t* data, std::size_t from, std::size_t to);
std::size_t UpdateAvx512Vbmi(Run& run, const std::uint8_t* data, std::size_t from, std::size_t to);

}  // namespace Tlsh::Kernel
