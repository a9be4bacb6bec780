// Shannon entropy of a text, per code point. The text is decoded from UTF-8
// with a fixed rule for bad input so that any byte string has exactly one
// answer, and the sum is formed in one fixed order so that the answer is the
// same bits on every run and every input size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ScanEngine::File {

struct TextEntropy {
    std::int64_t entropy = 0;  // bits per code point, times 100, rounded half away from zero
    std::uint64_t length = 0;  // code points, not bytes
};

// Decoding: a byte below 0x80; a two-byte sequence worth at least 0x80; a
// three-byte sequence worth at least 0x800, where a surrogate value becomes
// U+FFFD (all three bytes consumed); a four-byte sequence worth 0x10000 to
// 0x10FFFF. Any other byte is consumed alone as one U+FFFD; runs of bad
// bytes are not merged. The sum runs over the distinct code points in
// ascending order: s += ln(p) * p / ln(2) with the runtime library's
// logarithm, result llround(-s * 100). (The sum is first formed with a
// quicker logarithm of known error, and formed as above only when that
// leaves the rounding in doubt: the result is the same.)
TextEntropy MeasureEntropy(std::string_view text);

// The same, formed with the runtime library's logarithm alone: what
// MeasureEntropy falls back to near a rounding step, for the checks.
TextEntropy MeasureEntropyByLibrary(std::string_view text);

// How texts past 4 KiB are decoded: 16 positions at a time, or 32 where the
// processor has AVX2 (the default there). The results are the same; tests
// and benchmarks choose each. SetDecodeWidth refuses a width the processor
// lacks.
enum class DecodeWidth { k16, k32 };
bool SupportsDecodeWidth(DecodeWidth width);
bool SetDecodeWidth(DecodeWidth width);

// The code points MeasureEntropy counts, in text order.
std::u32string DecodeForEntropy(std::string_view text);

}  // namespace ScanEngine::File
