// Detection-policy functions: pass-throughs to the host's policy store,
// lists, verdict cache, alerting and telemetry, plus a random sampling test.
#pragma once

#include <cstdint>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::Policy {

std::int64_t IsEngineEnabled(Invocation& call);
std::int64_t IsProcessTerminationEnabled(Invocation& call);
std::int64_t GetCurrentActionOnDetection(Invocation& call);
std::int64_t WhitelistProcess(Invocation& call);
std::int64_t SuppressProcess(Invocation& call);
std::int64_t SetProcessMonitoredStatus(Invocation& call);
std::int64_t ProbabilityCheck(Invocation& call);
std::int64_t GetUnixUserInfo(Invocation& call);
std::int64_t GetUnixGroupInfo(Invocation& call);

// Verdict cache.
std::int64_t GetAvcVerdict(Invocation& call);
std::int64_t SetAvcVerdict(Invocation& call);
std::int64_t GetAvcScanStatistics(Invocation& call);
std::int64_t ResetAvcScanStatistics(Invocation& call);

// Allow and block lists, quarantine and reputation.
std::int64_t IsInUserAllowlist(Invocation& call);
std::int64_t IsInUserBlocklist(Invocation& call);
std::int64_t IsInTrustedHashesList(Invocation& call);
std::int64_t IsInBlockedHashesList(Invocation& call);
std::int64_t IsInThumbprintBlocklist(Invocation& call);
std::int64_t IsInExploitPreventionList(Invocation& call);
std::int64_t IsExploitPreventionTechniqueEnabled(Invocation& call);
std::int64_t DisableEpFile(Invocation& call);
std::int64_t IsFileRestoredFromQuarantine(Invocation& call);
std::int64_t CheckFileReputationService(Invocation& call);
std::int64_t CheckCorporateWhitelist(Invocation& call);

// Alerts, telemetry, samples and events.
std::int64_t Alert(Invocation& call);
std::int64_t SendTelemetry(Invocation& call);
std::int64_t SendFeaturesTelemetry(Invocation& call);
std::int64_t SendJsonTelemetry(Invocation& call);
std::int64_t UploadSample(Invocation& call);
std::int64_t OnEdrEvent(Invocation& call);
std::int64_t OnSignificantProcessStarted(Invocation& call);
std::int64_t OnSignificantProcessTerminated(Invocation& call);

}  // namespace ScanEngine::Policy
