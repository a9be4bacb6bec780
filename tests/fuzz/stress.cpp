// Eight threads of mixed calls against one loaded module: the verdict cache,
// entropy, TLSH of content the host delivers, the process cache, telemetry
// and registry dump parsing. Every answer (result, outputs
// and log) must equal the one the same call gave on its own beforehand.
//
//   stress [N]      8 x N calls
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/loaded_module.h"

namespace {

using namespace RefHost;

constexpr int kThreads = 8;

struct CallShape {
    std::string function;
    std::vector<Arg> args;
};

std::string Answer(LoadedModule& module, HostEngine& engine, const CallShape& shape) {
    HostCallContext call(engine.Services().Objects());
    call.process_uid = 77;
    call.process_id = 4242;
    const CallResult r = module.Call(shape.function, shape.args, call);
    std::string answer = std::to_string(r.result);
    for (const auto& [ref, v] : r.variables)
        answer += " @" + std::to_string(ref) + "=" + (v.kind == Variable::Kind::String ? v.text : std::to_string(v.integer));
    for (const LogLine& line : r.log) answer += " | " + std::to_string(line.level) + ":" + line.text;
    return answer;
}

std::string RandomBytes(std::mt19937_64& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

std::vector<CallShape> CallShapes(HostServices& host) {
    std::mt19937_64 random(7);
    HostState& s = host.State();
    HostProcess process;
    process.pid = 4242;
    process.uid = 77;
    process.parent_pid = 4;
    process.image_nt = u"\\Device\\HarddiskVolume1\\w\\a.exe";
    process.command_line = u"a.exe \u00e9";
    host.AddProcess(process);

    std::vector<CallShape> shapes;
    for (const char* path : {"C:\\allowed.exe", "C:\\other.exe"}) {
        s.verdicts[{path, "", 3}] = {600, 3, static_cast<std::int8_t>(path[3] == 'a' ? 1 : -1), 2, 0};
        shapes.push_back({"get_avc_verdict", {Arg::Str("path", path), Arg::Int("id", 3), Arg::OutInt("value", 1),
                                             Arg::Int("current_scan_depth", 1), Arg::OutInt("ttl", 2)}});
    }
    for (int engine = 0; engine < 4; ++engine) {
        shapes.push_back({"set_avc_verdict", {Arg::Str("path", "C:\\set" + std::to_string(engine)), Arg::Int("id", 1),
                                             Arg::Int("value", engine), Arg::Int("scan_depth", 1),
                                             Arg::Int("ttl", 60)}});
    }
    for (std::size_t size : {0, 1, 100, 5000, 70000}) {
        shapes.push_back({"entropy", {Arg::Str("text", RandomBytes(random, size)), Arg::OutInt("length", 1)}});
        const std::string path = "C:\\content" + std::to_string(size);
        s.files[path] = RandomBytes(random, size) + std::string(size / 2, 'z');
        shapes.push_back({"eval_tlsh_hash", {Arg::Str("path", path), Arg::OutStr("hash", 1)}});
    }
    for (int pid : {4242, 99}) {
        shapes.push_back({"get_process_info", {Arg::Int("query_pid", pid), Arg::OutStr("cmdline", 1),
                                              Arg::OutStr("image_filename", 2), Arg::OutInt("parent_pid", 3),
                                              Arg::OutInt("terminated", 4), Arg::OutStr("process_privileges", 5)}});
    }
    shapes.push_back({"send_json_telemetry", {Arg::Str("event_type", "e"), Arg::Str("telemetry_json_body", "{\"a\":1}")}});
    for (const char* dump : {"01000000", "ffffffff00000000", "610062000000630000000000", "zz"}) {
        shapes.push_back({"reg_parse_int", {Arg::Str("hex_input", dump), Arg::OutInt("value", 1)}});
        shapes.push_back({"reg_parse_string", {Arg::Str("hex_input", dump), Arg::OutStr("text", 1)}});
    }
    return shapes;
}

}  // namespace

int main(int argc, char** argv) {
    const long calls = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 2000;
    HostEngine engine;
    LoadedModule module;
    if (module.Init(engine) != 0) {
        std::printf("FAILED: module initialisation\n");
        return 1;
    }
    const std::vector<CallShape> shapes = CallShapes(engine.Services());
    std::vector<std::string> expected;
    for (const CallShape& shape : shapes) expected.push_back(Answer(module, engine, shape));

    const auto begin = std::chrono::steady_clock::now();
    std::atomic<long> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (long i = 0; i < calls; ++i) {
                const std::size_t k = (static_cast<std::size_t>(t) * 13 + static_cast<std::size_t>(i) * 7) % shapes.size();
                const std::string answer = Answer(module, engine, shapes[k]);
                if (answer != expected[k] && mismatches++ < 5)
                    std::printf("MISMATCH %s:\n  alone:    %s\n  together: %s\n", shapes[k].function.c_str(),
                                expected[k].c_str(), answer.c_str());
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    module.Deinit();
    ObjectPool& pool = engine.Services().Objects();
    const bool objects_ok = pool.Live() == 0 && pool.DoubleReleases() == 0 && pool.UsesAfterRelease() == 0;
    std::printf("stress: %d x %ld calls over %zu call shapes in %.1f s: %ld mismatches%s\n", kThreads, calls,
                shapes.size(), seconds, mismatches.load(), objects_ok ? "" : ", host objects mishandled");
    return mismatches == 0 && objects_ok ? 0 : 1;
}
