// orvik: loads the module into the reference host and lists or calls its
// functions, printing what crossed the boundary.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli_arguments.h"
#include "common/utf.h"
#include "host/host_state_file.h"
#include "host/loaded_module.h"
#include "orvik/context/function_catalogue.h"

namespace {

constexpr const char* kUsage = R"(usage:
  orvik list
      every registered function with its arguments
  orvik call [OPTION ...] NAME [ARGUMENT ...]
      calls NAME in a fresh reference host and prints the result, every
      variable written, every log line and every host service call

arguments:
  name=VALUE       value of the declared kind: integer (decimal, 0x-hex,
                   negative) or string
  name:int=VALUE   an integer, whatever the declaration says
  name:str=VALUE   a string; \n \t \\ \" \0 and \xHH are unescaped
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

int List(RefHost::HostEngine& engine) {
    for (const RefHost::Registration& r : engine.Registrations()) {
        std::printf("%s\n", r.name.c_str());
        const ScanEngine::FunctionEntry* entry = FindFunction(r.name);
        if (entry == nullptr) continue;
        for (const auto* d = entry->arguments; d->name != nullptr; ++d)
            std::printf("    %-20s %-24s %-8s %-4s %s\n", d->name, d->label, KindText(*d), d->input ? "in" : "out",
                        d->required ? "required" : "optional");
    }
    std::printf("%zu functions registered\n", engine.Registrations().size());
    return 0;
}

std::uint64_t OptionValue(const std::vector<std::string>& words, std::size_t& i) {
    if (i + 1 >= words.size()) throw std::invalid_argument(words[i] + " needs a value");
    const std::string& text = words[++i];
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') throw std::invalid_argument(words[i - 1] + ": '" + text + "' is not a number");
    return value;
}

std::string OptionText(const std::vector<std::string>& words, std::size_t& i) {
    if (i + 1 >= words.size()) throw std::invalid_argument(words[i] + " needs a value");
    return words[++i];
}

std::string ReadTextFile(const std::string& path) {
    const std::wstring wide = Common::Utf8ToWide(path.c_str(), path.size());
    std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(wide.c_str(), L"rb"), &std::fclose);
    if (!file) throw std::invalid_argument("cannot open '" + path + "'");
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
        else if (word.rfind("--", 0) == 0) throw std::invalid_argument("unknown option '" + word + "'");
        else if (request.name.empty()) request.name = word;
        else request.arguments.push_back(word);
    }
    if (request.name.empty()) throw std::invalid_argument("call needs a function name");
    return request;
}

int Call(RefHost::LoadedModule& module, RefHost::HostEngine& engine, const CallRequest& request) {
    const ScanEngine::FunctionEntry* entry = FindFunction(request.name);
    for (const std::string& file : request.state_files) RefHost::LoadHostState(ReadTextFile(file), engine.Services());

    RefHost::HostCallContext call(engine.Services().Objects());
    std::vector<RefHost::Arg> args;
    std::map<std::uint32_t, std::string> bound;  // variable reference -> argument name
    std::uint32_t next_ref = 0;
    for (const std::string& word : request.arguments) {
        args.push_back(OrvikCli::ParseCallArgument(word, entry ? entry->arguments : nullptr, next_ref));
        if (args.back().storage != ScanEngine::Abi::kStorageNone)
            bound[static_cast<std::uint32_t>(args.back().integer)] = args.back().name;
    }
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
    std::printf("result: %lld\n", static_cast<long long>(result.result));
    for (const auto& [ref, variable] : result.variables) {
        const std::string value = variable.kind == RefHost::Variable::Kind::Integer
                                      ? std::to_string(static_cast<std::int64_t>(variable.integer))
                                      : OrvikCli::Quote(variable.text);
        std::printf("variable %s (ref %u) = %s\n", bound.count(ref) ? bound[ref].c_str() : "?", ref, value.c_str());
    }
    for (const auto& line : result.log) std::printf("log level %u: %s\n", line.level, line.text.c_str());
    for (const auto& host_call : engine.Services().Journal().All())
        std::printf("host: %s(%s)\n", host_call.operation.c_str(), JoinArgs(host_call.args).c_str());
    return 0;
}

int Run(const std::vector<std::string>& words) {
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        std::fputs(kUsage, stdout);
        return words.empty() ? 2 : 0;
    }
    if (words[0] != "list" && words[0] != "call") {
        std::fprintf(stderr, "orvik: unknown command '%s'\n%s", words[0].c_str(), kUsage);
        return 2;
    }
    CallRequest request;
    if (words[0] == "call") request = ParseCall(words);

    RefHost::HostEngine engine;
    RefHost::LoadedModule module;
    if (const std::int32_t status = module.Init(engine); status != 0) {
        std::fprintf(stderr, "orvik: module initialisation failed (%d)\n", status);
        for (const auto& line : engine.StartupLog()) std::fprintf(stderr, "log level %u: %s\n", line.level, line.text.c_str());
        return 1;
    }
    if (words[0] == "list") return List(engine);
    try {
        module.HandlerOf(request.name);
    } catch (const std::runtime_error&) {
        std::fprintf(stderr, "orvik: no function '%s' is registered (see 'orvik list')\n", request.name.c_str());
        return 2;
    }
    return Call(module, engine, request);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(Common::WideToUtf8(argv[i], std::wcslen(argv[i])));
    try {
        return Run(words);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "orvik: %s\n", error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvik: %s\n", error.what());
        return 1;
    }
}
