#include "function_reference.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <vector>

#include "common/child_process.h"
#include "suite_line.h"

namespace OrvikCli {
namespace {

using ScanEngine::AddressKind;
using ScanEngine::ArgumentDescriptor;

const char* KindText(const ArgumentDescriptor& d) {
    if (d.address_kind == AddressKind::Input) return d.value_kind == ScanEngine::ArgKind::String ? "string" : "integer";
    return d.address_kind == AddressKind::IntegerOutput ? "integer" : "string";
}

// The word that passes the argument in a call: a placeholder for an input,
// a binding for an output.
std::string CallWord(const ArgumentDescriptor& d) {
    return std::string(d.name) + (d.input ? std::string("=<") + KindText(d) + ">" : "=@");
}

std::string Direction(const ArgumentDescriptor& d) { return d.input ? "in" : "out"; }

// The host services a function may call, in the interface's order.
std::vector<std::string> ServiceNames(const ScanEngine::FunctionEntry& entry) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < ScanEngine::kHostServiceCount; ++i)
        if (entry.host_services.Contains(static_cast<ScanEngine::HostService>(i)))
            names.emplace_back(ScanEngine::kHostServiceNames[i]);
    return names;
}

// "none", or the names joined by ", ", each between `quote`s.
std::string ServicesText(const ScanEngine::FunctionEntry& entry, const std::string& quote) {
    std::string text;
    for (const std::string& name : ServiceNames(entry)) text += (text.empty() ? "" : ", ") + quote + name + quote;
    return text.empty() ? "none" : text;
}

}  // namespace

std::string EffectText(const ScanEngine::Effect& effect) {
    switch (effect.kind) {
    case ScanEngine::EffectKind::kReads: return "reads only: changes nothing";
    case ScanEngine::EffectKind::kHostActs:
        return "asks the host to act or to change its state (the reference host records the request)";
    case ScanEngine::EffectKind::kChangesSystem:
        return std::string("changes the live machine") +
               (effect.when_nonzero ? std::string(" when ") + effect.when_nonzero + " is not 0" : "") +
               " (the tool makes such a call only with --allow-changes)";
    }
    return "";
}

std::string_view ExampleCall(std::string_view name) {
    // A call line's function is its first word that names one: options and
    // their values come before it, name=value words after it.
    static const std::map<std::string, std::string_view, std::less<>> examples = [] {
        std::map<std::string, std::string_view, std::less<>> found;
        for (std::size_t at = 0; at < kExampleSuite.size();) {
            std::string_view line = NextSuiteLine(kExampleSuite, at);
            line.remove_suffix(line.size() - std::min(line.size(), line.find_last_not_of(" \t") + 1));
            line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
            std::vector<std::string> words;
            if (Common::SplitCommandLine(line, words) || KindOfSuiteLine(words) != SuiteLineKind::kCall) continue;
            for (const std::string& word : words)
                if (FindFunction(word) != nullptr) {
                    found.emplace(word, line);
                    break;
                }
        }
        return found;
    }();
    const auto it = examples.find(name);
    return it == examples.end() ? std::string_view() : it->second;
}

const ScanEngine::FunctionEntry* FindFunction(std::string_view name) {
    for (const auto& entry : ScanEngine::kFunctionCatalogue)
        if (name == entry.name) return &entry;
    return nullptr;
}

std::string Synopsis(const ScanEngine::FunctionEntry& entry) {
    std::string text = entry.name;
    for (const ArgumentDescriptor* d = entry.arguments; d->name != nullptr; ++d)
        text += d->required ? " " + CallWord(*d) : " [" + CallWord(*d) + "]";
    return text;
}

std::string DescribeText(const ScanEngine::FunctionEntry& entry) {
    std::string text = entry.name + std::string("\n    ") + entry.description + "\n    effect: " +
                       EffectText(entry.effect) + "\n    result: " + entry.result + "\n    host services: " +
                       ServicesText(entry, "") + "\n\n    orvik call " + Synopsis(entry) + "\n";
    if (const std::string_view example = ExampleCall(entry.name); !example.empty())
        text += "    example: " + std::string(example) + "\n";
    text += "\narguments:\n";
    for (const ArgumentDescriptor* d = entry.arguments; d->name != nullptr; ++d) {
        std::string name = d->name;
        name.resize(std::max<std::size_t>(name.size() + 1, 24), ' ');
        text += "    " + name + Direction(*d) + " " + KindText(*d) + (d->required ? ", required" : ", optional") + "  (" + d->label +
                ")\n";
    }
    if (entry.arguments->name == nullptr) text += "    none\n";
    return text;
}

Json::Value DescribeJson(const ScanEngine::FunctionEntry& entry) {
    Json::Value out(Json::objectValue);
    out["name"] = entry.name;
    out["description"] = entry.description;
    out["synopsis"] = Synopsis(entry);
    static constexpr const char* kKinds[] = {"reads", "host acts", "changes the machine"};
    out["effect"] = kKinds[static_cast<int>(entry.effect.kind)];
    if (entry.effect.when_nonzero) out["effect_when_nonzero"] = entry.effect.when_nonzero;
    if (const std::string_view example = ExampleCall(entry.name); !example.empty())
        out["example"] = std::string(example);
    out["result"] = entry.result;
    out["host_services"] = Json::Value(Json::arrayValue);
    for (const std::string& name : ServiceNames(entry)) out["host_services"].append(name);
    out["arguments"] = Json::Value(Json::arrayValue);
    for (const ArgumentDescriptor* d = entry.arguments; d->name != nullptr; ++d) {
        Json::Value argument(Json::objectValue);
        argument["name"] = d->name;
        argument["label"] = d->label;
        argument["kind"] = KindText(*d);
        argument["direction"] = Direction(*d);
        argument["required"] = d->required;
        out["arguments"].append(argument);
    }
    return out;
}

std::string ReferenceMarkdown() {
    std::string text =
        "# Functions\n\nEvery function the module registers, generated by `orvik doc` from the function table; "
        "do not edit by hand. Each takes its arguments by name; `orvik describe NAME` says the same. Each example is "
        "the function's first call in `examples/every-function.txt`, written as a suite line (quote it for a shell); "
        "`orvik run --allow-changes examples/every-function.txt` makes every call against "
        "`examples/host-state.json` and checks what each answers.\n";
    for (const ScanEngine::FunctionEntry& entry : ScanEngine::kFunctionCatalogue) {
        text += "\n## " + std::string(entry.name) + "\n\n" + entry.description + "\n\nEffect: " +
                EffectText(entry.effect) + ".\n\nResult: " + entry.result + "\n\nHost services: " +
                ServicesText(entry, "`") + ".\n\n    orvik call " + Synopsis(entry) + "\n\n";
        const std::string_view example = ExampleCall(entry.name);
        if (example.empty())
            throw std::runtime_error(std::string("no example call of ") + entry.name + " in examples/every-function.txt");
        text += "Example:\n\n    " + std::string(example) + "\n\n";
        if (entry.arguments->name == nullptr) {
            text += "No arguments.\n";
            continue;
        }
        text += "| argument | direction | kind | required | label |\n|---|---|---|---|---|\n";
        for (const ArgumentDescriptor* d = entry.arguments; d->name != nullptr; ++d)
            text += "| `" + std::string(d->name) + "` | " + Direction(*d) + " | " + KindText(*d) + " | " +
                    (d->required ? "yes" : "no") + " | " + d->label + " |\n";
    }
    return text;
}

}  // namespace OrvikCli
