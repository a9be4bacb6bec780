// One reference host with the module loaded, and the calls made in it: a
// `call` makes one, a suite many, so that state carries from call to call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "host/call_journal.h"
#include "host/host_engine.h"
#include "host/loaded_module.h"
#include "tool.h"

namespace OrvikCli {

ToolError Usage(const std::string& message);

// A call as written: the function, its argument words and the options.
struct CallRequest {
    std::string name;
    std::vector<std::string> arguments;
    std::vector<std::string> state_files;
    std::uint64_t uid = 1001;
    std::optional<std::uint64_t> pid;  // none: this program's
    bool with_process = true;
    bool with_token = true;
    bool json = false;
    bool allow_changes = false;  // calls that change the live machine are made
    bool live = false;           // real processes answer the process cache where the state has none
};

// Options may stand anywhere among words[first...]; the first other word
// names the function (none is a usage error unless `name_optional`).
CallRequest ParseCall(const std::vector<std::string>& words, std::size_t first, bool name_optional = false);

// What a call did, with each variable under the argument name it was bound to.
struct CallOutcome {
    struct Written {
        std::string name;
        std::uint32_t ref;
        bool is_integer;
        std::int64_t integer;
        std::string text;
    };
    std::string function;
    std::int64_t result = 0;
    double elapsed_us = 0;
    std::vector<Written> variables;
    std::vector<RefHost::LogLine> log;
    std::vector<RefHost::RecordedCall> host_calls;
    std::string note;  // what the reference host did not do for real, or did
};

class Session {
public:
    // Loads and starts the module; a failure is a runtime error (its start-up
    // log goes to the console's error stream).
    explicit Session(Console& console);
    // A fresh host and a fresh start of the module.
    void Reset();
    // Adds a host-state file to the host.
    void LoadState(const std::string& path);
    // Makes the call; a call that cannot be made as written is a malformed call.
    CallOutcome Call(const CallRequest& request);
    const std::vector<RefHost::Registration>& Registrations() const { return engine_->Registrations(); }

private:
    Console& console_;
    std::unique_ptr<RefHost::HostEngine> engine_;
    std::unique_ptr<RefHost::LoadedModule> module_;
};

// As text lines, or as one JSON line.
void PrintOutcome(const CallOutcome& outcome, bool json, Console& console);

// A whole file's bytes; a file that cannot be read is a runtime error.
std::string ReadTextFile(const std::string& path);

}  // namespace OrvikCli
