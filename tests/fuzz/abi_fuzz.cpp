// Drives every registered function of the built module, by its registered
// name, with malformed argument shapes against a hostile reference host, and
// checks after each call: no crash, a bounded duration, under 64 KiB of stack,
// every host object released exactly once and never used after release, and
// for a call the argument rules reject, the function's failure result and a
// log line. Seeded: the same CALLS and SEED replay the same calls; FIRST skips
// (draws but does not make) the calls before it.
//
//   abi_fuzz [CALLS] [SEED] [FIRST]
//
// Anything that acts is kept to what the run made itself: its own subject
// processes, folder and registry key, and commands that start the subject.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_hkey.h"
#include "common/utf.h"
#include "host/loaded_module.h"
#include "orvik/context/function_catalogue.h"
#include "support/stack_use.h"
#include "support/subject_process.h"

namespace {

using namespace RefHost;
using ScanEngine::AddressKind;
using ScanEngine::ArgumentDescriptor;

constexpr std::size_t kStackLimit = 64 * 1024;
constexpr int kBatch = 500;                 // calls per fresh host and module load
constexpr std::uint64_t kCallBoundMs = 30000;
constexpr unsigned kFaultPercent = 10;

// The call under way, for the crash filter and the watchdog.
char g_current[2048] = "(before the first call)";
std::atomic<std::uint64_t> g_started{0};  // tick count at call start, 0 between calls

// Formats into static storage and writes unbuffered: the heap may be what broke.
[[noreturn]] void Stop(const char* what, int code) {
    static char report[sizeof g_current + 256];
    const int length = std::snprintf(report, sizeof report, "FAILED: %s\n  in %s\n", what, g_current);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), report, static_cast<DWORD>(length), &written, nullptr);
    ExitProcess(code);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* e) {
    char what[64];
    std::snprintf(what, sizeof what, "exception 0x%08lx", e->ExceptionRecord->ExceptionCode);
    Stop(what, 2);
}

// What the run owns: a folder, a registry key, two subject processes.
struct Playground {
    std::filesystem::path folder;
    std::string dos_folder, nt_folder;
    std::string key = "Software\\OrvikFuzz-" + std::to_string(GetCurrentProcessId());
    std::string subject_command;
    std::unique_ptr<OrvikTest::SubjectProcess> plain, worker;

    Playground() {
        folder = std::filesystem::temp_directory_path() / ("orvik-fuzz-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder / "sub");
        const std::wstring wide = folder.wstring();
        dos_folder = Common::WideToUtf8(wide.data(), wide.size());
        wchar_t device[1024] = {};
        const wchar_t drive[] = {wide[0], L':', L'\0'};
        if (QueryDosDeviceW(drive, device, 1024) != 0) {
            const std::wstring nt = device + wide.substr(2);
            nt_folder = Common::WideToUtf8(nt.data(), nt.size());
        }
        Common::UniqueHkey created;
        RegCreateKeyExW(HKEY_CURRENT_USER, Common::Utf8ToWide(key.c_str()).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, created.Put(), nullptr);
        RegSetValueExW(created.Get(), L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"text"), 10);
        plain = std::make_unique<OrvikTest::SubjectProcess>(std::vector<std::string>{});
        worker = std::make_unique<OrvikTest::SubjectProcess>(std::vector<std::string>{"worker"});
        const std::wstring exe = OrvikTest::SubjectProcess::ExecutablePath();
        subject_command = "\"" + Common::WideToUtf8(exe.data(), exe.size()) + "\"";
    }
    ~Playground() {
        RegDeleteTreeW(HKEY_CURRENT_USER, Common::Utf8ToWide(key.c_str()).c_str());
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // Files the functions may delete or read; laid anew for every batch.
    void Lay() const {
        std::ofstream(folder / "a.bin", std::ios::binary) << std::string(4096, 'a') << "\x01\x02\xff tail";
        std::ofstream(folder / "b.txt", std::ios::binary) << "\xff\xfetext";
    }
};

// One argument as it will be passed; `lie` declares a shorter length for a text.
struct Value {
    std::string name;
    bool null_name = false;
    std::uint32_t kind = Abi::kValueUndefined, storage = Abi::kStorageNone;
    std::int64_t integer = 0;
    std::string text;
    bool lie = false;
};

class Fuzzer {
public:
    Fuzzer(std::uint64_t seed, Playground& ground) : random_(seed), seed_(seed), ground_(ground) {}

    void Run(std::uint64_t calls, std::uint64_t first) {
        for (std::uint64_t done = 0; done < calls;) {
            StartBatch(done / kBatch);
            for (int i = 0; i < kBatch && done < calls; ++i, ++done) {
                OneCall(done, done >= first);
                if ((done + 1) % 100000 == 0) std::printf("  %" PRIu64 " calls\n", done + 1), std::fflush(stdout);
            }
            EndBatch();
        }
    }
    std::uint64_t malformed = 0;

private:
    std::uint64_t Draw(std::uint64_t n) { return random_() % n; }
    bool Chance(unsigned percent) { return Draw(100) < percent; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) { return items[Draw(N)]; }

    void StartBatch(std::uint64_t batch) {
        engine_ = std::make_unique<HostEngine>();
        HostServices& host = engine_->Services();
        host.SetFaultPlan({seed_ * 1000003 + batch, kFaultPercent});
        ground_.Lay();
        const std::uint32_t pid = ground_.plain->Pid();
        HostProcess process;
        process.pid = pid;
        process.uid = 77;
        process.parent_pid = ground_.worker->Pid();
        process.image_nt = u"\\x\\a.exe";
        process.command_line = u"a -x";
        host.AddProcess(process);
        auto& s = host.State();
        s.process_trees[{pid, 0}] = "{\"pid\":1,\"children\":[]}";
        s.process_categories["a.exe"] = "[\"browser\"]";
        s.files[ground_.dos_folder + "\\hosted.bin"] = std::string(3000, 'h') + "\x80\x81";
        s.verdicts[{ground_.dos_folder + "\\a.bin", "", 1}] = {60, 1, -1, 0, 0};
        s.registry_keys.insert({1, Common::Utf8ToWide(ground_.key.c_str())});
        // Loaded once: some thousand load and unload cycles exhaust the process under Wine.
        if (!module_) module_ = std::make_unique<LoadedModule>();
        if (module_->Init(*engine_) != 0) Stop("module initialisation failed", 1);
        if (engine_->Registrations().size() != ScanEngine::kFunctionCount) Stop("not every function registered", 1);
    }

    void EndBatch() {
        module_->Deinit();
        CheckObjects(0, 0, 0);
        engine_.reset();
    }

    void CheckObjects(int live, int doubles, int late) {
        ObjectPool& pool = engine_->Services().Objects();
        if (pool.Live() != live) Stop("host objects left unreleased", 1);
        if (pool.DoubleReleases() != doubles) Stop("host object released twice", 1);
        if (pool.UsesAfterRelease() != late) Stop("host object used after release", 1);
    }

    std::string Path() {
        static const char* const kNames[] = {"a.bin", "b.txt", "sub", "missing.txt", "hosted.bin", "sub\\x.lnk"};
        const std::uint64_t choice = Draw(10);
        if (choice == 0) return "";
        const std::string base = choice == 1 && !ground_.nt_folder.empty() ? ground_.nt_folder : ground_.dos_folder;
        return base + "\\" + (choice < 8 ? std::string(Pick(kNames)) : Hostile());
    }

    // Texts a rule would not pass: empty, 1 MiB, NUL-holding, invalid UTF-8, random.
    std::string Hostile() {
        switch (Draw(7)) {
            case 0: return "";
            case 1: return std::string(1 << 20, static_cast<char>('a' + Draw(26)));
            case 2: return std::string("ab\0cd", 5);
            case 3: return "\xff\xfe\xc3(\xed\xa0\x80";
            case 4: return "{\"a\":[1,{\"b\":\"\\u0000\"}]}";
            case 5: return "01000000";
            default: {
                std::string bytes(Draw(64), '\0');
                for (char& c : bytes) c = static_cast<char>('!' + Draw(90));  // no spaces or controls
                return bytes;
            }
        }
    }

    // By the argument's label: names repeat with other meanings.
    std::string Text(const ArgumentDescriptor& d) {
        const std::string label = d.label, name = d.name;
        if (label == "PATH" || label == "PARENT_PATH" || label == "FILE") return Path();
        // The subject ends at once on an argument it does not know; without one it waits for its input.
        if (label == "CHILD_PROCESS_CMDLINE") return ground_.subject_command + " " + Letters();
        if (label == "HIVE") return Chance(80) ? Pick({"HKCU", "HKEY_CURRENT_USER", "HKLM", "HKCR"}) : Hostile();
        if (label == "KEY_NAME") return ground_.key + (Chance(50) ? "" : "\\" + Hostile());
        if (label == "VALUE_NAME") return Chance(50) ? "v" : Hostile();
        for (const std::size_t digits : {32, 40, 64})  // md5, sha1, sha256 and their _parent forms
            if (name.rfind(digits == 32 ? "md5" : digits == 40 ? "sha1" : "sha256", 0) == 0 && Chance(50))
                return std::string(digits, "0123456789abcdef"[Draw(16)]);
        return Chance(20) ? "a.exe" : Hostile();
    }

    std::string Letters() {
        std::string text(1 + Draw(Chance(5) ? 20000 : 16), 'x');
        for (char& c : text) c = static_cast<char>('a' + Draw(26));
        return text;
    }

    // Pids and thread ids are the subjects' own, or values no process has.
    std::int64_t Integer(const std::string& label) {
        static const std::int64_t kExtremes[] = {-1, INT64_MIN, INT64_MAX, INT32_MIN, 0xFFFFFFFF, 0x7FFFFFFF, 1};
        if (label == "PROCESS_ID" || label == "QUERY_PID" || label == "SYSTEM_PID" || label == "THREAD_ID") {
            if (Chance(30)) return Pick(kExtremes);
            if (label == "THREAD_ID") return static_cast<std::int64_t>(ground_.worker->Number("worker_thread"));
            return Chance(50) ? ground_.plain->Pid() : ground_.worker->Pid();
        }
        static const std::int64_t kUsual[] = {0, 1, 2, 3, 7, 255, 256, 77, 1000};
        return Chance(30) ? Pick(kExtremes) : Pick(kUsual);
    }

    // The declared arguments, then shapes a rule would not produce.
    std::vector<Value> Shape(const ArgumentDescriptor* declared) {
        std::vector<Value> values;
        const bool clean = Chance(40);  // hostile values in the declared shape
        for (const ArgumentDescriptor* d = declared; d->name != nullptr; ++d) {
            if (Chance(d->required ? (clean ? 0 : 4) : 40)) continue;  // missing
            Value v;
            v.name = d->name;
            const unsigned kind = clean ? 11 + static_cast<unsigned>(Draw(89)) : static_cast<unsigned>(Draw(100));
            if (kind < 4) {
                v.kind = Abi::kValueUndefined;
            } else if (!d->input) {
                v.kind = kind < 8 ? Abi::kValueString : Abi::kValueInteger;
                v.storage = kind < 11 ? static_cast<std::uint32_t>(Draw(4))
                                      : d->address_kind == AddressKind::IntegerOutput ? Abi::kStorageInteger
                                                                                      : Abi::kStorageString;
                v.integer = static_cast<std::int64_t>(++next_ref_);
                if (v.kind == Abi::kValueString) v.text = Hostile();
            } else if ((d->value_kind == ScanEngine::ArgKind::String) == (kind >= 8)) {
                v.kind = Abi::kValueString;
                v.text = Text(*d);
                v.lie = Chance(5);
            } else {
                v.kind = Abi::kValueInteger;
                v.integer = Integer(d->label);
                if (kind < 8) v.storage = static_cast<std::uint32_t>(Draw(4));
            }
            values.push_back(std::move(v));
        }
        if (clean) return values;
        if (Chance(5)) values.push_back(Value{"no_such_argument", false, Abi::kValueInteger, 0, 0, "", false});
        if (Chance(2)) values.push_back(Value{"", true, Abi::kValueString, 0, 0, "x", false});
        if (Chance(5) && !values.empty()) values.push_back(values[Draw(values.size())]);  // duplicate
        if (Chance(10)) std::shuffle(values.begin(), values.end(), random_);
        return values;
    }

    // What the argument rules reject before the function's own work.
    static bool Rejected(const ArgumentDescriptor* declared, const std::vector<Value>& values) {
        std::set<std::string> satisfied;
        for (const Value& v : values) {
            const ArgumentDescriptor* d = declared;
            while (d->name != nullptr && (v.null_name || v.name != d->name)) ++d;
            if (d->name == nullptr) return true;
            if (v.kind == Abi::kValueUndefined) {
                if (d->required) return true;
                continue;
            }
            if (v.kind != static_cast<std::uint32_t>(d->value_kind)) return true;
            satisfied.insert(d->name);
        }
        for (const ArgumentDescriptor* d = declared; d->name != nullptr; ++d)
            if (d->required && !satisfied.count(d->name)) return true;
        return false;
    }

    // Functions that start processes, walk the system or talk to WMI are
    // drawn less often so that a run covers the rest in its time.
    const Registration& PickFunction(std::uint64_t index) {
        static const std::set<std::string> kSlow = {
            "os_execute",  "get_consumer_payload", "get_proc_snapshot",      "get_loaded_modules",
            "have_window", "get_volumes_map",      "memory_scan_ml_get_statistic", "get_acc_attr_by_sid",
            "get_acc_attr_by_pid", "hollow_detect_terminate", "inject_detect_terminate", "check_is_uwp"};
        const auto& all = engine_->Registrations();
        if (index < all.size()) return all[index];  // every function at least once
        for (;;) {
            const Registration& r = all[Draw(all.size())];
            if (!kSlow.count(r.name) || Chance(3)) return r;
        }
    }

    void OneCall(std::uint64_t index, bool make) {
        const Registration& function = PickFunction(index);
        const ScanEngine::FunctionEntry* entry = nullptr;
        for (const auto& e : ScanEngine::kFunctionCatalogue)
            if (function.name == e.name) entry = &e;
        if (entry == nullptr) Stop("registered name not in the catalogue", 1);

        HostCallContext call(engine_->Services().Objects());
        call.function_name = function.name;
        call.process_info = static_cast<ProcessInfoMode>(Draw(4));
        if (Chance(70)) call.process_uid = Chance(50) ? 77 : Integer("");
        if (Chance(70)) call.process_id = ground_.plain->Pid();
        const std::vector<Value> values = Shape(entry->arguments);
        const bool null_array = Chance(2);
        std::vector<Abi::ArgumentValue> argv;
        // The failing call is named with the command that replays it: the
        // same seed draws the same arguments.
        std::string text = "call " + std::to_string(index) + ": " + function.name;
        for (const Value& v : values) {
            Abi::ArgumentValue a{static_cast<std::uint64_t>(v.integer), v.kind, v.storage,
                                 v.null_name ? nullptr : v.name.c_str()};
            if (v.kind == Abi::kValueString) {
                a.value = reinterpret_cast<std::uint64_t>(v.text.c_str());
                call.DeclareString(v.text.c_str(), v.lie ? v.text.size() / 2 : v.text.size());
            }
            if (Chance(3)) call.refused_variables.insert(static_cast<std::uint32_t>(v.integer));
            argv.push_back(a);
        }
        // Operations a careless host leaves out.
        void** operations = reinterpret_cast<void**>(call.Record());
        const int nulled = Chance(5) ? 1 + static_cast<int>(Draw(12)) : 0;
        if (nulled != 0) {
            operations[nulled] = nullptr;
            text += " without operation " + std::to_string(nulled);
        }
        if (!make) return;
        std::snprintf(g_current, sizeof g_current, "%s; reproduce: abi_fuzz %" PRIu64 " %" PRIu64 " %" PRIu64,
                      text.c_str(), index + 1, seed_, index);

        ObjectPool& pool = engine_->Services().Objects();
        const int live = pool.Live(), doubles = pool.DoubleReleases(), late = pool.UsesAfterRelease();
        std::int64_t result = 0;
        g_started = GetTickCount64();
        const std::size_t stack = OrvikTest::StackUsed([&] {
            result = function.handler(null_array ? 0 : static_cast<std::uint32_t>(argv.size()),
                                      null_array ? nullptr : argv.data(), &call.site, call.Record(),
                                      module_->Context());
        });
        g_started = 0;
        if (stack >= kStackLimit) Stop(("stack use of " + std::to_string(stack) + " bytes").c_str(), 1);
        CheckObjects(live, doubles, late);
        if (null_array || !Rejected(entry->arguments, values)) return;
        ++malformed;
        const std::int64_t failure = function.name == "check_signature" || function.name == "check_extended_signature" ? 18 : -1;
        if (result != failure) Stop(("malformed call returned " + std::to_string(result)).c_str(), 1);
        if (nulled == 5) return;  // no log operation
        for (const LogLine& line : call.log)
            if (line.level == 2 && line.text.rfind("Malformed functional call '", 0) == 0) return;
        Stop("malformed call logged no failure line", 1);
    }

    std::mt19937_64 random_;
    std::uint64_t seed_;
    Playground& ground_;
    std::uint32_t next_ref_ = 0;
    std::unique_ptr<HostEngine> engine_;
    std::unique_ptr<LoadedModule> module_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t calls = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 3000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const std::uint64_t first = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0;
    std::printf("abi_fuzz: %" PRIu64 " calls, seed %" PRIu64 "\n", calls, seed);
    std::fflush(stdout);
    SetUnhandledExceptionFilter(OnCrash);
    ULONG reserve = 64 * 1024;  // room for the report after a stack overflow
    SetThreadStackGuarantee(&reserve);
    std::thread([] {
        for (;;) {
            Sleep(1000);
            const std::uint64_t started = g_started;
            if (started != 0 && GetTickCount64() - started > kCallBoundMs) Stop("call did not return in time", 3);
        }
    }).detach();
    const auto begin = std::chrono::steady_clock::now();
    std::uint64_t malformed = 0;
    {
        Playground ground;
        Fuzzer fuzzer(seed, ground);
        fuzzer.Run(calls, first);
        malformed = fuzzer.malformed;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("abi_fuzz: %" PRIu64 " calls (%" PRIu64 " malformed) in %.1f s, seed %" PRIu64 ": no fault found\n",
                calls, malformed, seconds, seed);
    return 0;
}
