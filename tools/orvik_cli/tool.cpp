#include "tool.h"

#include <windows.h>

#include <json/writer.h>

#include <cctype>
#include <chrono>
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
#include "function_reference.h"
#include "near_names.h"
#include "common/format_string.h"
#include "common/utf.h"
#include "host/host_state_file.h"
#include "host/loaded_module.h"
#include "orvik/context/function_catalogue.h"

namespace OrvikCli {
namespace {

constexpr const char* kUsage = R"(usage:
  orvik list [--json] [PATTERN]
      the registered functions with their arguments; PATTERN keeps the
      names that contain it, or match it where it has * or ?
  orvik describe [--json] NAME
      what NAME does and its arguments
  orvik doc [FILE]
      writes the reference of every function (default docs/functions.md;
      - for standard output)
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
  --json           one JSON object per line (list, describe, call): a call's
                   result, variables with their kinds (a text that is not
                   UTF-8 as "hex"), log lines with level names, host calls
                   and the time the call took
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

// One line of JSON.
std::string JsonLine(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    builder["precision"] = 6;
    return Json::writeString(builder, value) + "\n";
}

const char* LevelName(std::uint32_t level) {
    static constexpr const char* kNames[] = {"info", "warning", "error"};
    return level < 3 ? kNames[level] : "level?";
}

// Every byte a valid UTF-8 sequence: shown as text in JSON; other texts
// go out as hex so that no byte is lost.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5                   ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t value = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3F);
        }
        static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length > 1 && (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)))
            return false;
        i += length;
    }
    return true;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * bytes.size());
    for (const char c : bytes) {
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

int List(RefHost::HostEngine& engine, const std::string& pattern, bool json, Console& console) {
    std::size_t shown = 0;
    for (const RefHost::Registration& r : engine.Registrations()) {
        if (!Matches(r.name, pattern)) continue;
        ++shown;
        const ScanEngine::FunctionEntry* entry = FindFunction(r.name);
        if (json) {
            Json::Value line = entry ? DescribeJson(*entry) : Json::Value(Json::objectValue);
            line["name"] = r.name;
            console.Out(JsonLine(line));
            continue;
        }
        console.Out(r.name + "\n");
        if (entry != nullptr) console.Out("    " + Synopsis(*entry) + "\n");
    }
    if (json) return ExitCode::kRan;
    if (pattern.empty()) console.Out(Common::FormatString("%zu functions registered\n", engine.Registrations().size()));
    else
        console.Out(Common::FormatString("%zu of %zu functions registered match '%s'\n", shown,
                                         engine.Registrations().size(), pattern.c_str()));
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
    bool json = false;
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
        else if (word == "--json") request.json = true;
        else if (word.rfind("--", 0) == 0)
            throw Usage("unknown option '" + word + "'" +
                        DidYouMean(word, {"--uid", "--pid", "--no-process", "--no-token", "--host-state", "--json"}));
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

    const auto started = std::chrono::steady_clock::now();
    const RefHost::CallResult result = module.Call(request.name, args, call);
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - started;
    const auto name_of = [&](std::uint32_t ref) { return bound.count(ref) ? bound[ref] : std::string("?"); };
    if (request.json) {
        Json::Value out(Json::objectValue);
        out["function"] = request.name;
        out["result"] = Json::Int64{result.result};
        out["elapsed_us"] = elapsed.count();
        out["variables"] = out["log"] = out["host_calls"] = Json::Value(Json::arrayValue);
        for (const auto& [ref, variable] : result.variables) {
            Json::Value v(Json::objectValue);
            v["name"] = name_of(ref);
            v["ref"] = ref;
            if (variable.kind == RefHost::Variable::Kind::Integer) {
                v["kind"] = "integer";
                v["value"] = static_cast<Json::Int64>(variable.integer);
            } else {
                v["kind"] = "string";
                if (IsUtf8(variable.text)) v["value"] = variable.text;
                else v["hex"] = Hex(variable.text);
            }
            out["variables"].append(v);
        }
        for (const auto& line : result.log) {
            Json::Value l(Json::objectValue);
            l["level"] = LevelName(line.level);
            l["text"] = IsUtf8(line.text) ? line.text : Hex(line.text);
            out["log"].append(l);
        }
        for (const auto& host_call : engine.Services().Journal().All()) {
            Json::Value h(Json::objectValue);
            h["operation"] = host_call.operation;
            h["args"] = Json::Value(Json::arrayValue);
            for (const auto& a : host_call.args) h["args"].append(IsUtf8(a) ? a : Hex(a));
            out["host_calls"].append(h);
        }
        console.Out(JsonLine(out));
        return ExitCode::kRan;
    }
    console.Out("result: " + std::to_string(result.result) + "\n");
    for (const auto& [ref, variable] : result.variables) {
        const std::string value = variable.kind == RefHost::Variable::Kind::Integer
                                      ? std::to_string(static_cast<std::int64_t>(variable.integer))
                                      : Quote(variable.text);
        console.Out("variable " + name_of(ref) + " (ref " + std::to_string(ref) + ") = " + value + "\n");
    }
    for (const auto& line : result.log) console.Out("log " + std::string(LevelName(line.level)) + ": " + line.text + "\n");
    for (const auto& host_call : engine.Services().Journal().All())
        console.Out("host: " + host_call.operation + "(" + JoinArgs(host_call.args) + ")\n");
    return ExitCode::kRan;
}

// describe and doc read the function table only: no module is loaded.
int Describe(const std::vector<std::string>& words, Console& console) {
    bool json = false;
    std::string name;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--json") json = true;
        else if (!name.empty() || words[i].rfind("--", 0) == 0) throw Usage("describe takes --json and one name");
        else name = words[i];
    }
    if (name.empty()) throw Usage("describe needs a function name");
    const ScanEngine::FunctionEntry* entry = FindFunction(name);
    if (entry == nullptr) {
        std::vector<std::string_view> names;
        for (const auto& e : ScanEngine::kFunctionCatalogue) names.emplace_back(e.name);
        throw ToolError(ExitCode::kMalformedCall, "no function '" + name + "'" + DidYouMean(name, names));
    }
    console.Out(json ? JsonLine(DescribeJson(*entry)) : DescribeText(*entry));
    return ExitCode::kRan;
}

int Doc(const std::vector<std::string>& words, Console& console) {
    if (words.size() > 2) throw Usage("doc takes at most one file name");
    const std::string path = words.size() > 1 ? words[1] : "docs/functions.md";
    const std::string text = ReferenceMarkdown();
    if (path == "-") {
        console.Out(text);
        return ExitCode::kRan;
    }
    const std::wstring wide = Common::Utf8ToWide(path.c_str(), path.size());
    std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(wide.c_str(), L"wb"), &std::fclose);
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() || std::fflush(file.get()) != 0)
        throw ToolError(ExitCode::kRuntimeError, "cannot write '" + path + "'");
    console.Out("wrote " + path + "\n");
    return ExitCode::kRan;
}

int Run(const std::vector<std::string>& words, Console& console) {
    if (words.empty()) {
        console.Err(kUsage);
        return ExitCode::kUsage;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        console.Out(kUsage);
        return ExitCode::kRan;
    }
    if (words[0] == "describe") return Describe(words, console);
    if (words[0] == "doc") return Doc(words, console);
    if (words[0] != "list" && words[0] != "call")
        throw Usage("unknown command '" + words[0] + "'" +
                    DidYouMean(words[0], {"list", "call", "describe", "doc", "help"}) +
                    "; 'orvik --help' lists the commands");
    CallRequest request;
    if (words[0] == "call") request = ParseCall(words);
    bool list_json = false;
    std::string pattern;
    for (std::size_t i = 1; words[0] == "list" && i < words.size(); ++i) {
        if (words[i] == "--json") list_json = true;
        else if (!pattern.empty() || words[i].rfind("--", 0) == 0) throw Usage("list takes --json and one pattern");
        else pattern = words[i];
    }

    RefHost::HostEngine engine;
    RefHost::LoadedModule module;
    if (const std::int32_t status = module.Init(engine); status != 0) {
        console.Err(Common::FormatString("orvik: module initialisation failed (%d)\n", status));
        for (const auto& line : engine.StartupLog())
            console.Err("log " + std::string(LevelName(line.level)) + ": " + line.text + "\n");
        return ExitCode::kRuntimeError;
    }
    if (words[0] == "list") return List(engine, pattern, list_json, console);
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
