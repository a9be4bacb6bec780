// The Windows launch: standard handles for the child, CreateProcessW, and the
// child object with its pump threads.
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <utility>

#include "common/child_process.h"
#include "common/format_string.h"
#include "common/thread.h"
#include "common/unique_handle.h"
#include "common/utf.h"

namespace Common {

class ChildProcessCtrl : public ChildProcess {
public:
    ChildProcessCtrl(DWORD pid, UniqueHandle process, UniqueHandle input, ChildErrorCallback on_error)
        : pid_(pid), process_(std::move(process)), input_(std::move(input)), on_error_(std::move(on_error)) {}
    ~ChildProcessCtrl() override;

    std::uint32_t ProcessId() const override { return pid_; }
    std::uint32_t Wait() override;
    bool Terminate() override;
    std::unique_ptr<ChildProcessInputPipe> TakeInputPipe() override;

    // Copies everything read from `read_end` into `stream` on a thread of its
    // own; `slot` 0 serves the output, 1 the error stream.
    void StartPump(std::size_t slot, UniqueHandle read_end, StreamRef stream);

private:
    void Report(const Error& error) const {
        if (on_error_) on_error_(error);
    }

    DWORD pid_;
    UniqueHandle process_;
    UniqueHandle input_;  // the parent's end of the input pipe until taken
    ChildErrorCallback on_error_;
    std::array<Thread, 2> pumps_;
};

namespace {

constexpr DWORD kNoExitCode = 0xFFFFFFFF;
constexpr DWORD kPumpBufferSize = 4096;

// One pump: owns the parent's read end and a reference to the caller's
// stream, and gives both up as soon as it ends. A pump that stops early
// (its stream failed) thereby breaks the pipe instead of leaving the child
// blocked on a full one.
struct Pump {
    UniqueHandle read_end;
    StreamRef stream;

    void Run(const std::function<void(const Error&)>& report) {
        char buffer[kPumpBufferSize];
        bool write_failed = false;
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(read_end.Get(), buffer, kPumpBufferSize, &got, nullptr)) {
                const DWORD code = GetLastError();
                if (code != ERROR_BROKEN_PIPE && code != ERROR_NO_DATA) report(COMMON_WINDOWS_ERROR(code));
                break;
            }
            if (got == 0) continue;
            Error error;
            if (stream.Write(buffer, got, error) != kStreamOk) {
                report(error);
                write_failed = true;
                break;
            }
        }
        read_end.Reset();
        if (!write_failed) {
            Error error;
            if (stream.Flush(error) != kStreamOk) report(error);
        }
        stream.Reset();
    }
};

SECURITY_ATTRIBUTES Inheritable() { return SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

// One standard stream of the child as prepared for the launch.
struct Prepared {
    UniqueHandle child;   // inheritable; the parent's copy is closed after the launch
    UniqueHandle parent;  // the parent's pipe end, when piped
    bool needs_console = false;
};

class Launch {
public:
    Launch(const std::string& command_line, bool use_shell) : command_line_(command_line), use_shell_(use_shell) {}

    Error Fail(const std::string& call, DWORD code) const {
        return COMMON_ERROR(FormatString("Cannot launch child process [%s] due to platform API error: %s",
                                         command_line_.c_str(), call.c_str()))
            .Then(COMMON_WINDOWS_ERROR(code));
    }

    Error PrepareInput(const StdRedirection& redirection, Prepared& out) const {
        switch (redirection.mode) {
            case StdMode::kNull:
                return Open(L"NUL", "NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, out);
            case StdMode::kFile:
                return OpenPath(redirection.path, GENERIC_READ, OPEN_EXISTING, out);
            case StdMode::kPipe:
                return Pipe(true, out);
            case StdMode::kInherit:
                break;
        }
        return Inherit(STD_INPUT_HANDLE, "<stdin>", out);
    }

    Error PrepareOutput(DWORD std_id, const StdRedirection& redirection, Prepared& out) const {
        const char* name = nullptr;
        if (std_id == STD_OUTPUT_HANDLE) {
            name = "<stdout>";
        } else if (std_id == STD_ERROR_HANDLE) {
            name = "<stderr>";
        } else {
            return COMMON_ERROR("unexpected child-process error");
        }
        switch (redirection.mode) {
            case StdMode::kNull:
                return Open(L"NUL", "NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, out);
            case StdMode::kFile:
                return OpenPath(redirection.path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, out);
            case StdMode::kPipe:
                return Pipe(false, out);
            case StdMode::kInherit:
                break;
        }
        return Inherit(std_id, name, out);
    }

private:
    // The module's own handle, duplicated as inheritable. A process without
    // that handle passes none.
    Error Inherit(DWORD std_id, const char* name, Prepared& out) const {
        const HANDLE own = GetStdHandle(std_id);
        if (own == INVALID_HANDLE_VALUE) return Fail(FormatString("GetStdHandle(%s)", name), GetLastError());
        if (own == nullptr) return {};
        const HANDLE self = GetCurrentProcess();
        if (!DuplicateHandle(self, own, self, out.child.Put(), 0, TRUE, DUPLICATE_SAME_ACCESS)) {
            return Fail(FormatString("DuplicateHandle(%s)", name), GetLastError());
        }
        out.needs_console = GetFileType(own) == FILE_TYPE_CHAR;
        return {};
    }

    Error OpenPath(const std::string& path, DWORD access, DWORD disposition, Prepared& out) const {
        // A nul would silently cut the path short: some other file would be used.
        if (HoldsNul(path)) return Fail(FormatString("CreateFileW(%s)", path.c_str()), ERROR_INVALID_NAME);
        return Open(Utf8ToWide(path.data(), path.size()), path, access, FILE_SHARE_READ, disposition, out);
    }

    Error Open(const std::wstring& path, const std::string& shown, DWORD access, DWORD share, DWORD disposition,
               Prepared& out) const {
        SECURITY_ATTRIBUTES inherit = Inheritable();
        const HANDLE file =
            CreateFileW(path.c_str(), access, share, &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return Fail(FormatString("CreateFileW(%s)", shown.c_str()), GetLastError());
        out.child.Reset(file);
        return {};
    }

    Error Pipe(bool child_reads, Prepared& out) const {
        SECURITY_ATTRIBUTES inherit = Inheritable();
        UniqueHandle read_end;
        UniqueHandle write_end;
        if (!CreatePipe(read_end.Put(), write_end.Put(), &inherit, 0)) return Fail("CreatePipe", GetLastError());
        UniqueHandle& parent = child_reads ? write_end : read_end;
        if (!SetHandleInformation(parent.Get(), HANDLE_FLAG_INHERIT, 0)) {
            return Fail("SetHandleInformation", GetLastError());
        }
        out.parent = std::move(parent);
        out.child = std::move(child_reads ? read_end : write_end);
        out.needs_console = use_shell_;
        return {};
    }

    const std::string& command_line_;
    bool use_shell_;
};

Error LaunchOnWindows(ChildLaunchSpec& spec, std::unique_ptr<ChildProcess>& child) {
    std::string command_line;
    if (Error error = BuildCommandLine(spec, command_line)) return error;
    const Launch launch(command_line, spec.use_shell);
    // Texts with a nul would reach the system cut short, running something
    // other than what was asked.
    if (HoldsNul(command_line) || (spec.working_directory && HoldsNul(*spec.working_directory))) {
        return launch.Fail("CreateProcessW", ERROR_INVALID_PARAMETER);
    }

    Prepared input;
    Prepared output;
    Prepared errors;
    if (Error error = launch.PrepareInput(spec.input, input)) return error;
    if (Error error = launch.PrepareOutput(STD_OUTPUT_HANDLE, spec.output, output)) return error;
    if (!spec.merge_error) {
        if (Error error = launch.PrepareOutput(STD_ERROR_HANDLE, spec.error, errors)) return error;
    }

    DWORD flags = CREATE_UNICODE_ENVIRONMENT | NORMAL_PRIORITY_CLASS;
    if (!input.needs_console && !output.needs_console && !errors.needs_console) flags |= DETACHED_PROCESS;

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.child.Get();
    startup.hStdOutput = output.child.Get();
    startup.hStdError = spec.merge_error ? output.child.Get() : errors.child.Get();

    std::wstring environment;
    if (spec.environment) {
        const std::u16string block = BuildEnvironmentBlock(*spec.environment);
        environment.assign(block.begin(), block.end());
    }
    std::wstring wide_command = Utf8ToWide(command_line.data(), command_line.size());
    std::wstring directory;
    if (spec.working_directory) directory = Utf8ToWide(spec.working_directory->data(), spec.working_directory->size());

    PROCESS_INFORMATION created = {};
    if (!CreateProcessW(nullptr, wide_command.data(), nullptr, nullptr, TRUE, flags,
                        spec.environment ? environment.data() : nullptr,
                        spec.working_directory ? directory.c_str() : nullptr, &startup, &created)) {
        return launch.Fail("CreateProcessW", GetLastError());
    }
    UniqueHandle process(created.hProcess);
    UniqueHandle thread(created.hThread);
    thread.Reset();
    input.child.Reset();
    output.child.Reset();
    errors.child.Reset();

    auto ctrl = std::make_unique<ChildProcessCtrl>(created.dwProcessId, std::move(process), std::move(input.parent),
                                                   std::move(spec.on_error));
    spec.on_error = nullptr;
    if (spec.output.mode == StdMode::kPipe) ctrl->StartPump(0, std::move(output.parent), std::move(spec.output.stream));
    if (!spec.merge_error && spec.error.mode == StdMode::kPipe) {
        ctrl->StartPump(1, std::move(errors.parent), std::move(spec.error.stream));
    }
    child = std::move(ctrl);
    return {};
}

// The current environment, read from the live block so that changes made
// since start-up are included.
std::vector<EnvironmentEntry> CurrentEnvironment() {
    const std::unique_ptr<wchar_t, decltype(&FreeEnvironmentStringsW)> block(GetEnvironmentStringsW(),
                                                                             &FreeEnvironmentStringsW);
    if (!block) return {};
    const wchar_t* end = block.get();
    while (*end != L'\0') end += std::char_traits<wchar_t>::length(end) + 1;
    const auto* units = reinterpret_cast<const char16_t*>(block.get());
    return ParseEnvironmentBlock(std::u16string_view(units, static_cast<std::size_t>(end - block.get())));
}

constexpr ChildProcessPlatform kWindows = {&CurrentEnvironment, &LaunchOnWindows};

}  // namespace

const ChildProcessPlatform& WindowsChildProcesses() { return kWindows; }

ChildProcessInitiator::ChildProcessInitiator() : ChildProcessInitiator(kWindows) {}

void ChildProcessCtrl::StartPump(std::size_t slot, UniqueHandle read_end, StreamRef stream) {
    auto pump = std::make_shared<Pump>(Pump{std::move(read_end), std::move(stream)});
    // A pump that cannot start drops its pipe end with the body, so the child
    // does not block on a pipe nobody reads.
    const auto report = [this](const Error& error) { Report(error); };
    if (Error error = pumps_[slot].Start([pump, report] { pump->Run(report); })) Report(error);
}

std::uint32_t ChildProcessCtrl::Wait() {
    // Nobody can write to an input pipe that was never taken; the child must
    // see its end rather than wait for it forever.
    input_.Reset();
    if (!process_) return kNoExitCode;
    WaitForSingleObject(process_.Get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.Get(), &code)) code = kNoExitCode;
    process_.Reset();
    return code;
}

bool ChildProcessCtrl::Terminate() { return process_ && TerminateProcess(process_.Get(), 1); }

std::unique_ptr<ChildProcessInputPipe> ChildProcessCtrl::TakeInputPipe() {
    if (!input_) return nullptr;
    Stream* stream = nullptr;
    stream_from_handle(input_.Release(), stream);
    return std::make_unique<ChildProcessInputPipe>(StreamRef::Adopt(stream));
}

ChildProcessCtrl::~ChildProcessCtrl() {
    input_.Reset();
    for (Thread& pump : pumps_) {
        if (Error error = pump.Join()) Report(error);
    }
    if (process_) WaitForSingleObject(process_.Get(), INFINITE);
}

}  // namespace Common
