// Who stands behind an executable, as the host sees it: signature checks and
// the system-critical flag. The host verifies; the module passes the path and
// copies the answer into the rule's variables. The records the host hands
// back are released here, once, whatever happens in between.
#include <memory>

#include "common/format_string.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/host_objects.h"
#include "orvik/context/security_token.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::File {
namespace {

using Common::FormatString;

// Failure the module finds itself: the host said yes but gave no record.
constexpr std::int64_t kNoRecord = -1;

// A text the host may leave unset; unset reads as empty.
const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

std::uint64_t SignExtended(std::int32_t value) { return static_cast<std::uint64_t>(std::int64_t{value}); }

}  // namespace

std::int64_t CheckSignature(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string unique_id = call.args.GetString(arg::unique_file_id);
    const auto status_out = call.args.GetIntegerAddressIfGiven(arg::status);
    const auto thumbprint_out = call.args.GetStringAddressIfGiven(arg::thumbprint);
    const auto vendor_out = call.args.GetStringAddressIfGiven(arg::vendor);

    Abi::SignatureInfo* raw = nullptr;
    const std::int32_t status = call.library.CheckSignature(GetSecurityToken(call.context.Raw()), path, unique_id, &raw);
    // Owned before anything is looked at: a record that comes with a failure is released too.
    const HostObject<Abi::SignatureInfo> record(raw);
    if (status != 0 || !record) {
        call.context.Log(kLogWarning, FormatString("CheckSignature failed to GetSignatureInfo, path: %s, return value: %u",
                                                   path.c_str(), static_cast<unsigned>(status)));
        return status != 0 ? status : kNoRecord;
    }
    if (status_out) status_out->Assign(SignExtended(record->status));
    if (thumbprint_out) thumbprint_out->Assign(std::string(OrEmpty(record->thumbprint)));
    if (vendor_out) vendor_out->Assign(std::string(OrEmpty(record->vendor)));
    return 0;
}

std::int64_t CheckExtendedSignature(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string unique_id = call.args.GetString(arg::unique_file_id);
    const auto text_out = call.args.GetStringAddressIfGiven(arg::signature_info_ext);
    const auto schema_out = call.args.GetIntegerAddressIfGiven(arg::schema_version);
    const auto mask = static_cast<std::uint32_t>(call.args.GetInteger(arg::signature_mask));
    const std::uint8_t deep_scan = call.args.GetInteger(arg::is_deep_scan) != 0 ? 1 : 0;

    Abi::ExtendedSignatureInfo* raw = nullptr;
    const std::int32_t status = call.library.CheckExtendedSignature(GetSecurityToken(call.context.Raw()), path,
                                                                    unique_id, &raw, mask, deep_scan);
    const HostObject<Abi::ExtendedSignatureInfo> record(raw);
    if (status != 0 || !record) {
        call.context.Log(kLogWarning, FormatString("Failed to GetExtendedSignatureInfo, path: %s, return value: %u",
                                                   path.c_str(), static_cast<unsigned>(status)));
        return status != 0 ? status : kNoRecord;
    }
    // Exactly the given length: the text need not end in a NUL.
    if (text_out) {
        if (record->text != nullptr) text_out->Assign(record->text, record->text_length);
        else text_out->Assign(std::string());
    }
    if (schema_out) schema_out->Assign(record->schema_version);
    return 0;
}

std::int64_t IsExecutableSystemCritical(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string unique_id = call.args.GetString(arg::unique_file_id);
    const auto status_out = call.args.GetIntegerAddress(arg::status);
    auto answer = static_cast<std::uint32_t>(-1);
    const std::int32_t result = call.library.IsExecutableSystemCritical(path, unique_id, &answer);
    if (result != 0) return result;
    status_out.Assign(SignExtended(static_cast<std::int32_t>(answer)));
    return 0;
}

}  // namespace ScanEngine::File
