#include "tool.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli_arguments.h"
#include "exit_codes.h"
#include "near_names.h"
#include "common/format_string.h"
#include "common/utf.h"
#include "host/host_state_file.h"
#include "host/loaded_module.h"
#include "orvik/context/function_catalogue.h"
#include "tools/orvik_cli/version.h"

namespace OrvikCli {
namespace {

constexpr const char* kUsage = R"(usage:
  orvik list [PATTERN]
      the registered functions with their arguments; PATTERN keeps the
      names that contain it, or match it where it has * or ?
  orvik --version  the version (the DLL's version resource carries the same)
  orvik call [OPTION ...] NAME [ARGUMENT ...]
      calls NAME in a fresh reference host and prints the result, every
      variable written, every log line and every host service call

arguments (each word is taken as it stands: quote it for the shell only):
  name=VALUE       value of the declared kind: integer (decimal, 0x-hex,
                   negative) or string, verbatim (C:\temp\new stays so)
  name:int=VALUE   an integer, whatever the declaration says
  name:str=VALUE   a string, verbatim, whatever the declaration says
  name:esc=VALUE   a string in which \n \t \\ \" \0 and \xHH are unescaped
  name=@           binds an output variable of the declared kind
  name=@int        binds an integer variable (name=@str: a string variable)
  name:undef       passes the argument with an undefined value

options:
  --host-state FILE  preloads the host's lists, caches, processes and so on
                   from a JSON file (its shape: README, "Host state files")
  --uid N          the triggering process's unique id (default 1001)
  --pid N          its process id (default: this program's)
  --no-process     no triggering process at all
  --no-token       the host offers no security token for it

exit codes:
  0  the command ran (for call: the call was made, whatever its result)
  1  the module failed to start, or a host-state file could not be read
  2  usage: an unknown command or option, or a missing option value
  3  a malformed call: an unknown function, or an argument word that cannot
     be read or is not declared (the message names the near name, if any)
  4  an expectation of a suite failed

example:
  orvik call get_unix_user_info uid=0 name=@ sid=@ uuid=@ attributes=@
)";

const ScanEngine::FunctionEntry* FindFunction(const std::string& name) {
    for (const auto& entry : ScanEngine::kFunctionCatalogue)
        if (name == entry.name) return &entry;
    return nullptr;
}

const char* KindText(const ScanEngine::ArgumentDescriptor& d) {
    switch (d.address_kind) {
    case ScanEngine::AddressKind::Input: return d.value_kind == ScanEngine::ArgKind::String ? "string" : "integer";
    case ScanEngine::AddressKind::IntegerOutput: return "integer";
    case ScanEngine::AddressKind::StringOutput: return "string";
    }
    return "?";
}

// Whether `name` contains `pattern`, or, where the pattern has * or ?,
// matches it whole (letter case ignored either way).
bool Matches(const std::string& name, const std::string& pattern) {
    const auto fold = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string n = fold(name), p = fold(pattern);
    if (p.find_first_of("*?") == std::string::npos) return n.find(p) != std::string::npos;
    // Glob: the last * seen and where in the name it took up matching.
    std::size_t i = 0, j = 0, star = std::string::npos, resume = 0;
    while (i < n.size()) {
        if (j < p.size() && (p[j] == '?' || p[j] == n[i])) ++i, ++j;
        else if (j < p.size() && p[j] == '*') star = j++, resume = i;
        else if (star != std::string::npos) j = star + 1, i = ++resume;
        else return false;
    }
    while (j < p.size() && p[j] == '*') ++j;
    return j == p.size();
}

int List(RefHost::HostEngine& engine, const std::string& pattern, Console& console) {
    std::size_t shown = 0;
    for (const RefHost::Registration& r : engine.Registrations()) {
        if (!Matches(r.name, pattern)) continue;
        ++shown;
        console.Out(Common::FormatString("%s\n", r.name.c_str()));
        const ScanEngine::FunctionEntry* entry = FindFunction(r.name);
        if (entry == nullptr) continue;
        for (const auto* d = entry->arguments; d->name != nullptr; ++d)
            console.Out(Common::FormatString("    %-20s %-24s %-8s %-4s %s\n", d->name, d->label, KindText(*d), d->input ? "in" : "out",
                        d->required ? "required" : "optional"));
    }
    if (pattern.empty()) console.Out(Common::FormatString("%zu functions registered\n", engine.Registrations().size()));
    else console.Out(Common::FormatString("%zu of %zu functions registered match '%s'\n", shown, engine.Registrations().size(), pattern.c_str()));
    return ExitCode::kRan;
}

ToolError Usage(const std::string& message) { return ToolError(ExitCode::kUsage, message); }

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

std::string ReadTextFile(const std::string& path) {
    const std::wstring wide = Common::Utf8ToWide(path.c_str(), path.size());
    std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(wide.c_str(), L"rb"), &std::fclose);
    if (!file) throw ToolError(ExitCode::kRuntimeError, "cannot open '" + path + "'");
    std::string text;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, n);
    return text;
}

std::string JoinArgs(const std::vector<std::string>& args) {
    std::string text;
    for (const auto& a : args) text += (text.empty() ? "" : ", ") + a;
    return text;
}

// What `call` was asked for: the function, its argument words and the options.
struct CallRequest {
    std::string name;
    std::vector<std::string> arguments;
    std::vector<std::string> state_files;
    std::uint64_t uid = 1001;
    std::uint64_t pid = GetCurrentProcessId();
    bool with_process = true;
    bool with_token = true;
};

// Options may stand anywhere after `call`; the first other word names the function.
CallRequest ParseCall(const std::vector<std::string>& words) {
    CallRequest request;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--uid") request.uid = OptionValue(words, i);
        else if (word == "--pid") request.pid = OptionValue(words, i);
        else if (word == "--no-process") request.with_process = false;
        else if (word == "--no-token") request.with_token = false;
        else if (word == "--host-state") request.state_files.push_back(OptionText(words, i));
        else if (word.rfind("--", 0) == 0)
            throw Usage("unknown option '" + word + "'" +
                        DidYouMean(word, {"--uid", "--pid", "--no-process", "--no-token", "--host-state"}));
        else if (request.name.empty()) request.name = word;
        else request.arguments.push_back(word);
    }
    if (request.name.empty()) throw Usage("call needs a function name");
    return request;
}

int Call(RefHost::LoadedModule& module, RefHost::HostEngine& engine, const CallRequest& request, Console& console) {
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
    for (const std::string& file : request.state_files) {
        try {
            RefHost::LoadHostState(ReadTextFile(file), engine.Services());
        } catch (const std::runtime_error& error) {
            throw ToolError(ExitCode::kRuntimeError, file + ": " + error.what());
        }
    }
    RefHost::HostCallContext call(engine.Services().Objects());
    if (request.with_process) {
        call.process_uid = request.uid;
        call.process_id = request.pid;
        call.resolve_process[request.uid] = {0, request.pid};
        call.resolve_suppression[request.uid] = {0, request.pid};
        if (!request.with_token) call.process_info = RefHost::ProcessInfoMode::WithoutToken;
    } else {
        call.process_info = RefHost::ProcessInfoMode::None;
    }

    const RefHost::CallResult result = module.Call(request.name, args, call);
    console.Out(Common::FormatString("result: %lld\n", static_cast<long long>(result.result)));
    for (const auto& [ref, variable] : result.variables) {
        const std::string value = variable.kind == RefHost::Variable::Kind::Integer
                                      ? std::to_string(static_cast<std::int64_t>(variable.integer))
                                      : Quote(variable.text);
        console.Out(Common::FormatString("variable %s (ref %u) = %s\n", bound.count(ref) ? bound[ref].c_str() : "?", ref, value.c_str()));
    }
    for (const auto& line : result.log) console.Out(Common::FormatString("log level %u: %s\n", line.level, line.text.c_str()));
    for (const auto& host_call : engine.Services().Journal().All())
        console.Out(Common::FormatString("host: %s(%s)\n", host_call.operation.c_str(), JoinArgs(host_call.args).c_str()));
    return ExitCode::kRan;
}

int Run(const std::vector<std::string>& words, Console& console) {
    if (words.empty()) {
        console.Err(kUsage);
        return ExitCode::kUsage;
    }
    if (words[0] == "--version" || words[0] == "version") {
        console.Out(std::string("orvik ") + kVersion + "\n");
        return ExitCode::kRan;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        console.Out(kUsage);
        return ExitCode::kRan;
    }
    if (words[0] != "list" && words[0] != "call")
        throw Usage("unknown command '" + words[0] + "'" + DidYouMean(words[0], {"list", "call", "help"}) +
                    "; 'orvik --help' lists the commands");
    CallRequest request;
    if (words[0] == "call") request = ParseCall(words);
    if (words[0] == "list" && words.size() > 2) throw Usage("list takes at most one pattern");

    RefHost::HostEngine engine;
    RefHost::LoadedModule module;
    if (const std::int32_t status = module.Init(engine); status != 0) {
        console.Err(Common::FormatString("orvik: module initialisation failed (%d)\n", status));
        for (const auto& line : engine.StartupLog())
            console.Err(Common::FormatString("log level %u: %s\n", line.level, line.text.c_str()));
        return ExitCode::kRuntimeError;
    }
    if (words[0] == "list") return List(engine, words.size() > 1 ? words[1] : "", console);
    try {
        module.HandlerOf(request.name);
    } catch (const std::runtime_error&) {
        std::vector<std::string_view> names;
        for (const RefHost::Registration& r : engine.Registrations()) names.emplace_back(r.name);
        throw ToolError(ExitCode::kMalformedCall, "no function '" + request.name + "' is registered" +
                                                      DidYouMean(request.name, names) +
                                                      "; 'orvik list' shows them");
    }
    return Call(module, engine, request, console);
}

}  // namespace

int RunTool(const std::vector<std::string>& words, Console& console) {
    try {
        return Run(words, console);
    } catch (const ToolError& error) {
        console.Err(std::string("orvik: ") + error.what() + "\n");
        return error.code;
    } catch (const std::exception& error) {
        console.Err(std::string("orvik: ") + error.what() + "\n");
        return ExitCode::kRuntimeError;
    }
}

}  // namespace OrvikCli
