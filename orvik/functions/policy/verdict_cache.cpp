// The host's per-file verdict cache and scan statistics. A cache entry is
// addressed by path, optional unique file id and a one-byte id; the module
// packs and unpacks the fixed records and hands the host the token of the
// triggering process, so the host can open the file as that process would.
#include <memory>

#include "orvik/context/argument_names.h"
#include "orvik/context/security_token.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::Policy {
namespace {

struct CacheKey {
    std::string path;
    std::string unique_id;  // empty when the rule gave none; never null for the host
    std::uint8_t id;        // the host's id space is one byte: higher bits are dropped
};

CacheKey ReadKey(const ArgParse& args) {
    return {args.GetString(arg::path), args.GetString(arg::unique_file_id),
            static_cast<std::uint8_t>(args.GetInteger(arg::id))};
}

SecurityToken TokenOf(const Invocation& call) { return GetSecurityToken(call.context.Raw()); }

}  // namespace

std::int64_t GetAvcVerdict(Invocation& call) {
    const CacheKey key = ReadKey(call.args);
    const auto value = call.args.GetIntegerAddress(arg::value_verdict);
    const auto current_scan_depth = static_cast<std::uint8_t>(call.args.GetInteger(arg::current_scan_depth));
    const auto ttl = call.args.GetIntegerAddressIfGiven(arg::ttl);
    const auto scan_depth = call.args.GetIntegerAddressIfGiven(arg::scan_depth);

    const SecurityToken token = TokenOf(call);
    Abi::VerdictRecord verdict{};
    const std::int32_t result =
        call.library.GetVerdict(token, key.path, key.unique_id, key.id, current_scan_depth, &verdict);
    if (result != 0) return result;

    // The verdict byte is signed: sign-extend it into the 64-bit variable.
    value.Assign(static_cast<std::uint64_t>(static_cast<std::int64_t>(verdict.value)));
    if (ttl) ttl->Assign(verdict.ttl);
    if (scan_depth) scan_depth->Assign(verdict.scan_depth);
    return result;
}

std::int64_t SetAvcVerdict(Invocation& call) {
    const CacheKey key = ReadKey(call.args);
    Abi::VerdictRecord verdict{};
    verdict.ttl = static_cast<std::uint32_t>(call.args.GetInteger(arg::ttl));
    verdict.id = key.id;
    verdict.value = static_cast<std::int8_t>(static_cast<std::uint8_t>(call.args.GetInteger(arg::value_verdict)));
    verdict.scan_depth = static_cast<std::uint8_t>(call.args.GetInteger(arg::scan_depth));
    return call.library.SetVerdict(TokenOf(call), key.path, key.unique_id, &verdict);
}

std::int64_t GetAvcScanStatistics(Invocation& call) {
    const CacheKey key = ReadKey(call.args);
    const auto scan_count = call.args.GetIntegerAddress(arg::scan_count);
    const auto last_scan_time = call.args.GetIntegerAddressIfGiven(arg::last_scan_time);

    const SecurityToken token = TokenOf(call);
    // Zeroed so that a host reporting success without filling it cannot hand
    // the rule stack contents.
    Abi::ScanStatisticsRecord statistics{};
    const std::int32_t result = call.library.GetScanStatistics(token, key.path, key.unique_id, key.id, &statistics);
    if (result != 0) return result;

    scan_count.Assign(statistics.scan_count);
    if (last_scan_time) last_scan_time->Assign(statistics.last_scan_time);
    return result;
}

std::int64_t ResetAvcScanStatistics(Invocation& call) {
    const CacheKey key = ReadKey(call.args);
    return call.library.ResetScanStatistics(TokenOf(call), key.path, key.unique_id, key.id);
}

}  // namespace ScanEngine::Policy
