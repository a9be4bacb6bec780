#include "alert_fields.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/hex_text.h"

namespace ScanEngine::Policy {

std::string AlertFolder(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    std::string folder(separator == std::string_view::npos ? path : path.substr(0, separator));
    if (!folder.empty() && folder.back() == ':') folder += '\\';
    return folder;
}

std::string AlertFileName(std::string_view path) {
    for (std::string_view prefix : {std::string_view("\\\\?\\UNC\\"), std::string_view("\\\\?\\")}) {
        if (path.substr(0, prefix.size()) == prefix) {
            path.remove_prefix(prefix.size());
            break;
        }
    }
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);
    const std::size_t last_separator = path.find_last_of("/\\");
    return std::string(last_separator == std::string_view::npos ? path : path.substr(last_separator + 1));
}

bool DecodeDigest(std::string_view text, std::uint8_t* out, std::size_t size) {
    std::memset(out, 0, size);
    const std::vector<std::uint8_t> bytes = Common::DecodeHexPairs(text);
    std::copy_n(bytes.begin(), std::min(bytes.size(), size), out);
    return text.size() == 2 * size && Common::IsWholeHexText(text);
}

}  // namespace ScanEngine::Policy
