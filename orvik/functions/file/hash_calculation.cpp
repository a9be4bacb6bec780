// File digests computed by the host: the module names the digests a rule
// wants, the host reads the file with the token of the process behind the
// call and fills one buffer, and the module hands each digest to its rule
// variable as upper-case hex.
#include <array>
#include <iterator>
#include <memory>
#include <string>

#include "common/error.h"
#include "common/format_string.h"
#include "common/utf.h"
#include "file_actions.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/security_token.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::File {
namespace {

struct Digest {
    ArgName output;
    std::uint32_t bit;   // in the request mask
    std::size_t length;  // bytes
};

// The host packs the requested digests in this order, leaving out the others.
constexpr Digest kDigests[] = {{arg::md5, 1u << 0, 16}, {arg::sha1, 1u << 1, 20}, {arg::sha256, 1u << 2, 32}};
constexpr std::uint32_t kDigestBufferSize = 16 + 20 + 32;

std::string UpperHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigitText[] = "0123456789ABCDEF";
    std::string text(2 * count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        text[2 * i] = kDigitText[bytes[i] >> 4];
        text[2 * i + 1] = kDigitText[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace

std::int64_t EvalHashes(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string unique_id = call.args.GetString(arg::unique_file_id);
    std::uint32_t mask = 0;
    std::optional<StringAddress> outputs[std::size(kDigests)];
    for (std::size_t i = 0; i < std::size(kDigests); ++i) {
        outputs[i] = call.args.GetStringAddressIfGiven(kDigests[i].output);
        if (!outputs[i]) continue;
        mask |= kDigests[i].bit;
    }
    if (mask == 0)
        throw COMMON_ERROR(Common::FormatString("at least one hash (%s, %s, %s) must be requested", arg::md5.name,
                                                arg::sha1.name, arg::sha256.name));
    // The host would hash the file named by the part before the nul and the
    // rule would take those digests for this path's.
    if (Common::HoldsNul(path))
        throw COMMON_ERROR(Common::FormatString("cannot hash file '%s': path contains a nul character", path.c_str()));

    std::array<std::uint8_t, kDigestBufferSize> digests{};
    Abi::HashOptions options{};
    const std::int32_t status = call.library.EvalHashes(GetSecurityToken(call.context.Raw()), path, unique_id, mask,
                                                        digests.data(), kDigestBufferSize, &options);
    if (status != 0) return status;

    std::size_t at = 0;
    for (std::size_t i = 0; i < std::size(kDigests); ++i) {
        if (!outputs[i]) continue;
        outputs[i]->Assign(UpperHex(digests.data() + at, kDigests[i].length));
        at += kDigests[i].length;
    }
    return 0;
}

}  // namespace ScanEngine::File
