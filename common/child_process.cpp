#include "common/child_process.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

#include "common/format_string.h"
#include "common/utf.h"

namespace Common {

// ---- Command lines ----

Error SplitCommandLine(std::string_view text, std::vector<std::string>& arguments) {
    std::vector<std::string> out;
    std::string current;
    bool started = false;  // quotes alone make an argument, even an empty one
    bool quoted = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '\\') {
            std::size_t run = 0;
            while (at < text.size() && text[at] == '\\') {
                ++run;
                ++at;
            }
            started = true;
            if (at < text.size() && text[at] == '"') {
                current.append(run / 2, '\\');
                if (run % 2 == 1) {
                    current += '"';  // escaped: a literal quote that toggles nothing
                    ++at;
                }
            } else {
                current.append(run, '\\');
            }
        } else if (c == '"') {
            started = true;
            if (quoted && at + 1 < text.size() && text[at + 1] == '"') {
                current += '"';
                at += 2;
            } else {
                quoted = !quoted;
                ++at;
            }
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (started) {
                out.push_back(std::move(current));
                current.clear();
                started = false;
            }
            ++at;
        } else {
            current += c;
            started = true;
            ++at;
        }
    }
    if (quoted) {
        return COMMON_ERROR(FormatString("Failed to parse command line: %s", std::string(text).c_str()));
    }
    if (started) out.push_back(std::move(current));
    arguments = std::move(out);
    return {};
}

std::string QuoteArgument(std::string_view argument) {
    if (argument.empty()) return "\"\"";
    if (argument.find(' ') == std::string_view::npos) return std::string(argument);
    std::size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == '\\') ++trailing;
    std::string out;
    out.reserve(argument.size() + trailing + 2);
    out += '"';
    out += argument;
    out.append(trailing, '\\');
    out += '"';
    return out;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string out;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) out += ' ';
        out += QuoteArgument(arguments[i]);
    }
    return out;
}

Error BuildCommandLine(const ChildLaunchSpec& spec, std::string& command_line) {
    if (!spec.arguments && !spec.command_line) return COMMON_ERROR("Child process command line is not ready");
    if (!spec.use_shell && !spec.arguments) {
        command_line = *spec.command_line;
        return {};
    }
    std::vector<std::string> list;
    if (spec.use_shell) list = {"cmd.exe", "/c"};
    if (spec.arguments) {
        list.insert(list.end(), spec.arguments->begin(), spec.arguments->end());
    } else {
        std::vector<std::string> split;
        if (Error error = SplitCommandLine(*spec.command_line, split)) return error;
        list.insert(list.end(), split.begin(), split.end());
    }
    command_line = JoinCommandLine(list);
    return {};
}

// ---- Environment blocks ----

std::vector<EnvironmentEntry> ParseEnvironmentBlock(std::u16string_view block) {
    std::vector<EnvironmentEntry> entries;
    std::size_t at = 0;
    while (at < block.size() && block[at] != u'\0') {
        std::size_t end = block.find(u'\0', at);
        if (end == std::u16string_view::npos) end = block.size();
        const std::u16string_view entry = block.substr(at, end - at);
        // The search starts after the first unit: "=C:=C:\dir" names "=C:".
        const std::size_t equals = entry.find(u'=', 1);
        if (equals == std::u16string_view::npos) {
            entries.push_back({Utf16ToUtf8(entry), std::string(), false});
        } else {
            entries.push_back({Utf16ToUtf8(entry.substr(0, equals)), Utf16ToUtf8(entry.substr(equals + 1)), false});
        }
        at = end + 1;
    }
    return entries;
}

std::u16string BuildEnvironmentBlock(const std::vector<EnvironmentEntry>& entries) {
    std::u16string block;
    for (const EnvironmentEntry& entry : entries) {
        if (entry.removed) continue;
        block += Utf8ToUtf16(entry.name + "=" + entry.value);
        block += u'\0';
    }
    block += u'\0';
    // An empty block still needs its terminating empty string.
    if (block.size() == 1) block += u'\0';
    return block;
}

// ---- Pipes ----

void ChildProcessInputPipe::Write(const void* bytes, std::size_t count) {
    Error error;
    if (stream_.Write(bytes, count, error) != kStreamOk) throw error;
}

void ChildProcessInputPipe::Close() {
    Error error;
    if (stream_.Close(error) != kStreamOk) throw error;
}

struct ChildProcessOutputPipe::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::string pending;  // written, not read yet
    int writers = 0;      // streams handed out and not yet closed
};

namespace {

using PipeState = ChildProcessOutputPipe::State;

// A stream handle is a heap-held share of the pipe state; 0 once closed.
std::shared_ptr<PipeState>* Share(StreamHandle handle) {
    return reinterpret_cast<std::shared_ptr<PipeState>*>(static_cast<std::uintptr_t>(handle));
}

void EndWriter(StreamHandle handle) {
    const std::unique_ptr<std::shared_ptr<PipeState>> share(Share(handle));
    PipeState& state = **share;
    {
        const std::lock_guard<std::mutex> lock(state.mutex);
        --state.writers;
    }
    state.changed.notify_all();
}

void PipeClose(StreamHandle handle) {
    if (handle != 0) EndWriter(handle);
}

int PipeCloseReport(Error&, StreamHandle& handle) {
    PipeClose(std::exchange(handle, 0));
    return kStreamOk;
}

int PipeWrite(Error& error, StreamHandle handle, const void* buffer, std::size_t count, std::size_t& done) {
    done = 0;
    if (handle == 0) {
        error = COMMON_STREAM_ERROR(kStreamWriteFailed, "the pipe is closed");
        return kStreamWriteFailed;
    }
    PipeState& state = **Share(handle);
    {
        const std::lock_guard<std::mutex> lock(state.mutex);
        state.pending.append(static_cast<const char*>(buffer), count);
    }
    state.changed.notify_all();
    done = count;
    return kStreamOk;
}

int PipeFlush(Error&, StreamHandle) { return kStreamOk; }

constexpr StreamOps kPipeWriterOps = {
    .close = &PipeClose,
    .close_report = &PipeCloseReport,
    .read = nullptr,
    .size = nullptr,
    .seek = nullptr,
    .seek_rel = nullptr,
    .seek_end = nullptr,
    .write = &PipeWrite,
    .flush = &PipeFlush,
    .truncate = nullptr,
    .ioctl = nullptr,
};

}  // namespace

ChildProcessOutputPipe::ChildProcessOutputPipe() : state_(std::make_shared<State>()) {}

ChildProcessOutputPipe::~ChildProcessOutputPipe() = default;

StreamRef ChildProcessOutputPipe::WriteStream() {
    auto share = std::make_unique<std::shared_ptr<State>>(state_);
    {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        ++state_->writers;
    }
    const auto handle = static_cast<StreamHandle>(reinterpret_cast<std::uintptr_t>(share.release()));
    return StreamRef::Create(kPipeWriterOps, handle);
}

std::size_t ChildProcessOutputPipe::Read(void* buffer, std::size_t count) {
    if (count == 0) return 0;
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait(lock, [this] { return !state_->pending.empty() || state_->writers == 0; });
    const std::size_t taken = std::min(count, state_->pending.size());
    std::memcpy(buffer, state_->pending.data(), taken);
    state_->pending.erase(0, taken);
    return taken;
}

std::string ChildProcessOutputPipe::ReadAll() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait(lock, [this] { return state_->writers == 0; });
    return std::exchange(state_->pending, std::string());
}

// ---- Launcher ----

namespace {

bool SameName(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return fold(x) == fold(y);
           });
}

EnvironmentEntry* FindEntry(std::vector<EnvironmentEntry>& entries, std::string_view name) {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const EnvironmentEntry& e) { return SameName(e.name, name); });
    return found == entries.end() ? nullptr : &*found;
}

// A nul would end the entry early and an '=' would move the split between
// name and value, so such edits would plant other variables in the block.
// A leading '=' is fine: the split is searched after it ("=C:").
void CheckName(const std::string& name) {
    if (name.empty() || name.find('=', 1) != std::string::npos || HoldsNul(name)) {
        throw COMMON_ERROR(FormatString("invalid environment variable name '%s'", name.c_str()));
    }
}

void CheckText(const std::string& name, std::string_view text) {
    if (HoldsNul(text)) {
        throw COMMON_ERROR(FormatString("environment variable '%s' cannot hold a nul character", name.c_str()));
    }
}

}  // namespace

std::vector<EnvironmentEntry>& ChildProcessInitiator::Environment() {
    if (!spec_.environment) {
        spec_.environment = platform_.environment != nullptr ? platform_.environment()
                                                             : std::vector<EnvironmentEntry>();
    }
    return *spec_.environment;
}

std::unique_ptr<ChildProcess> ChildProcessInitiator::Launch() {
    std::unique_ptr<ChildProcess> child;
    if (Error error = platform_.launch(spec_, child)) throw error;
    return child;
}

void ChildProcessInitiator::SetArguments(std::vector<std::string> arguments) {
    spec_.arguments = std::move(arguments);
    spec_.command_line.reset();
}

void ChildProcessInitiator::SetCommandLine(std::string text) {
    spec_.command_line = std::move(text);
    spec_.arguments.reset();
}

void ChildProcessInitiator::SetWorkingDirectory(std::string directory) {
    spec_.working_directory = std::move(directory);
}

void ChildProcessInitiator::UseShell() { spec_.use_shell = true; }

void ChildProcessInitiator::ClearEnvironment() { spec_.environment.emplace(); }

void ChildProcessInitiator::SetVariable(const std::string& name, const std::string& value) {
    CheckName(name);
    CheckText(name, value);
    std::vector<EnvironmentEntry>& entries = Environment();
    if (EnvironmentEntry* entry = FindEntry(entries, name)) {
        entry->value = value;
        entry->removed = false;
    } else {
        entries.push_back({name, value, false});
    }
}

void ChildProcessInitiator::ExtendVariable(const std::string& name, const std::string& value,
                                           const std::optional<std::string>& separator, bool append) {
    CheckName(name);
    CheckText(name, value);
    const std::string joint = separator.value_or(";");
    CheckText(name, joint);
    std::vector<EnvironmentEntry>& entries = Environment();
    const EnvironmentEntry* entry = FindEntry(entries, name);
    const std::string old = entry != nullptr && !entry->removed ? entry->value : std::string();
    if (old.empty()) {
        SetVariable(name, value);
    } else if (append) {
        SetVariable(name, FormatString("%s%s%s", old.c_str(), joint.c_str(), value.c_str()));
    } else {
        SetVariable(name, FormatString("%s%s%s", value.c_str(), joint.c_str(), old.c_str()));
    }
}

void ChildProcessInitiator::UnsetVariable(const std::string& name) {
    CheckName(name);
    if (EnvironmentEntry* entry = FindEntry(Environment(), name)) entry->removed = true;
}

void ChildProcessInitiator::InputFromNull() { spec_.input = {StdMode::kNull, {}, {}}; }
void ChildProcessInitiator::InputFromFile(std::string path) { spec_.input = {StdMode::kFile, std::move(path), {}}; }
void ChildProcessInitiator::InputFromPipe() { spec_.input = {StdMode::kPipe, {}, {}}; }

void ChildProcessInitiator::OutputToNull() { spec_.output = {StdMode::kNull, {}, {}}; }
void ChildProcessInitiator::OutputToFile(std::string path) { spec_.output = {StdMode::kFile, std::move(path), {}}; }
void ChildProcessInitiator::OutputToStream(StreamRef stream) {
    spec_.output = {StdMode::kPipe, {}, std::move(stream)};
}

void ChildProcessInitiator::ErrorToNull() { spec_.error = {StdMode::kNull, {}, {}}; }
void ChildProcessInitiator::ErrorToFile(std::string path) { spec_.error = {StdMode::kFile, std::move(path), {}}; }
void ChildProcessInitiator::ErrorToStream(StreamRef stream) {
    spec_.error = {StdMode::kPipe, {}, std::move(stream)};
}

void ChildProcessInitiator::MergeErrorIntoOutput() { spec_.merge_error = true; }

void ChildProcessInitiator::SetErrorCallback(ChildErrorCallback callback) { spec_.on_error = std::move(callback); }

}  // namespace Common
