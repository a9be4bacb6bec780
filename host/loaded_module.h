// Loads the built module into this process the way the engine does, runs its
// initialisation against a HostEngine and calls its handlers by name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/unique_resource.h"
#include "host_arg.h"
#include "host_call_context.h"
#include "host_engine.h"

namespace RefHost {

struct CallResult {
    std::int64_t result = 0;
    std::map<std::uint32_t, Variable> variables;
    std::vector<LogLine> log;
};

// orvik.dll in the folder of the running program.
std::wstring DefaultModulePath();

struct LoadedLibraryTraits {
    using Value = HMODULE;
    static HMODULE Empty() noexcept { return nullptr; }
    static void Close(HMODULE module) noexcept { FreeLibrary(module); }
};

class LoadedModule {
public:
    using InitFn = std::int32_t (*)(std::uint32_t, Abi::HostLogger*, Abi::HostRegistrar*, void**);
    using DeinitFn = void (*)(void*);

    // Throws std::runtime_error when the file cannot be loaded or lacks an entry point.
    explicit LoadedModule(const std::wstring& path = DefaultModulePath());
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // Runs the module's initialisation; the engine keeps what it registered.
    std::int32_t Init(HostEngine& engine, std::uint32_t api_version = Abi::kApiVersion);
    void Deinit();
    void* Context() const { return context_; }
    InitFn InitEntry() const { return init_; }
    DeinitFn DeinitEntry() const { return deinit_; }

    // The handler registered under `name`; throws std::runtime_error if none.
    Abi::Handler HandlerOf(const std::string& name) const;

    // Calls a registered function with `args` through `call` (its function
    // name is set to `name` unless already set). `call` keeps everything
    // the handler did; the result repeats what concerns the caller.
    CallResult Call(const std::string& name, const std::vector<Arg>& args, HostCallContext& call);
    // The same with a fresh call context that has no triggering process.
    CallResult Call(const std::string& name, const std::vector<Arg>& args);

    // The argument array a call of `args` hands to the handler (strings
    // declared to `call`); it points into `args`, which must outlive it.
    static std::vector<Abi::ArgumentValue> ArgumentValues(const std::vector<Arg>& args, HostCallContext& call);

private:
    // Declared first: freed only after everything else is gone.
    Common::UniqueResource<LoadedLibraryTraits> module_;
    InitFn init_ = nullptr;
    DeinitFn deinit_ = nullptr;
    HostEngine* engine_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace RefHost
