// Starting child processes. A launcher collects the command line, shell use,
// environment edits, working directory and where each standard stream goes;
// launching yields a child object to wait for, terminate or feed input to.
//
// The launch specification and everything computed from it (command lines,
// environment blocks) are plain data and build anywhere; the launch itself
// goes through a platform table, the Windows one living in
// child_process_winapi.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/non_copyable.h"
#include "common/stream.h"

namespace Common {

// ---- Command lines, by the rules Windows programs parse them with ----

// Splits `text` into arguments: spaces and tabs outside quotes separate
// them; a double quote toggles quoting and is dropped, except that inside
// quotes a second quote right after the closing one is kept and quoting goes
// on; 2n backslashes before a quote give n backslashes, 2n+1 give n and a
// literal quote; other backslashes are literal; "" is an empty argument.
// Fails with "Failed to parse command line: %s" on an unclosed quote.
Error SplitCommandLine(std::string_view text, std::vector<std::string>& arguments);

// One argument as it goes on a command line: "" when empty; unchanged when
// it has no space; otherwise in double quotes, with its trailing run of
// backslashes doubled so that the closing quote stays a quote.
std::string QuoteArgument(std::string_view argument);

// The arguments quoted one by one and joined with single spaces.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// ---- Launch specification ----

// Where a standard stream of the child goes. kPipe is a pipe to the parent:
// for input the parent writes it, for output a pump thread copies it into
// the caller's stream.
enum class StdMode { kInherit = 0, kNull = 1, kFile = 2, kPipe = 3 };

struct StdRedirection {
    StdMode mode = StdMode::kInherit;
    std::string path;   // kFile
    StreamRef stream;   // kPipe, outputs only: where the pump writes
};

struct EnvironmentEntry {
    std::string name;
    std::string value;
    bool removed = false;
};

// Receives the errors raised on the pump threads; both pumps of a child may
// call it at the same time.
using ChildErrorCallback = std::function<void(const Error&)>;

struct ChildLaunchSpec {
    // At most one of the two is set.
    std::optional<std::vector<std::string>> arguments;
    std::optional<std::string> command_line;
    std::optional<std::string> working_directory;
    bool use_shell = false;
    // Absent until the first environment edit: the child then inherits ours.
    std::optional<std::vector<EnvironmentEntry>> environment;
    StdRedirection input;
    StdRedirection output;
    StdRedirection error;
    bool merge_error = false;
    ChildErrorCallback on_error;
};

// The command line a launch runs. Without shell and argument list the text
// goes unchanged; otherwise the list ("cmd.exe", "/c" first with the shell;
// then the argument list, or the text split into arguments) is joined.
// Fails with "Child process command line is not ready" when neither an
// argument list nor a text is set, and with the splitting failure.
Error BuildCommandLine(const ChildLaunchSpec& spec, std::string& command_line);

// The entries of an environment block ("name=value" strings, each ended by
// a nul, the block by an empty string). Names may begin with '=' (the
// per-drive directories).
std::vector<EnvironmentEntry> ParseEnvironmentBlock(std::u16string_view block);

// The block for the entries not marked removed, in list order, each
// nul-terminated, with a final nul; never shorter than two nuls.
std::u16string BuildEnvironmentBlock(const std::vector<EnvironmentEntry>& entries);

// ---- Pipes ----

// The parent's side of a child's input pipe: a write stream over it.
class ChildProcessInputPipe : public NonCopyable {
public:
    explicit ChildProcessInputPipe(StreamRef stream) : stream_(std::move(stream)) {}
    ~ChildProcessInputPipe() override = default;

    const StreamRef& Stream() const noexcept { return stream_; }
    // Raise Common::Error (with its "StreamIO" code) on failure.
    void Write(const void* bytes, std::size_t count);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    // Ends the child's input now instead of with this object.
    void Close();

private:
    StreamRef stream_;
};

// A pipe inside this process for a child's output: hand WriteStream() to the
// launcher and read what the child wrote. The pipe has ended once every
// stream handed out is released or closed; a launch hands its stream to the
// pump, which releases it when the child's output closes.
class ChildProcessOutputPipe : public NonCopyable {
public:
    ChildProcessOutputPipe();
    ~ChildProcessOutputPipe() override;

    // A write-only stream into the pipe (close, close with report, WRITE,
    // FLUSH); it may outlive this object.
    StreamRef WriteStream();
    // Waits until bytes are there or the pipe has ended; up to `count`
    // bytes, 0 at the end (and at once when no stream was handed out).
    std::size_t Read(void* buffer, std::size_t count);
    // Waits for the end and returns everything not read yet.
    std::string ReadAll();

    struct State;

private:
    std::shared_ptr<State> state_;
};

// ---- Class layer ----

class ChildProcess : public NonCopyable {
public:
    ~ChildProcess() override = default;
    virtual std::uint32_t ProcessId() const = 0;
    // Waits without time limit and returns the exit code; 0xFFFFFFFF when it
    // cannot be read or when the child was already waited for.
    virtual std::uint32_t Wait() = 0;
    // Ends the child with exit code 1; false when it was already waited for
    // or the system refused.
    virtual bool Terminate() = 0;
    // The input pipe of a child launched with input from a pipe, once; null
    // afterwards and for other input modes.
    virtual std::unique_ptr<ChildProcessInputPipe> TakeInputPipe() = 0;
};

class ChildProcessLauncher : public NonCopyable {
public:
    ~ChildProcessLauncher() override = default;
    // Raises Common::Error when the child cannot be started. The output
    // streams and the error callback move into the child.
    virtual std::unique_ptr<ChildProcess> Launch() = 0;
    // An argument list and a command-line text replace each other.
    virtual void SetArguments(std::vector<std::string> arguments) = 0;
    virtual void SetCommandLine(std::string text) = 0;
    virtual void SetWorkingDirectory(std::string directory) = 0;
    // Runs the command through cmd.exe /c.
    virtual void UseShell() = 0;
    // The environment edits start from a copy of this process's environment.
    // Names compare without regard to ASCII case, as Windows does. A name
    // that is empty, holds a nul or an '=' after its first character, and a
    // value or separator holding a nul raise Common::Error: they would
    // corrupt the block.
    virtual void ClearEnvironment() = 0;
    virtual void SetVariable(const std::string& name, const std::string& value) = 0;
    // Old and new value joined by `separator` (";" when absent): old first
    // when appending, new first otherwise; just the new value when the old
    // one is empty or missing.
    virtual void ExtendVariable(const std::string& name, const std::string& value,
                                const std::optional<std::string>& separator, bool append) = 0;
    virtual void UnsetVariable(const std::string& name) = 0;
    virtual void InputFromNull() = 0;
    virtual void InputFromFile(std::string path) = 0;
    virtual void InputFromPipe() = 0;
    virtual void OutputToNull() = 0;
    virtual void OutputToFile(std::string path) = 0;
    virtual void OutputToStream(StreamRef stream) = 0;
    virtual void ErrorToNull() = 0;
    virtual void ErrorToFile(std::string path) = 0;
    virtual void ErrorToStream(StreamRef stream) = 0;
    virtual void MergeErrorIntoOutput() = 0;
    virtual void SetErrorCallback(ChildErrorCallback callback) = 0;
};

// What launching needs from the system.
struct ChildProcessPlatform {
    // The current process's environment.
    std::vector<EnvironmentEntry> (*environment)();
    // Starts the child; takes the output streams and error callback from
    // `spec` on success.
    Error (*launch)(ChildLaunchSpec& spec, std::unique_ptr<ChildProcess>& child);
};

#ifdef _WIN32
const ChildProcessPlatform& WindowsChildProcesses();
#endif

class ChildProcessInitiator : public ChildProcessLauncher {
public:
#ifdef _WIN32
    ChildProcessInitiator();  // launches through Windows
#endif
    explicit ChildProcessInitiator(const ChildProcessPlatform& platform) : platform_(platform) {}
    ~ChildProcessInitiator() override = default;

    std::unique_ptr<ChildProcess> Launch() override;
    void SetArguments(std::vector<std::string> arguments) override;
    void SetCommandLine(std::string text) override;
    void SetWorkingDirectory(std::string directory) override;
    void UseShell() override;
    void ClearEnvironment() override;
    void SetVariable(const std::string& name, const std::string& value) override;
    void ExtendVariable(const std::string& name, const std::string& value,
                        const std::optional<std::string>& separator, bool append) override;
    void UnsetVariable(const std::string& name) override;
    void InputFromNull() override;
    void InputFromFile(std::string path) override;
    void InputFromPipe() override;
    void OutputToNull() override;
    void OutputToFile(std::string path) override;
    void OutputToStream(StreamRef stream) override;
    void ErrorToNull() override;
    void ErrorToFile(std::string path) override;
    void ErrorToStream(StreamRef stream) override;
    void MergeErrorIntoOutput() override;
    void SetErrorCallback(ChildErrorCallback callback) override;

    const ChildLaunchSpec& Spec() const noexcept { return spec_; }

private:
    std::vector<EnvironmentEntry>& Environment();

    const ChildProcessPlatform& platform_;
    ChildLaunchSpec spec_;
};

}  // namespace Common
