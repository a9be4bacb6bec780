// The call context the reference host hands to one handler call: how the
// triggering process looks, which variable writes the host refuses, and what
// the handler wrote and logged.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host_engine.h"
#include "orvik/context/host_abi.h"

namespace RefHost {

struct Variable {
    enum class Kind { Integer, String } kind;
    std::uint64_t integer = 0;
    std::string text;
};

// WithBrokenToken hands out a token object whose handle is no token.
enum class ProcessInfoMode { None, WithoutToken, WithToken, WithBrokenToken };

class HostCallContext {
public:
    explicit HostCallContext(ObjectPool& objects);
    HostCallContext(const HostCallContext&) = delete;
    HostCallContext& operator=(const HostCallContext&) = delete;

    Abi::CallContext* Record() { return &abi_; }
    // Declares the byte length of a string value the host passes (NULs allowed).
    void DeclareString(const char* value, std::uint64_t length) { lengths_[value] = length; }

    // --- how the host answers ---
    std::string function_name;
    std::optional<std::uint64_t> process_uid;
    std::optional<std::uint64_t> process_id;
    ProcessInfoMode process_info = ProcessInfoMode::WithToken;
    std::set<std::uint32_t> refused_variables;
    using Resolutions = std::map<std::uint64_t, std::pair<std::int32_t, std::uint64_t>>;  // uid -> status, pid
    Resolutions resolve_process;
    Resolutions resolve_suppression;
    Abi::CallSite site{};

    // --- what the module did ---
    std::map<std::uint32_t, Variable> variables;
    std::vector<LogLine> log;
    std::vector<std::uint64_t> whitelisted_notifications;
    std::vector<std::pair<std::uint64_t, std::string>> threat_reports;
    std::vector<std::string> operations;  // names of the operations called, in order

private:
    // The call context's entries, in the record's order.
    const char* GetFunctionName();
    void QueryInterface(const char* name, void** out);
    bool GetProcessUid(std::uint64_t* uid);
    bool GetProcessId(std::uint64_t* pid);
    void LogMessage(std::uint32_t level, const char* text);
    std::int32_t ResolveProcessForSuppression(std::uint64_t uid, std::uint64_t* pid);
    std::int32_t AssignStringVariable(std::uint32_t ref, const void* bytes, std::uint64_t length);
    std::int32_t AssignIntegerVariable(std::uint32_t ref, std::uint64_t value);
    std::int32_t ResolveProcessId(std::uint64_t uid, std::uint64_t* pid);
    std::uint64_t GetStringLength(const char* value);
    void OnProcessWhitelisted(std::uint64_t uid);
    void ReportProcessThreat(std::uint64_t uid, const char* threat);
    static std::int32_t Resolve(const Resolutions& table, std::uint64_t uid, std::uint64_t* pid);

    Abi::CallContext abi_{};
    ObjectPool& objects_;
    std::map<const char*, std::uint64_t> lengths_;
};

}  // namespace RefHost
