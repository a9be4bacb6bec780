// Cost of single calls through the module interface: the DLL loaded into the
// reference host, each registered function called by its handler with a
// prepared argument array, as the engine calls it. For each call: time, and
// the heap allocations the module itself makes (its msvcrt imports are
// redirected to counting wrappers). A direct call of a host service entry,
// timed in the same run, is the yardstick that makes figures from different
// machines and runs comparable.
//
//   abi_benchmark [--dll [LABEL=]PATH]... [--benchmark_... options]
//
// Several DLLs (say, an older and a newer build) are measured side by side in
// one run, with their repetitions interleaved at random; the table at the end
// gives the median of the repetitions.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "common/utf.h"
#include "host/loaded_module.h"
#include "host/process_record_writer.h"
#include "support/subject_process.h"

namespace {

using namespace RefHost;

// ---------------------------------------------------------------------------
// Allocation counting through the module's import address table.

// A plain load and store, not a locked increment: the counted calls run on
// one thread, and the wrappers should cost next to nothing.
std::atomic<std::uint64_t> g_allocations{0};
void CountAllocation() { g_allocations.store(g_allocations.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }

using MallocFn = void* (*)(std::size_t);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
using StrdupFn = char* (*)(const char*);
// The originals, taken from the first import table patched (every module
// imports the same msvcrt).
std::atomic<MallocFn> g_malloc{nullptr};
std::atomic<CallocFn> g_calloc{nullptr};
std::atomic<ReallocFn> g_realloc{nullptr};
std::atomic<StrdupFn> g_strdup{nullptr};

void* CountingMalloc(std::size_t size) {
    CountAllocation();
    return g_malloc.load(std::memory_order_relaxed)(size);
}
void* CountingCalloc(std::size_t count, std::size_t size) {
    CountAllocation();
    return g_calloc.load(std::memory_order_relaxed)(count, size);
}
void* CountingRealloc(void* block, std::size_t size) {
    CountAllocation();
    return g_realloc.load(std::memory_order_relaxed)(block, size);
}
char* CountingStrdup(const char* text) {
    CountAllocation();
    return g_strdup.load(std::memory_order_relaxed)(text);
}

struct Redirect {
    const char* name;
    void* wrapper;
    std::function<void(void*)> note_original;
};

template <typename Fn>
std::function<void(void*)> Keep(std::atomic<Fn>& slot) {
    return [&slot](void* original) {
        Fn expected = nullptr;
        slot.compare_exchange_strong(expected, reinterpret_cast<Fn>(original));
    };
}

// Points a module's imports of some functions of one DLL at other functions
// while it lives; restores them when it ends. Imports the module lacks are
// left alone.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const std::vector<Redirect>& redirects) {
        auto* base = reinterpret_cast<std::uint8_t*>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (imports.VirtualAddress == 0) return;
        for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
            if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
            const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA64*>(
                base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->FirstThunk);
            for (std::size_t i = 0; names[i].u1.AddressOfData != 0; ++i) {
                if (IMAGE_SNAP_BY_ORDINAL64(names[i].u1.Ordinal)) continue;
                const char* name =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData)->Name;
                for (const Redirect& r : redirects) {
                    if (std::strcmp(name, r.name) != 0) continue;
                    void** slot = reinterpret_cast<void**>(&slots[i].u1.Function);
                    r.note_original(*slot);
                    saved_.push_back({slot, *slot});
                    Write(slot, r.wrapper);
                    patched_.push_back(r.name);
                }
            }
        }
    }
    ~ImportPatch() {
        for (const auto& [slot, original] : saved_) Write(slot, original);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    const std::vector<std::string>& Patched() const { return patched_; }

private:
    static void Write(void** slot, void* value) {
        DWORD previous = 0;
        if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous))
            throw std::runtime_error("cannot unprotect an import slot");
        *slot = value;
        VirtualProtect(slot, sizeof *slot, previous, &previous);
    }

    std::vector<std::pair<void**, void*>> saved_;
    std::vector<std::string> patched_;
};

// ---------------------------------------------------------------------------
// The calls.

constexpr std::uint64_t kSubjectUid = 0x0000123400005678ull;
const std::u16string kSubjectCommandLine = u"orvik_subject.exe worker listen";
const std::string kProgramPath = "C:\\Program Files\\Vendor\\app.exe";  // 31 characters: 64 bytes as UTF-16 with its nul

// Same text every run: bytes of a fixed generator.
std::string Bytes(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string Utf16HexDump(const std::string& ascii) {
    static const char digits[] = "0123456789ABCDEF";
    std::string dump;
    for (const char c : ascii + '\0') {
        dump += digits[(c >> 4) & 15];
        dump += digits[c & 15];
        dump += "00";
    }
    return dump;
}

// `count` distinct code points spread over the whole CJK block, then a full
// stop (3 * count + 1 bytes): every code point counted once, the hardest short
// text of one script.
std::string CjkText(char32_t count) {
    std::string text;
    for (char32_t i = 0; i < count; ++i) {
        const char32_t c = 0x4E00 + i * 7919 % 20992;  // 7919 is prime to 20992: no repeats
        text += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                 static_cast<char>(0x80 | (c & 0x3F))};
    }
    return text + ".";
}

struct Expect {
    std::optional<std::int64_t> result;  // none: any positive result
    // What the written variables must show; empty text when they do.
    std::function<std::string(const CallResult&)> outputs;
    bool quiet = true;  // nothing logged
};

struct CallSpec {
    std::string label;
    std::string function;
    std::vector<Arg> args;
    Expect expect;
    // Timed against trivial service entries and variable writes instead of
    // the reference host's, which record every call: what remains is the
    // module's own cost.
    bool bare_host = false;
};

// Trivial service entries, for the module's cost alone and for the yardstick.
std::int32_t BareIsEngineEnabled(Abi::ServiceInterface*, std::uint32_t engine_id) { return engine_id != 0; }
std::int32_t BareSetProcessMonitoredStatus(Abi::ServiceInterface*, std::uint64_t, bool) { return 0; }
std::int32_t BareAssignInteger(Abi::CallContext*, std::uint32_t, std::uint64_t) { return 0; }
std::int32_t BareAssignString(Abi::CallContext*, std::uint32_t, const void*, std::uint64_t) { return 0; }
// A host keeps each string's length with it; the reference host looks it up.
std::uint64_t BareStringLength(Abi::CallContext*, const char* value) { return std::strlen(value); }

// Swaps trivial entries into a function table (a service table, a call
// context) for its lifetime, and puts the host's back after.
template <typename Table>
class TrivialEntries {
public:
    TrivialEntries(Table* table, bool active) : table_(active ? table : nullptr) {
        if (table_ == nullptr) return;
        saved_ = *table_;
        if constexpr (std::is_same_v<Table, Abi::ServiceInterface>) {
            table_->IsEngineEnabled = &BareIsEngineEnabled;
            table_->SetProcessMonitoredStatus = &BareSetProcessMonitoredStatus;
        } else {
            // The answers were checked beforehand with the host's own writes.
            table_->AssignIntegerVariable = &BareAssignInteger;
            table_->AssignStringVariable = &BareAssignString;
            table_->GetStringLength = &BareStringLength;
        }
    }
    ~TrivialEntries() {
        if (table_ != nullptr) *table_ = saved_;
    }
    TrivialEntries(const TrivialEntries&) = delete;
    TrivialEntries& operator=(const TrivialEntries&) = delete;

private:
    Table* table_;
    Table saved_{};
};
using BareHost = TrivialEntries<Abi::ServiceInterface>;
using BareCall = TrivialEntries<Abi::CallContext>;

std::string NeedText(const CallResult& r, std::uint32_t ref, const std::function<bool(const std::string&)>& good,
                     const char* what) {
    const auto it = r.variables.find(ref);
    if (it == r.variables.end() || it->second.kind != Variable::Kind::String) return std::string("no ") + what;
    return good(it->second.text) ? "" : std::string("unexpected ") + what + ": " + it->second.text.substr(0, 80);
}
std::string NeedInteger(const CallResult& r, std::uint32_t ref, std::uint64_t value, const char* what) {
    const auto it = r.variables.find(ref);
    if (it == r.variables.end() || it->second.kind != Variable::Kind::Integer) return std::string("no ") + what;
    return it->second.integer == value ? "" : std::string("unexpected ") + what + ": " + std::to_string(it->second.integer);
}

std::vector<CallSpec> CallSpecs(std::uint32_t subject_pid) {
    const std::string ascii = "powershell.exe -NoProfile -ExecutionPolicy Bypass -File C:\\t\\a.ps";
    const std::string cjk = CjkText(341), cjk4k = CjkText(1365);
    const auto none = [](const CallResult&) { return std::string(); };
    const std::string pid = std::to_string(subject_pid);

    std::vector<Arg> process_info{Arg::Int("query_pid", subject_pid)};
    const char* integers[] = {"process_pid", "process_uid", "parent_pid", "parent_process_uid"};
    std::uint32_t ref = 101;
    for (const char* name : integers) process_info.push_back(Arg::OutInt(name, ref++));
    for (const char* name : {"image_filename_nt", "image_filename", "cmdline"}) process_info.push_back(Arg::OutStr(name, ref++));
    for (const char* name : {"noimage", "terminated", "start_timestamp"}) process_info.push_back(Arg::OutInt(name, ref++));
    process_info.push_back(Arg::OutStr("process_user_sid", ref++));
    for (const char* name : {"is_admin", "integrity_level", "exit_timestamp"}) process_info.push_back(Arg::OutInt(name, ref++));
    for (const char* name : {"process_privileges", "cwd"}) process_info.push_back(Arg::OutStr(name, ref++));

    const auto tlsh = [](const CallResult& r) {
        return NeedText(r, 1, [](const std::string& t) { return t.size() == 72 && t.rfind("T1", 0) == 0; }, "digest");
    };
    return {
        {"is_engine_enabled", "is_engine_enabled", {Arg::Int("engine_id", 1)}, {1, none}},
        {"set_process_monitored_status", "set_process_monitored_status",
         {Arg::Int("puid", static_cast<std::int64_t>(kSubjectUid)), Arg::Int("enabled", 1)}, {0, none}},
        {"is_engine_enabled (bare host)", "is_engine_enabled", {Arg::Int("engine_id", 1)}, {1, none}, true},
        {"set_process_monitored_status (bare host)", "set_process_monitored_status",
         {Arg::Int("puid", static_cast<std::int64_t>(kSubjectUid)), Arg::Int("enabled", 1)}, {0, none}, true},
        {"reg_parse_int (16 hex digits)", "reg_parse_int", {Arg::Str("hex_input", "0123456789ABCDEF"), Arg::OutInt("value", 1)},
         {0, [](const CallResult& r) { return NeedInteger(r, 1, 0xEFCDAB8967452301ull, "value"); }}},
        {"reg_parse_string (64 bytes)", "reg_parse_string",
         {Arg::Str("hex_input", Utf16HexDump(kProgramPath)), Arg::OutStr("text", 1)},
         {0, [](const CallResult& r) {
              return NeedText(r, 1, [](const std::string& t) { return t.rfind(kProgramPath, 0) == 0; }, "text");
          }}},
        {"entropy (64 B ASCII)", "entropy", {Arg::Str("text", ascii.substr(0, 64)), Arg::OutInt("length", 1)},
         {std::nullopt, [](const CallResult& r) { return NeedInteger(r, 1, 64, "length"); }}},
        {"entropy (1 KiB CJK)", "entropy", {Arg::Str("text", cjk), Arg::OutInt("length", 1)},
         {std::nullopt, [](const CallResult& r) { return NeedInteger(r, 1, 342, "length"); }}},
        {"entropy (4 KiB CJK)", "entropy", {Arg::Str("text", cjk4k), Arg::OutInt("length", 1)},
         {std::nullopt, [](const CallResult& r) { return NeedInteger(r, 1, 1366, "length"); }}},
        {"entropy (64 B ASCII, bare host)", "entropy", {Arg::Str("text", ascii.substr(0, 64)), Arg::OutInt("length", 1)},
         {std::nullopt, [](const CallResult& r) { return NeedInteger(r, 1, 64, "length"); }}, true},
        {"entropy (1 KiB CJK, bare host)", "entropy", {Arg::Str("text", cjk), Arg::OutInt("length", 1)},
         {std::nullopt, [](const CallResult& r) { return NeedInteger(r, 1, 342, "length"); }}, true},
        {"get_process_info (16 outputs)", "get_process_info", process_info,
         {0, [](const CallResult& r) {
              if (r.variables.size() != 16) return "written outputs: " + std::to_string(r.variables.size());
              return NeedText(r, 107, [](const std::string& t) { return t == "orvik_subject.exe worker listen"; }, "cmdline");
          }}},
        {"eval_tlsh_hash (64 KiB)", "eval_tlsh_hash", {Arg::Str("path", "C:\\samples\\64k.bin"), Arg::OutStr("hash", 1)},
         {0, tlsh}},
        {"eval_tlsh_hash (1 MiB)", "eval_tlsh_hash", {Arg::Str("path", "C:\\samples\\1m.bin"), Arg::OutStr("hash", 1)},
         {0, tlsh}},
        // Wine leaves some start times unknown, which the module logs.
        {"get_proc_snapshot", "get_proc_snapshot", {Arg::OutStr("proc_snapshot", 1)},
         {0, [pid](const CallResult& r) {
              return NeedText(r, 1, [&](const std::string& t) { return t.find(";" + pid + ",") != std::string::npos ||
                                                                        t.rfind(pid + ",", 0) == 0; }, "snapshot");
          }, false}},
        {"memory_scan_ml_get_statistic", "memory_scan_ml_get_statistic", {Arg::OutStr("statistic", 1)},
         {0, [](const CallResult& r) {
              return NeedText(r, 1, [](const std::string& t) { return t.find("orvik_subject.exe") != std::string::npos; },
                              "statistic");
          }}},
    };
}

// The host knows the subject: its process cache entry, and file content to hash.
void PrepareHost(HostServices& host, std::uint32_t subject_pid) {
    HostProcess process;
    process.pid = subject_pid;
    process.uid = kSubjectUid;
    process.parent_pid = GetCurrentProcessId();
    process.parent_uid = 0x0000123400000001ull;
    process.image_nt = u"\\Device\\HarddiskVolume1\\bench\\orvik_subject.exe";
    process.command_line = kSubjectCommandLine;
    process.cwd = u"C:\\bench";
    process.start_time = 133000000000000000ull;
    process.exit_time = 0;
    process.user_sid = std::string("\1\5\0\0\0\0\0\5\x15\0\0\0\1\0\0\0\2\0\0\0\3\0\0\0\xE8\3\0\0", 28);
    process.integrity_level = 0x2000;
    process.privileges = std::vector<HostPrivilege>{{20, 0, 3}, {23, 0, 2}, {25, 0, 0}};
    host.AddProcess(process);
    auto lock = host.Lock();
    host.State().files["C:\\samples\\64k.bin"] = Bytes(64 << 10, 1);
    host.State().files["C:\\samples\\1m.bin"] = Bytes(1 << 20, 2);
}

// ---------------------------------------------------------------------------
// One DLL under test.

struct Dll {
    std::string label;
    std::wstring path;
    HostEngine engine;
    std::unique_ptr<LoadedModule> module;
    std::unique_ptr<ImportPatch> patch;  // ends before the module is unloaded
};

HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
    return module;
}

// A call prepared for timing: the host's call context and the argument
// array stay the same from call to call.
struct PreparedCall {
    Dll* dll;
    const CallSpec* spec;
    Abi::Handler handler = nullptr;
    std::unique_ptr<HostCallContext> context;
    std::vector<Abi::ArgumentValue> values;
    std::string error;
};

void NewContext(PreparedCall& p, std::uint32_t subject_pid) {
    p.context = std::make_unique<HostCallContext>(p.dll->engine.Services().Objects());
    p.context->function_name = p.spec->function;
    p.context->process_uid = kSubjectUid;
    p.context->process_id = subject_pid;
}

// Runs the call once with the host's own caller and checks what it gave.
std::string Check(PreparedCall& p, std::uint32_t subject_pid) {
    try {
        NewContext(p, subject_pid);
        const BareHost bare(p.dll->engine.ServiceInterface(), p.spec->bare_host);
        const CallResult r = p.dll->module->Call(p.spec->function, p.spec->args, *p.context);
        std::string why;
        const Expect& e = p.spec->expect;
        if (e.result ? r.result != *e.result : r.result <= 0) why = "result " + std::to_string(r.result);
        else if (e.quiet && !r.log.empty()) why = "logged: " + r.log.front().text;
        else why = e.outputs(r);
        p.handler = p.dll->module->HandlerOf(p.spec->function);
        NewContext(p, subject_pid);
        p.values = LoadedModule::ArgumentValues(p.spec->args, *p.context);
        return why;
    } catch (const std::exception& e) {
        return e.what();
    }
}

// What the host keeps of every call (journal, released objects, the call
// context's record of operations and log) is dropped now and then, outside
// the timing, so a long run neither grows memory nor slows down.
constexpr std::int64_t kTidyEvery = 16384;
void Tidy(HostServices& host, HostCallContext* call) {
    host.Journal().Clear();
    host.Objects().DropReleased();
    if (call != nullptr) {
        call->operations.clear();
        call->log.clear();
    }
}

void TimeCall(benchmark::State& state, PreparedCall& p) {
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    HostServices& host = p.dll->engine.Services();
    Tidy(host, p.context.get());
    const BareHost bare(p.dll->engine.ServiceInterface(), p.spec->bare_host);
    const BareCall bare_call(p.context->Record(), p.spec->bare_host);
    const auto argc = static_cast<std::uint32_t>(p.values.size());
    const std::uint64_t before = g_allocations.load();
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.handler(argc, p.values.data(), &p.context->site, p.context->Record(), p.dll->module->Context()));
        if (++n % kTidyEvery == 0) {
            state.PauseTiming();
            Tidy(host, p.context.get());
            state.ResumeTiming();
        }
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(g_allocations.load() - before),
                                                  benchmark::Counter::kAvgIterations);
}

// Its allocations are the host's own, so the count shows 0 unless the
// counting reached beyond the modules.
void TimeYardstick(benchmark::State& state, HostEngine& engine, bool bare_host) {
    Abi::ServiceInterface* si = engine.ServiceInterface();
    const BareHost bare(si, bare_host);
    Tidy(engine.Services(), nullptr);
    const std::uint64_t before = g_allocations.load();
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(si->IsEngineEnabled(si, 1));
        if (++n % kTidyEvery == 0) {
            state.PauseTiming();
            Tidy(engine.Services(), nullptr);
            state.ResumeTiming();
        }
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(g_allocations.load() - before),
                                                  benchmark::Counter::kAvgIterations);
}

// ---------------------------------------------------------------------------
// The table: medians of the repetitions, wall-clock and thread CPU time and
// allocations, for each DLL. (CPU time holds on a busy machine, but leaves out
// the time the call waits for the Wine server or the kernel.)

struct Figure {
    double ns = 0;
    double cpu_ns = 0;
    double allocs = 0;
    std::string error;
};

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    // Shows the median and the coefficient of variation of each call; keeps the medians.
    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs)
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median" || run.aggregate_name == "cv")
                shown.push_back(run);
        ConsoleReporter::ReportRuns(shown);
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            if (run.error_occurred) figures[name].error = run.error_message;
            else if (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions <= 1) {
                Figure& f = figures[name];
                f.ns = run.GetAdjustedRealTime();
                f.cpu_ns = run.GetAdjustedCPUTime();
                const auto allocs = run.counters.find("allocs");
                f.allocs = allocs == run.counters.end() ? -1 : allocs->second.value;
            }
        }
    }
    std::map<std::string, Figure> figures;
};

std::string BenchName(const std::string& call, const std::string& dll) { return call + " [" + dll + "]"; }

void PrintTable(const std::vector<CallSpec>& specs, const std::vector<std::unique_ptr<Dll>>& dlls,
                const std::map<std::string, Figure>& figures, const std::vector<std::string>& yardsticks) {
    std::printf("\n%-42s", "call");
    for (const auto& dll : dlls) std::printf(" | %10s %10s %7s", (dll->label + " ns").c_str(), "cpu ns", "allocs");
    std::printf("\n%s\n", std::string(42 + dlls.size() * 33, '-').c_str());
    for (const CallSpec& spec : specs) {
        const auto run = [&](const auto& dll) { return figures.count(BenchName(spec.label, dll->label)) != 0; };
        if (std::none_of(dlls.begin(), dlls.end(), run)) continue;  // filtered out
        std::printf("%-42s", spec.label.c_str());
        for (const auto& dll : dlls) {
            const auto it = figures.find(BenchName(spec.label, dll->label));
            if (it == figures.end()) std::printf(" | %29s", "(not run)");
            else if (!it->second.error.empty()) std::printf(" | %29s", "error");
            else std::printf(" | %10.0f %10.0f %7.2f", it->second.ns, it->second.cpu_ns, it->second.allocs);
        }
        std::printf("\n");
    }
    for (const std::string& yardstick : yardsticks) {
        const auto it = figures.find(yardstick);
        if (it != figures.end())
            std::printf("%-42s | %10.0f %10.0f %7.2f\n", yardstick.c_str(), it->second.ns, it->second.cpu_ns,
                        it->second.allocs);
    }
    std::printf("\n");
    for (const auto& dll : dlls) std::printf("%s = %s\n", dll->label.c_str(), Common::WideToUtf8(dll->path.data(), dll->path.size()).c_str());
    for (const auto& [name, figure] : figures)
        if (!figure.error.empty()) std::printf("error: %s: %s\n", name.c_str(), figure.error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // Our options out, defaults for the benchmark library's in.
    std::vector<std::pair<std::string, std::wstring>> wanted;
    std::vector<std::string> options{argv[0]};
    bool repetitions = false, interleaving = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dll" && i + 1 < argc) {
            const std::string value = argv[++i];
            const auto eq = value.find('=');
            const bool labelled = eq != std::string::npos && value.find_first_of(":\\/") > eq;
            wanted.push_back({labelled ? value.substr(0, eq) : "#" + std::to_string(wanted.size() + 1),
                              Common::Utf8ToWide((labelled ? value.substr(eq + 1) : value).c_str())});
        } else {
            repetitions = repetitions || arg.rfind("--benchmark_repetitions", 0) == 0;
            interleaving = interleaving || arg.rfind("--benchmark_enable_random_interleaving", 0) == 0;
            options.push_back(arg);
        }
    }
    if (wanted.empty()) wanted.push_back({"#1", DefaultModulePath()});
    if (!repetitions) options.push_back("--benchmark_repetitions=5");
    if (!interleaving) options.push_back("--benchmark_enable_random_interleaving=true");
    options.push_back("--benchmark_report_aggregates_only=true");
    std::vector<char*> pointers;
    for (std::string& o : options) pointers.push_back(o.data());
    int count = static_cast<int>(pointers.size());
    benchmark::Initialize(&count, pointers.data());
    if (benchmark::ReportUnrecognizedArguments(count, pointers.data())) return 2;

    try {
        OrvikTest::SubjectProcess subject({"worker", "listen"});
        const std::vector<CallSpec> specs = CallSpecs(subject.Pid());

        std::vector<std::unique_ptr<Dll>> dlls;
        for (const auto& [label, path] : wanted) {
            auto dll = std::make_unique<Dll>();
            dll->label = label;
            dll->path = path;
            dll->module = std::make_unique<LoadedModule>(path);
            for (const auto& other : dlls)
                if (ModuleOf(reinterpret_cast<const void*>(other->module->InitEntry())) ==
                    ModuleOf(reinterpret_cast<const void*>(dll->module->InitEntry())))
                    throw std::runtime_error(label + " is the module of " + other->label +
                                             " again: give DLLs of different names");
            if (dll->module->Init(dll->engine) != 0) throw std::runtime_error(label + ": initialisation failed");
            PrepareHost(dll->engine.Services(), subject.Pid());
            dll->patch = std::make_unique<ImportPatch>(
                ModuleOf(reinterpret_cast<const void*>(dll->module->InitEntry())), "msvcrt.dll",
                std::vector<Redirect>{{"malloc", reinterpret_cast<void*>(&CountingMalloc), Keep(g_malloc)},
                                      {"calloc", reinterpret_cast<void*>(&CountingCalloc), Keep(g_calloc)},
                                      {"realloc", reinterpret_cast<void*>(&CountingRealloc), Keep(g_realloc)},
                                      {"_strdup", reinterpret_cast<void*>(&CountingStrdup), Keep(g_strdup)}});
            if (dll->patch->Patched().empty())
                std::fprintf(stderr, "warning: %s imports no allocation function of msvcrt.dll; allocations show 0\n",
                             label.c_str());
            dlls.push_back(std::move(dll));
        }

        // Call-major order, so one call's figures for all DLLs come out together.
        std::vector<std::unique_ptr<PreparedCall>> calls;
        for (const CallSpec& spec : specs) {
            for (const auto& dll : dlls) {
                auto call = std::make_unique<PreparedCall>();
                call->dll = dll.get();
                call->spec = &spec;
                call->error = Check(*call, subject.Pid());
                PreparedCall* p = call.get();
                benchmark::RegisterBenchmark(BenchName(spec.label, dll->label).c_str(),
                                             [p](benchmark::State& state) { TimeCall(state, *p); })
                    ->UseRealTime()
                    ->Unit(benchmark::kNanosecond);
                calls.push_back(std::move(call));
            }
        }
        HostEngine yardstick_host;
        const std::string yardstick = "yardstick: host IsEngineEnabled";
        const std::string bare_yardstick = "yardstick: bare IsEngineEnabled";
        for (const auto& [name, bare_host] : {std::pair{yardstick, false}, std::pair{bare_yardstick, true}}) {
            benchmark::RegisterBenchmark(name.c_str(), [&yardstick_host, bare_host = bare_host](benchmark::State& state) {
                TimeYardstick(state, yardstick_host, bare_host);
            })
                ->UseRealTime()
                ->Unit(benchmark::kNanosecond);
        }

        CollectingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        std::cout.flush();  // the library's report, before the table
        PrintTable(specs, dlls, reporter.figures, {yardstick, bare_yardstick});

        // The module gives back everything the host handed it.
        std::fflush(stdout);
        calls.clear();
        for (const auto& dll : dlls) {
            dll->patch.reset();
            dll->module->Deinit();
            if (dll->engine.Services().Objects().Live() != 0)
                std::printf("warning: %s left host objects unreleased\n", dll->label.c_str());
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "abi_benchmark: %s\n", e.what());
        return 1;
    }
}
