// The host's allow and block lists, quarantine cache, exploit-prevention
// exclusions and reputation services. Each function forwards to one host
// operation and returns its answer untouched; what the answer means is the
// host's business.
#include "common/error.h"
#include "common/format_string.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/call_reporting.h"
#include "orvik/functions/handlers.h"
#include "target_process.h"

namespace ScanEngine::Policy {
namespace {

using TextQuery = std::int32_t (LibraryContext::*)(const std::string& text);
using UserListQuery = std::int32_t (LibraryContext::*)(const std::string& path, std::uint64_t uid,
                                                       std::uint32_t pid);

// One text in, the host's answer out.
std::int64_t AskAboutText(Invocation& call, ArgName arg, TextQuery query) {
    return (call.library.*query)(call.args.GetString(arg));
}

// The user lists are per process, so the host wants the pid beside the uid.
std::int64_t AskUserList(Invocation& call, UserListQuery query) {
    const std::string path = call.args.GetString(arg::path);
    const auto puid = static_cast<std::uint64_t>(call.args.GetInteger(arg::puid));
    std::uint64_t pid = 0;
    if (const std::int32_t status = PidOfProcess(call, puid, pid); status != 0) return status;
    return (call.library.*query)(path, puid, static_cast<std::uint32_t>(pid));
}

}  // namespace

std::int64_t IsInUserAllowlist(Invocation& call) { return AskUserList(call, &LibraryContext::IsInUserAllowlist); }

std::int64_t IsInUserBlocklist(Invocation& call) { return AskUserList(call, &LibraryContext::IsInUserBlocklist); }

std::int64_t IsInTrustedHashesList(Invocation& call) {
    return AskAboutText(call, arg::hash, &LibraryContext::IsInTrustedHashesList);
}

std::int64_t IsInBlockedHashesList(Invocation& call) {
    return AskAboutText(call, arg::hash, &LibraryContext::IsInBlockedHashesList);
}

std::int64_t IsInThumbprintBlocklist(Invocation& call) {
    return AskAboutText(call, arg::thumbprint, &LibraryContext::IsInThumbprintBlocklist);
}

std::int64_t IsInExploitPreventionList(Invocation& call) {
    return AskAboutText(call, arg::path, &LibraryContext::IsInExploitPreventionList);
}

std::int64_t IsExploitPreventionTechniqueEnabled(Invocation& call) {
    // Technique ids are names to the host, not numbers.
    return AskAboutText(call, arg::id, &LibraryContext::IsExploitPreventionTechniqueEnabled);
}

std::int64_t DisableEpFile(Invocation& call) {
    return AskAboutText(call, arg::file, &LibraryContext::DisableExploitPreventionFile);
}

std::int64_t IsFileRestoredFromQuarantine(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string md5 = call.args.GetString(arg::md5);
    const std::string sha1 = call.args.GetString(arg::sha1);
    const std::string sha256 = call.args.GetString(arg::sha256);
    // The quarantine cache is keyed by content: without any hash there is nothing to look up.
    if (md5.empty() && sha1.empty() && sha256.empty())
        throw COMMON_ERROR(Common::FormatString(
            "Failed to query quarantine cache status of file '%s': no hashes are given", path.c_str()));
    return call.library.IsFileRestoredFromQuarantine(path, md5, sha1, sha256);
}

std::int64_t CheckFileReputationService(Invocation& call) {
    const std::string md5 = call.args.GetString(arg::md5);
    const auto ttl = static_cast<std::uint32_t>(call.args.GetInteger(arg::ttl));
    const auto uid = call.context.ProcessUid();
    if (!uid) return ReportNoProcessInfo(call.context.Raw());
    return call.library.CheckFileReputation(*uid, md5, ttl);
}

std::int64_t CheckCorporateWhitelist(Invocation& call) {
    const std::string md5 = call.args.GetString(arg::md5);
    // An empty threat name goes to the host as null (the library context does that).
    const std::string threat = call.args.GetString(arg::threat);
    const auto uid = call.context.ProcessUid();
    if (!uid) return ReportNoProcessInfo(call.context.Raw());
    return call.library.CheckCorporateWhitelist(*uid, md5, threat);
}

}  // namespace ScanEngine::Policy
