// Detections, sample uploads, raw EDR events and significant-process notices:
// the module fills the host's fixed records and passes the host's result back
// to the rule unchanged.
#include <cinttypes>

#include "alert_fields.h"
#include "common/error.h"
#include "common/format_string.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/call_reporting.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::Policy {
namespace {

// Decodes one digest argument into its fixed-size buffer; a text that is not a
// digest of that size is still passed (zero-padded) but noted in the log.
void ReadDigest(Invocation& call, ArgName arg, std::uint8_t* out, std::size_t size) {
    if (!DecodeDigest(call.args.GetString(arg), out, size)) {
        call.context.Log(kLogWarning,
                         Common::FormatString("alert: argument '%s' is not a %zu-byte hex digest", arg.name, size));
    }
}

std::uint8_t Flag(Invocation& call, ArgName arg, std::uint8_t absent) {
    return call.args.IsGiven(arg) ? call.args.GetInteger(arg) != 0 : absent;
}

std::uint32_t Low32(Invocation& call, ArgName arg) { return static_cast<std::uint32_t>(call.args.GetInteger(arg)); }

std::int64_t SignificantProcess(Invocation& call, bool started) {
    const std::string identity = call.args.GetString(arg::identity);
    const auto uid = call.context.ProcessUid();
    const auto pid = uid ? call.context.ProcessId() : std::nullopt;
    if (!uid || !pid) return ReportNoProcessInfo(call.context.Raw());

    Abi::SignificantProcessRecord record{};
    record.identity = identity.c_str();
    record.process_uid = *uid;
    record.process_id = static_cast<std::uint32_t>(*pid);
    return started ? call.library.OnSignificantProcessStarted(&record)
                   : call.library.OnSignificantProcessTerminated(&record);
}

}  // namespace

std::int64_t Alert(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string threat = call.args.GetString(arg::threat);
    const std::string folder = AlertFolder(path);
    const std::string file_name = AlertFileName(path);
    std::uint8_t md5[kMd5Size], sha1[kSha1Size], sha256[kSha256Size];
    ReadDigest(call, arg::md5, md5, sizeof md5);
    ReadDigest(call, arg::sha1, sha1, sizeof sha1);
    ReadDigest(call, arg::sha256, sha256, sizeof sha256);

    Abi::AlertRecord alert{};
    alert.folder = folder.c_str();
    alert.file_name = file_name.c_str();
    alert.rule_id = Low32(call, arg::rule);
    alert.threat = threat.c_str();
    alert.md5 = md5;
    alert.sha1 = sha1;
    alert.sha256 = sha256;
    alert.file_size = Low32(call, arg::file_size);
    alert.can_quarantine = Flag(call, arg::can_quarantine, 1);
    alert.upload_enabled = Flag(call, arg::enable_upload, alert.can_quarantine);
    alert.engine_id = Low32(call, arg::engine_id);
    alert.system_pid = Low32(call, arg::systempid);
    const std::int32_t result = call.library.RaiseAlert(&alert);

    // The alert is out: whatever happens now, the rule gets the host's answer.
    try {
        if (const auto uid = call.context.ProcessUid()) call.context.ReportProcessThreat(*uid, threat.c_str());
    } catch (const Common::Error& error) {
        call.context.Log(kLogWarning, "alert: threat not reported to the rules engine: " + error.Text());
    }
    return result;
}

std::int64_t UploadSample(Invocation& call) {
    return call.library.UploadSample(call.args.GetString(arg::path), call.args.GetString(arg::threat));
}

std::int64_t OnEdrEvent(Invocation& call) {
    std::uint64_t available = 0;
    const char* data = call.args.GetStringData(arg::binary, available);
    const std::int64_t length = call.args.GetInteger(arg::length);
    const auto passed = static_cast<std::uint32_t>(length);
    if (data == nullptr) throw COMMON_ERROR("argument 'binary' has no bytes");
    // The host reads `passed` bytes from `data`; it must not run past the value.
    if (passed > available) {
        throw COMMON_ERROR(Common::FormatString("argument 'length' (%" PRId64 ") exceeds the %" PRIu64
                                                " bytes of argument 'binary'",
                                                length, available));
    }
    return call.library.OnEdrEvent(data, passed);
}

std::int64_t OnSignificantProcessStarted(Invocation& call) { return SignificantProcess(call, true); }
std::int64_t OnSignificantProcessTerminated(Invocation& call) { return SignificantProcess(call, false); }

}  // namespace ScanEngine::Policy
