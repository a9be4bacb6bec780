#include "subject_process.h"

#include <stdexcept>
#include <string>

#include "common/utf.h"

namespace OrvikTest {

std::wstring SubjectProcess::ExecutablePath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"orvik_subject.exe";
}

SubjectProcess::SubjectProcess(const std::vector<std::string>& features) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Common::UniqueHandle out_read, out_write, in_read;
    if (!CreatePipe(out_read.Put(), out_write.Put(), &inherit, 0) ||
        !CreatePipe(in_read.Put(), input_.Put(), &inherit, 0))
        throw std::runtime_error("subject: no pipes");
    SetHandleInformation(out_read.Get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(input_.Get(), HANDLE_FLAG_INHERIT, 0);

    std::wstring command = L"\"" + ExecutablePath() + L"\"";
    for (const std::string& feature : features) command += L" \"" + Common::Utf8ToWide(feature.c_str()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read.Get();
    startup.hStdOutput = startup.hStdError = out_write.Get();
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    const DWORD error = started ? 0 : GetLastError();
    // The subject's ends are closed here, so the pipe ends when the subject does.
    in_read.Reset();
    out_write.Reset();
    if (!started) throw std::runtime_error("subject: cannot start (error " + std::to_string(error) + ")");
    const Common::UniqueHandle thread(info.hThread);
    process_.Reset(info.hProcess);
    pid_ = info.dwProcessId;

    // key=value lines up to "ready"; the pipe ends early if the subject fails.
    std::string pending, line;
    char buffer[256];
    DWORD got = 0;
    bool ready = false;
    while (!ready && ReadFile(out_read.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        for (std::size_t end; !ready && (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line == "ready") ready = true;
            else if (const auto eq = line.find('='); eq != std::string::npos) values_[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    if (!ready) {
        Close();
        throw std::runtime_error("subject did not get ready: " + line);
    }
}

SubjectProcess::~SubjectProcess() { Close(); }

void SubjectProcess::Close() {
    if (process_) {
        TerminateProcess(process_.Get(), 0);
        WaitForSingleObject(process_.Get(), 10000);
        process_.Reset();
    }
    input_.Reset();
}

std::string LongPathCopy(const test::TempDir& dir, const std::string& name) {
    const std::string folder = std::string(120, 'a') + "\\" + std::string(120, 'b');
    dir.MakeDir(folder.substr(0, 120));
    dir.MakeDir(folder);
    const std::wstring self = SubjectProcess::ExecutablePath();
    const std::string copy = "\\\\?\\" + dir.Path(folder + "\\" + name);
    if (!CopyFileW((self.substr(0, self.find_last_of(L"\\/") + 1) + Common::Utf8ToWide(name.c_str())).c_str(),
                   Common::Utf8ToWide(copy.c_str()).c_str(), FALSE))
        throw std::runtime_error("no long-path copy");
    return copy;
}

}  // namespace OrvikTest
