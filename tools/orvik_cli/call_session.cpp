#include "call_session.h"

#include <windows.h>

#include <json/value.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "cli_arguments.h"
#include "common/hex_text.h"
#include "common/utf.h"
#include "host/host_call_context.h"
#include "host/host_state_file.h"
#include "function_reference.h"
#include "near_names.h"
#include "orvik/context/function_catalogue.h"
#include "output_text.h"

namespace OrvikCli {
namespace {

std::uint64_t OptionValue(const std::vector<std::string>& words, std::size_t& i) {
    if (i + 1 >= words.size()) throw Usage(words[i] + " needs a value");
    const std::string& text = words[++i];
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') throw Usage(words[i - 1] + ": '" + text + "' is not a number");
    return value;
}

std::string OptionText(const std::vector<std::string>& words, std::size_t& i) {
    if (i + 1 >= words.size()) throw Usage(words[i] + " needs a value");
    return words[++i];
}

std::string JoinArgs(const std::vector<std::string>& args) {
    std::string text;
    for (const auto& a : args) text += (text.empty() ? "" : ", ") + a;
    return text;
}

// A record the module handed the host: member name -> number, text, or null
// for a null text.
Json::Value RecordJson(const RefHost::RecordMembers& members) {
    Json::Value record(Json::objectValue);
    for (const RefHost::RecordMember& m : members) {
        if (const auto* s = std::get_if<std::int64_t>(&m.value)) record[m.name] = Json::Int64{*s};
        else if (const auto* u = std::get_if<std::uint64_t>(&m.value)) record[m.name] = Json::UInt64{*u};
        else if (const auto* text = std::get_if<std::string>(&m.value)) record[m.name] = LosslessText(*text);
        else record[m.name] = Json::Value(Json::nullValue);
    }
    return record;
}

// Whether the call asks for the change its function may make: always, or
// when the argument named for it is given and not 0.
bool AsksForChange(const ScanEngine::Effect& effect, const std::vector<RefHost::Arg>& args) {
    if (effect.when_nonzero == nullptr) return true;
    for (const RefHost::Arg& arg : args)
        if (arg.name == effect.when_nonzero) return arg.kind != ScanEngine::Abi::kValueInteger || arg.integer != 0;
    return false;
}

}  // namespace

ToolError Usage(const std::string& message) { return ToolError(ExitCode::kUsage, message); }

CallRequest ParseCall(const std::vector<std::string>& words, std::size_t first, bool name_optional) {
    CallRequest request;
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--uid") request.uid = OptionValue(words, i);
        else if (word == "--pid") request.pid = OptionValue(words, i);
        else if (word == "--no-process") request.with_process = false;
        else if (word == "--no-token") request.with_token = false;
        else if (word == "--host-state") request.state_files.push_back(OptionText(words, i));
        else if (word == "--json") request.json = true;
        else if (word == "--allow-changes") request.allow_changes = true;
        else if (word == "--live") request.live = true;
        else if (word.rfind("--", 0) == 0)
            throw Usage("unknown option '" + word + "'" +
                        DidYouMean(word, {"--uid", "--pid", "--no-process", "--no-token", "--host-state", "--json",
                                          "--allow-changes", "--live"}));
        else if (request.name.empty()) request.name = word;
        else request.arguments.push_back(word);
    }
    if (request.name.empty() && !name_optional) throw Usage("call needs a function name");
    return request;
}

Session::Session(Console& console) : console_(console) { Reset(); }

void Session::Reset() {
    module_.reset();  // ends the module's use of the old host first
    engine_ = std::make_unique<RefHost::HostEngine>();
    module_ = std::make_unique<RefHost::LoadedModule>();
    if (const std::int32_t status = module_->Init(*engine_); status != 0) {
        for (const auto& line : engine_->StartupLog())
            console_.Err("log " + std::string(LevelName(line.level)) + ": " + line.text + "\n");
        throw ToolError(ExitCode::kRuntimeError, "module initialisation failed (" + std::to_string(status) + ")");
    }
}

void Session::LoadState(const std::string& path) {
    try {
        RefHost::LoadHostState(ReadTextFile(path), engine_->Services());
    } catch (const ToolError&) {
        throw;
    } catch (const std::runtime_error& error) {
        throw ToolError(ExitCode::kRuntimeError, path + ": " + error.what());
    }
}

CallOutcome Session::Call(const CallRequest& request) {
    try {
        module_->HandlerOf(request.name);
    } catch (const std::runtime_error&) {
        std::vector<std::string_view> names;
        for (const RefHost::Registration& r : engine_->Registrations()) names.emplace_back(r.name);
        throw ToolError(ExitCode::kMalformedCall, "no function '" + request.name + "' is registered" +
                                                      DidYouMean(request.name, names) + "; 'orvik list' shows them");
    }
    const ScanEngine::FunctionEntry* entry = FindFunction(request.name);
    std::vector<RefHost::Arg> args;
    std::map<std::uint32_t, std::string> bound;  // variable reference -> argument name
    std::uint32_t next_ref = 0;
    for (const std::string& word : request.arguments) {
        try {
            args.push_back(ParseCallArgument(word, entry ? entry->arguments : nullptr, next_ref));
        } catch (const std::invalid_argument& error) {
            throw ToolError(ExitCode::kMalformedCall, request.name + ": " + error.what());
        }
        if (args.back().storage != ScanEngine::Abi::kStorageNone)
            bound[static_cast<std::uint32_t>(args.back().integer)] = args.back().name;
    }
    if (entry != nullptr && entry->effect.kind == ScanEngine::EffectKind::kChangesSystem && !request.allow_changes &&
        AsksForChange(entry->effect, args))
        throw Usage("refused: " + request.name + " " + EffectText(entry->effect) + "; nothing was called");
    for (const std::string& file : request.state_files) LoadState(file);

    RefHost::HostCallContext call(engine_->Services().Objects());
    if (request.with_process) {
        const std::uint64_t pid = request.pid.value_or(GetCurrentProcessId());
        call.process_uid = request.uid;
        call.process_id = pid;
        call.resolve_process[request.uid] = {0, pid};
        call.resolve_suppression[request.uid] = {0, pid};
        if (!request.with_token) call.process_info = RefHost::ProcessInfoMode::WithoutToken;
    } else {
        call.process_info = RefHost::ProcessInfoMode::None;
    }
    engine_->Services().SetLive(request.live);
    engine_->Services().AllowRealDeletion(request.allow_changes);
    const std::size_t deletions = engine_->Services().RealDeletions();
    engine_->Services().Journal().Clear();  // each call shows its own host calls
    const auto started = std::chrono::steady_clock::now();
    const RefHost::CallResult result = module_->Call(request.name, args, call);
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - started;

    CallOutcome outcome;
    outcome.function = request.name;
    outcome.result = result.result;
    outcome.elapsed_us = elapsed.count();
    for (const auto& [ref, variable] : result.variables) {
        const bool is_integer = variable.kind == RefHost::Variable::Kind::Integer;
        outcome.variables.push_back({bound.count(ref) ? bound[ref] : "?", ref, is_integer,
                                     static_cast<std::int64_t>(variable.integer), variable.text});
    }
    outcome.log = result.log;
    outcome.host_calls = engine_->Services().Journal().All();
    if (engine_->Services().RealDeletions() != deletions)
        outcome.note = "the reference host deleted a real file, as --allow-changes lets it";
    else if (entry != nullptr && entry->effect.kind == ScanEngine::EffectKind::kHostActs)
        outcome.note = "simulated: the reference host did it in its own state only; nothing on this machine changed";
    return outcome;
}

void PrintOutcome(const CallOutcome& outcome, bool json, Console& console) {
    if (json) {
        Json::Value out(Json::objectValue);
        out["function"] = outcome.function;
        out["result"] = Json::Int64{outcome.result};
        out["elapsed_us"] = outcome.elapsed_us;
        out["variables"] = out["log"] = out["host_calls"] = Json::Value(Json::arrayValue);
        for (const CallOutcome::Written& w : outcome.variables) {
            Json::Value v(Json::objectValue);
            v["name"] = w.name;
            v["ref"] = w.ref;
            v["kind"] = w.is_integer ? "integer" : "string";
            if (w.is_integer) v["value"] = Json::Int64{w.integer};
            else if (IsUtf8(w.text)) v["value"] = w.text;
            else v["hex"] = Common::EncodeHexPairs(w.text);
            out["variables"].append(v);
        }
        for (const auto& line : outcome.log) {
            Json::Value l(Json::objectValue);
            l["level"] = LevelName(line.level);
            l["text"] = LosslessText(line.text);
            out["log"].append(l);
        }
        for (const auto& host_call : outcome.host_calls) {
            Json::Value h(Json::objectValue);
            h["operation"] = host_call.operation;
            h["args"] = Json::Value(Json::arrayValue);
            for (std::size_t i = 0; i < host_call.args.size(); ++i)
                h["args"].append(i < host_call.records.size() && !host_call.records[i].empty()
                                     ? RecordJson(host_call.records[i])
                                     : LosslessText(host_call.args[i]));
            out["host_calls"].append(h);
        }
        if (!outcome.note.empty()) out["note"] = outcome.note;
        console.Out(JsonLine(out));
        return;
    }
    console.Out("result: " + std::to_string(outcome.result) + "\n");
    for (const CallOutcome::Written& w : outcome.variables)
        console.Out("variable " + w.name + " (ref " + std::to_string(w.ref) +
                    ") = " + (w.is_integer ? std::to_string(w.integer) : Quote(w.text)) + "\n");
    for (const auto& line : outcome.log) console.Out("log " + std::string(LevelName(line.level)) + ": " + line.text + "\n");
    for (const auto& host_call : outcome.host_calls)
        console.Out("host: " + host_call.operation + "(" + JoinArgs(host_call.args) + ")\n");
    if (!outcome.note.empty()) console.Out("note: " + outcome.note + "\n");
}

std::string ReadTextFile(const std::string& path) {
    const std::wstring wide = Common::Utf8ToWide(path.c_str(), path.size());
    std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(wide.c_str(), L"rb"), &std::fclose);
    if (!file) throw ToolError(ExitCode::kRuntimeError, "cannot open '" + path + "'");
    std::string text;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, n);
    return text;
}

}  // namespace OrvikCli
