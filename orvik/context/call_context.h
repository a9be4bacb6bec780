// The module's view of the host's call context: one object per handler call,
// borrowed for that call only. Operations the host left unset are treated as
// host failures (raised as errors, or skipped for logging), never called.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host_abi.h"

namespace ScanEngine {

enum LogLevel : std::uint32_t { kLogInfo = 0, kLogWarning = 1, kLogError = 2 };

class CallContextRef {
public:
    explicit CallContextRef(Abi::CallContext* call) : call_(call) {}

    Abi::CallContext* Raw() const { return call_; }

    // The registered name of the function being called; never null.
    const char* FunctionName() const;
    void Log(std::uint32_t level, const std::string& text) const;

    std::optional<std::uint64_t> ProcessUid() const;
    std::optional<std::uint64_t> ProcessId() const;
    std::int32_t ResolveProcessId(std::uint64_t uid, std::uint64_t& pid) const;
    std::int32_t ResolveProcessForSuppression(std::uint64_t uid, std::uint64_t& pid) const;
    void OnProcessWhitelisted(std::uint64_t uid) const;
    void ReportProcessThreat(std::uint64_t uid, const char* threat) const;

    // Fills `out` with a host interface record, or null when the host has none.
    void QueryInterface(const char* name, void** out) const;

private:
    Abi::CallContext* call_;
};

}  // namespace ScanEngine
