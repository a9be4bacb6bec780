// Running a command line as a child process, and reading this process's
// environment.
#include <windows.h>

#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/utf.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::System {

std::int64_t OsExecute(Invocation& call) {
    const std::string command_line = call.args.GetName(arg::cmdline_child);
    const bool use_shell = call.args.IsGiven(arg::shell) && call.args.GetInteger(arg::shell) != 0;
    try {
        Common::ChildProcessInitiator launcher;
        launcher.SetCommandLine(command_line);
        if (use_shell) launcher.UseShell();
        // Nothing the child writes is wanted; with no console handle among
        // its streams it runs detached.
        launcher.InputFromNull();
        launcher.OutputToNull();
        launcher.ErrorToNull();
        const auto child = launcher.Launch();
        // The 32-bit exit code, sign-extended: 0xFFFFFFFF reads as -1.
        return static_cast<std::int32_t>(child->Wait());
    } catch (const Common::Error& error) {
        call.context.Log(kLogError, error.Text());
        return -1;
    }
}

std::int64_t OsGetenv(Invocation& call) {
    const std::string name = call.args.GetString(arg::name_env);
    const auto value = call.args.GetStringAddress(arg::value_env);
    // A nul would cut the name short and look up some other variable.
    if (Common::HoldsNul(name)) return 0;
    call.args.GetName(arg::name_env);  // refuses a name no conversion keeps whole
    const std::wstring wide_name = Common::Utf8ToWide(name.data(), name.size());

    // The live process environment: the runtime library's copy misses what
    // the host changed after this module was loaded. The value may grow
    // between the calls, so the buffer follows it.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length =
            GetEnvironmentVariableW(wide_name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0 && GetLastError() != ERROR_SUCCESS) return 0;  // no such variable
        if (length < buffer.size()) {
            value.Assign(Common::WideToUtf8(buffer.data(), length));
            return 1;
        }
        buffer.resize(length);  // the size needed, terminator included
    }
}

}  // namespace ScanEngine::System
