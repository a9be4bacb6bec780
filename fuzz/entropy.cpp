// Text entropy against a slow reference: each code point decoded by trying the lengths in turn with a plain validity
// test, counted in an ordered map, and the terms summed in that order.
#include <cmath>
#include <map>
#include <numbers>
#include <string>

#include "fuzz_check.h"
#include "orvik/functions/file/entropy_calculation.h"

namespace {

void Check(std::string_view text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t size = text.size();
    std::u32string points;
    for (std::size_t i = 0, n = 1; i < size; i += n) {
        char32_t cp = 0xFFFD;  // a byte that starts no sequence stands alone
        for (n = 1; n <= 4 && i + n <= size; ++n) {
            // An encoded surrogate (ED A0..BF xx) counts as one U+FFFD of three bytes.
            const bool surrogate = n == 3 && data[i] == 0xED && data[i + 1] >> 5 == 5 && data[i + 2] >> 6 == 2;
            if (!surrogate && !Fuzz::IsUtf8(text.substr(i, n))) continue;
            cp = n == 1 ? data[i] : data[i] & (0x7F >> n);
            for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (data[i + k] & 0x3F);
            if (surrogate) cp = 0xFFFD;
            break;
        }
        if (n > 4 || i + n > size) n = 1;
        points += cp;
    }
    FUZZ_CHECK(ScanEngine::File::DecodeForEntropy(text) == points);
    std::map<char32_t, std::uint64_t> counts;
    for (const char32_t cp : points) ++counts[cp];
    double sum = 0;
    for (const auto& [cp, count] : counts) {
        const double p = static_cast<double>(count) / static_cast<double>(points.size());
        sum += std::log(p) * p / std::numbers::ln2;
    }
    const ScanEngine::File::TextEntropy measured = ScanEngine::File::MeasureEntropy(text);
    FUZZ_CHECK(measured.length == points.size() && measured.entropy == (points.empty() ? 0 : std::llround(-sum * 100)));
    FUZZ_CHECK(ScanEngine::File::MeasureEntropyByLibrary(text).entropy == measured.entropy);
}

}  // namespace

// The input as it is, and repeated past the size that short texts are
// counted differently from, under each decoding width the processor has.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check(text);
    if (size == 0) return 0;
    std::string repeated;
    while (repeated.size() <= 5000) repeated += text;
    using ScanEngine::File::DecodeWidth;
    for (const DecodeWidth width : {DecodeWidth::k16, DecodeWidth::k32})
        if (ScanEngine::File::SetDecodeWidth(width)) Check(repeated);
    return 0;
}
