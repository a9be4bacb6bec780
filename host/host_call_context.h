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
    std::map<std::uint64_t, std::pair<std::int32_t, std::uint64_t>> resolve_process;      // uid -> status, pid
    std::map<std::uint64_t, std::pair<std::int32_t, std::uint64_t>> resolve_suppression;  // uid -> status, pid
    Abi::CallSite site{};

    // --- what the module did ---
    std::map<std::uint32_t, Variable> variables;
    std::vector<LogLine> log;
    std::vector<std::uint64_t> whitelisted_notifications;
    std::vector<std::pair<std::uint64_t, std::string>> threat_reports;
    std::vector<std::string> operations;  // names of the operations called, in order

private:
    static HostCallContext& Self(Abi::CallContext* record) { return *static_cast<HostCallContext*>(record->lead); }

    Abi::CallContext abi_{};
    ObjectPool& objects_;
    std::map<const char*, std::uint64_t> lengths_;
};

}  // namespace RefHost
