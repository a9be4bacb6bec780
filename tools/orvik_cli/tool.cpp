#include "tool.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "call_session.h"
#include "common/format_string.h"
#include "common/utf.h"
#include "exit_codes.h"
#include "function_reference.h"
#include "near_names.h"
#include "orvik/context/function_catalogue.h"
#include "output_text.h"
#include "suite.h"
#include "tools/orvik_cli/version.h"

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
  orvik --version  the version (the DLL's version resource carries the same)
  orvik call [OPTION ...] NAME [ARGUMENT ...]
      calls NAME in a fresh reference host and prints the result, every
      variable written, every log line and every host service call
  orvik run [OPTION ...] FILE
      runs a suite: one call per line in one host, so that state carries
      from call to call, with expectations; FILE - is standard input.
      Lines: # comment | host-state FILE | reset | [OPTION ...] NAME [ARG ...]
      | expect result=N | expect NAME=VALUE | expect log TEXT
      | expect host OPERATION. Ends with "N passed, M failed".

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
  --allow-changes  makes calls that change the live machine (running a
                   command, terminating a thread, a process's logging
                   setting); without it they are refused (exit code 2), and
                   the host deletes only files its state holds
  --live           real processes answer the host's process cache (image,
                   command line, parent, user, integrity, privileges, times)
                   where the host state has no entry for the pid
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
  2  usage: an unknown command or option, a missing option value, or a
     call that would change the live machine without --allow-changes
  3  a malformed call: an unknown function, or an argument word that cannot
     be read or is not declared (the message names the near name, if any)
  4  an expectation of a suite failed

example:
  orvik call get_unix_user_info uid=0 name=@ sid=@ uuid=@ attributes=@
)";

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

int List(const std::vector<RefHost::Registration>& registrations, const std::string& pattern, bool json,
         Console& console) {
    std::size_t shown = 0;
    for (const RefHost::Registration& r : registrations) {
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
    if (pattern.empty()) console.Out(Common::FormatString("%zu functions registered\n", registrations.size()));
    else
        console.Out(Common::FormatString("%zu of %zu functions registered match '%s'\n", shown,
                                         registrations.size(), pattern.c_str()));
    return ExitCode::kRan;
}

// What follows list or describe: --json, and at most one other word.
struct JsonAndWord {
    bool json = false;
    std::string word;
};
JsonAndWord ParseJsonAndWord(const std::vector<std::string>& words, const std::string& what) {
    JsonAndWord parsed;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--json") parsed.json = true;
        else if (!parsed.word.empty() || words[i].rfind("--", 0) == 0)
            throw Usage(words[0] + " takes --json and one " + what);
        else parsed.word = words[i];
    }
    return parsed;
}

// describe and doc read the function table only: no module is loaded.
int Describe(const std::vector<std::string>& words, Console& console) {
    const auto [json, name] = ParseJsonAndWord(words, "name");
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
    if (words[0] == "--version" || words[0] == "version") {
        console.Out(std::string("orvik ") + kVersion + "\n");
        return ExitCode::kRan;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        console.Out(kUsage);
        return ExitCode::kRan;
    }
    if (words[0] == "describe") return Describe(words, console);
    if (words[0] == "doc") return Doc(words, console);
    if (words[0] == "run") return RunSuite(words, console);
    if (words[0] == "call") {
        const CallRequest request = ParseCall(words, 1);
        Session session(console);
        PrintOutcome(session.Call(request), request.json, console);
        return ExitCode::kRan;
    }
    if (words[0] != "list")
        throw Usage("unknown command '" + words[0] + "'" +
                    DidYouMean(words[0], {"list", "call", "run", "describe", "doc", "help"}) +
                    "; 'orvik --help' lists the commands");
    const auto [json, pattern] = ParseJsonAndWord(words, "pattern");
    Session session(console);
    return List(session.Registrations(), pattern, json, console);
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
