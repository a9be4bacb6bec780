// Text entropy against a slow reference: code points decoded one by one with
// a plain validity test, counted in an ordered map, summed in that order.
#include <cmath>
#include <map>
#include <numbers>

#include "fuzz_check.h"
#include "orvik/functions/file/entropy_calculation.h"

namespace {

std::u32string Decode(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t length = 1;
        char32_t cp = 0xFFFD;
        for (std::size_t n = 1; n <= 4 && i + n <= s.size(); ++n) {
            const std::string_view q = s.substr(i, n);
            const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(q[k]); };
            const bool surrogate = n == 3 && byte(0) == 0xED && byte(1) >= 0xA0 && byte(1) <= 0xBF && byte(2) >> 6 == 2;
            if (!surrogate && !Fuzz::IsUtf8(q)) continue;
            length = n;
            cp = n == 1 ? byte(0) : byte(0) & (0x7F >> n);
            for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (byte(k) & 0x3F);
            if (surrogate) cp = 0xFFFD;
            break;
        }
        out += cp;
        i += length;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::u32string points = Decode(text);
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
    return 0;
}
