// Process functions: the host's process cache, process tree and categories,
// and what the system itself tells about processes, threads, memory and tokens.
#pragma once

#include <cstdint>
#include <optional>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::Process {

std::int64_t GetProcessInfo(Invocation& call);
std::int64_t GetProcessTreeJson(Invocation& call);
std::int64_t GetProcessCategories(Invocation& call);
std::int64_t IsProcessTerminable(Invocation& call);

std::int64_t GetProcSnapshot(Invocation& call);

std::int64_t TerminateProcessByHost(Invocation& call);
// Runs before argument parsing: systems without the setting get 50.
std::optional<std::int64_t> SetProcessLoggingGate() noexcept;
std::int64_t SetProcessLogging(Invocation& call);
std::int64_t CheckIsUwp(Invocation& call);
std::int64_t HaveWindow(Invocation& call);
std::int64_t GetLoadedModules(Invocation& call);

std::int64_t InjectDetectTerminate(Invocation& call);
std::int64_t HollowDetectTerminate(Invocation& call);

std::int64_t MemoryScanItdt(Invocation& call);
std::int64_t MemoryScanMlGetStatistic(Invocation& call);

std::int64_t GetAccAttrBySid(Invocation& call);
std::int64_t GetAccAttrByPid(Invocation& call);
std::int64_t GetProcPrivAttr(Invocation& call);

}  // namespace ScanEngine::Process
