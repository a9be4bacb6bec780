#include "suite.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "call_session.h"
#include "cli_arguments.h"
#include "common/child_process.h"
#include "exit_codes.h"
#include "output_text.h"
#include "suite_line.h"

namespace OrvikCli {
namespace {

std::string ReadSuite(const std::string& path) {
    if (path != "-") return ReadTextFile(path);
    std::string text;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) text.append(buffer, n);
    return text;
}

// A state file named in a suite is found next to it unless its path is absolute.
std::string BesideSuite(const std::string& suite, const std::string& path) {
    const bool absolute = path.starts_with('/') || path.starts_with('\\') || (path.size() > 1 && path[1] == ':');
    const std::size_t slash = suite.find_last_of("/\\");
    return absolute || suite == "-" || slash == std::string::npos ? path : suite.substr(0, slash + 1) + path;
}

std::int64_t ExpectedInteger(const std::string& text) {
    std::uint32_t unused = 0;
    const RefHost::Arg parsed = ParseCallArgument("value:int=" + text, nullptr, unused);
    return parsed.integer;
}

constexpr const char* kExpectForms = "an expectation is result=N, NAME=VALUE, log TEXT or host OPERATION";

// The words of a line after its first `count` words, as written (quotes
// and spacing kept), without the spaces around them.
std::string AfterWords(const std::string& line, std::size_t count) {
    std::size_t at = line.find_first_not_of(" \t");
    for (; count > 0 && at != std::string::npos; --count)
        at = line.find_first_not_of(" \t", line.find_first_of(" \t", at));
    if (at == std::string::npos) return "";
    return line.substr(at, line.find_last_not_of(" \t") + 1 - at);
}

// What is wrong with the outcome, or nothing when the expectation holds.
// `parts` are the line's words, "expect" first.
std::optional<std::string> Check(const std::vector<std::string>& parts, const std::string& line,
                                 const CallOutcome& outcome) {
    if (parts.size() >= 3 && (parts[1] == "log" || parts[1] == "host")) {
        const std::string text = AfterWords(line, 2);
        if (parts[1] == "log") {
            for (const auto& logged : outcome.log)
                if (logged.text.find(text) != std::string::npos) return std::nullopt;
            return "no log line contains '" + text + "'";
        }
        for (const auto& call : outcome.host_calls)
            if (call.operation == text) return std::nullopt;
        return "no host call " + text;
    }
    if (parts.size() != 2) throw std::invalid_argument(kExpectForms);
    const std::string& rest = parts[1];
    const std::size_t equals = rest.find('=');
    if (equals == std::string::npos || equals == 0) throw std::invalid_argument(kExpectForms);
    const std::string name = rest.substr(0, equals), value = rest.substr(equals + 1);
    if (name == "result") {
        const std::int64_t expected = ExpectedInteger(value);
        if (outcome.result == expected) return std::nullopt;
        return "result " + std::to_string(outcome.result) + ", expected " + std::to_string(expected);
    }
    for (const CallOutcome::Written& w : outcome.variables) {
        if (w.name != name) continue;
        if (w.is_integer) {
            const std::int64_t expected = ExpectedInteger(value);
            if (w.integer == expected) return std::nullopt;
            return name + " = " + std::to_string(w.integer) + ", expected " + std::to_string(expected);
        }
        if (w.text == value) return std::nullopt;
        return name + " = " + Quote(w.text) + ", expected " + Quote(value);
    }
    return "no variable '" + name + "' was written";
}

}  // namespace

int RunSuite(const std::vector<std::string>& words, Console& console) {
    const CallRequest options = ParseCall(words, 1, true);
    if (options.name.empty() || !options.arguments.empty()) throw Usage("run takes options and one suite file");
    const std::string& path = options.name;
    const std::string text = ReadSuite(path);

    Session session(console);
    const auto load_states = [&] {
        for (const std::string& file : options.state_files) session.LoadState(file);
    };
    load_states();
    std::optional<CallOutcome> last;
    std::size_t passed = 0, failed = 0, number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::string line(NextSuiteLine(text, at));
        ++number;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        std::vector<std::string> parts;
        try {
            if (const Common::Error error = Common::SplitCommandLine(line, parts))
                throw std::invalid_argument(error.Message());
            const SuiteLineKind kind = KindOfSuiteLine(parts);
            if (kind == SuiteLineKind::kSkipped) continue;
            if (kind == SuiteLineKind::kReset) {
                session.Reset();
                load_states();
                last.reset();
            } else if (kind == SuiteLineKind::kHostState) {
                session.LoadState(BesideSuite(path, parts[1]));
            } else if (kind == SuiteLineKind::kExpect) {
                if (!last) throw std::invalid_argument("an expectation needs a call before it");
                const auto wrong = Check(parts, line, *last);
                if (!wrong) {
                    ++passed;
                    continue;
                }
                ++failed;
                if (options.json) {
                    Json::Value failure(Json::objectValue);
                    failure["line"] = static_cast<Json::UInt64>(number);
                    failure["failed"] = *wrong;
                    console.Out(JsonLine(failure));
                } else {
                    console.Out("FAILED " + where + *wrong + "\n");
                }
            } else {
                // The run's options hold for the call unless its line says otherwise.
                std::vector<std::string> call_words = {"call", "--uid", std::to_string(options.uid)};
                if (options.pid) call_words.insert(call_words.end(), {"--pid", std::to_string(*options.pid)});
                if (!options.with_process) call_words.push_back("--no-process");
                if (!options.with_token) call_words.push_back("--no-token");
                if (options.allow_changes) call_words.push_back("--allow-changes");
                if (options.live) call_words.push_back("--live");
                call_words.insert(call_words.end(), parts.begin(), parts.end());
                CallRequest request = ParseCall(call_words, 1);
                for (std::string& file : request.state_files) file = BesideSuite(path, file);
                if (!options.json) console.Out("> " + line + "\n");
                last = session.Call(request);
                PrintOutcome(*last, options.json, console);
            }
        } catch (const ToolError& error) {
            throw ToolError(error.code, where + error.what());
        } catch (const std::invalid_argument& error) {
            throw ToolError(ExitCode::kMalformedCall, where + error.what());
        }
    }
    if (options.json) {
        Json::Value summary(Json::objectValue);
        summary["passed"] = static_cast<Json::UInt64>(passed);
        summary["failed"] = static_cast<Json::UInt64>(failed);
        console.Out(JsonLine(summary));
    } else {
        console.Out(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed\n");
    }
    return failed == 0 ? ExitCode::kRan : ExitCode::kExpectationFailed;
}

}  // namespace OrvikCli
