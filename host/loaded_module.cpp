#include "loaded_module.h"

#include <stdexcept>

#include "common/utf.h"

namespace RefHost {

std::wstring DefaultModulePath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"orvik.dll";
}

LoadedModule::LoadedModule(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
    if (!module_)
        throw std::runtime_error("cannot load " + Common::WideToUtf8(path.data(), path.size()) + ": error " +
                                 std::to_string(GetLastError()));
    const auto entry = [this](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(module_.Get(), name));
    };
    init_ = reinterpret_cast<InitFn>(entry("ScanEngineExtensionInit"));
    deinit_ = reinterpret_cast<DeinitFn>(entry("ScanEngineExtensionDeinit"));
    if (init_ == nullptr || deinit_ == nullptr) throw std::runtime_error("module lacks its entry points");
}

LoadedModule::~LoadedModule() { Deinit(); }

std::int32_t LoadedModule::Init(HostEngine& engine, std::uint32_t api_version) {
    engine_ = &engine;
    void* context = nullptr;
    const std::int32_t result = init_(api_version, engine.Logger(), engine.Registrar(), &context);
    if (result == 0) context_ = context;
    return result;
}

void LoadedModule::Deinit() {
    if (context_ != nullptr) deinit_(context_);
    context_ = nullptr;
}

Abi::Handler LoadedModule::HandlerOf(const std::string& name) const {
    if (engine_ != nullptr) {
        for (const Registration& r : engine_->Registrations())
            if (r.name == name) return r.handler;
    }
    throw std::runtime_error("no function registered as '" + name + "'");
}

std::vector<Abi::ArgumentValue> LoadedModule::ArgumentValues(const std::vector<Arg>& args, HostCallContext& call) {
    std::vector<Abi::ArgumentValue> values;
    values.reserve(args.size());
    for (const Arg& arg : args) {
        Abi::ArgumentValue value{static_cast<std::uint64_t>(arg.integer), arg.kind, arg.storage, arg.name.c_str()};
        if (arg.kind == Abi::kValueString) {
            value.value = reinterpret_cast<std::uint64_t>(arg.text.c_str());
            call.DeclareString(arg.text.c_str(), arg.text.size());
        }
        values.push_back(value);
    }
    return values;
}

CallResult LoadedModule::Call(const std::string& name, const std::vector<Arg>& args, HostCallContext& call) {
    const Abi::Handler handler = HandlerOf(name);
    if (call.function_name.empty()) call.function_name = name;

    const std::vector<Abi::ArgumentValue> values = ArgumentValues(args, call);
    const std::size_t logged_before = call.log.size();
    CallResult result;
    result.result = handler(static_cast<std::uint32_t>(values.size()), values.data(), &call.site, call.Record(),
                            context_);
    result.variables = call.variables;
    result.log.assign(call.log.begin() + static_cast<std::ptrdiff_t>(logged_before), call.log.end());
    return result;
}

CallResult LoadedModule::Call(const std::string& name, const std::vector<Arg>& args) {
    HostCallContext call(engine_ ? engine_->Services().Objects() : throw std::runtime_error("module not initialised"));
    return Call(name, args, call);
}

}  // namespace RefHost
