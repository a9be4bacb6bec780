#include "live_process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "common/error.h"
#include "common/system_procedure.h"
#include "common/token_information.h"
#include "common/unique_handle.h"

namespace RefHost {
namespace {

using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

constexpr ULONG kProcessBasicInformation = 0, kProcessCommandLineInformation = 60;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
// UNICODE_STRING as the system lays it out in a 64-bit process.
struct CountedText {
    USHORT length;
    USHORT maximum_length;
    std::uint64_t buffer;
};
static_assert(sizeof(CountedText) == 16);
// The basic information class's answer in a 64-bit process.
struct BasicInformation {
    std::int64_t exit_status;
    std::uint64_t peb;
    std::uint64_t affinity, priority, pid, parent_pid;
};
// 64-bit layout: the process parameters' address in the PEB; the current
// directory's DOS path and the command line in the parameters.
constexpr std::size_t kPebParameters = 0x20, kParametersCwd = 0x38, kParametersCommandLine = 0x70;

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool ReadRemote(HANDLE process, std::uint64_t address, void* out, std::size_t size) {
    SIZE_T got = 0;
    return address != 0 &&
           ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), out, size,
                             &got) &&
           got == size;
}

// A counted text described by the other process: its length checked against
// itself before anything is read, the characters read from the other side
// (a bad pointer only fails the read).
std::optional<std::u16string> ReadRemoteText(HANDLE process, const CountedText& text) {
    if (text.length % 2 != 0 || text.length > text.maximum_length) return std::nullopt;
    std::u16string out(text.length / 2, u'\0');
    if (!out.empty() && !ReadRemote(process, text.buffer, out.data(), text.length)) return std::nullopt;
    return out;
}

NtQueryInformationProcessFn QueryInformation() {
    static const auto query =
        Common::SystemProcedure<NtQueryInformationProcessFn>(L"ntdll.dll", "NtQueryInformationProcess");
    return query;
}

// The command line from the system's own query (Windows 8.1 and later): a
// counted text followed by its characters, both in our buffer.
std::optional<std::u16string> QueriedCommandLine(HANDLE process) {
    const auto query = QueryInformation();
    if (query == nullptr) return std::nullopt;
    ULONG needed = 0;
    if (query(process, kProcessCommandLineInformation, nullptr, 0, &needed) != kInfoLengthMismatch ||
        needed < sizeof(CountedText) || needed > sizeof(CountedText) + 0x10000)
        return std::nullopt;
    std::vector<std::uint64_t> buffer((needed + 7) / 8);
    if (query(process, kProcessCommandLineInformation, buffer.data(), needed, &needed) != 0) return std::nullopt;
    CountedText text;
    std::memcpy(&text, buffer.data(), sizeof text);
    const auto base = reinterpret_cast<std::uintptr_t>(buffer.data());
    // The characters must lie inside what the query filled.
    if (text.length % 2 != 0 || text.buffer < base || text.buffer - base > needed ||
        needed - (text.buffer - base) < text.length)
        return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(text.buffer), text.length / 2);
}

// Command line and current directory from the process parameters the PEB
// points to; the fallback for systems without the query above (Wine has none).
void ReadParameters(HANDLE process, HostProcess& record) {
    const auto query = QueryInformation();
    BasicInformation basic{};
    ULONG got = 0;
    if (query == nullptr || query(process, kProcessBasicInformation, &basic, sizeof basic, &got) != 0) return;
    std::uint64_t parameters = 0;
    if (!ReadRemote(process, basic.peb + kPebParameters, &parameters, sizeof parameters)) return;
    CountedText cwd{}, command_line{};
    if (!record.command_line && ReadRemote(process, parameters + kParametersCommandLine, &command_line,
                                           sizeof command_line))
        record.command_line = ReadRemoteText(process, command_line);
    if (ReadRemote(process, parameters + kParametersCwd, &cwd, sizeof cwd)) {
        record.cwd = ReadRemoteText(process, cwd);
        // Kept with a trailing separator; given without, as the process itself sees it, except for a root.
        if (record.cwd && record.cwd->size() > 3 && record.cwd->back() == u'\\') record.cwd->pop_back();
    }
}

std::uint32_t ParentPid(std::uint32_t pid) {
    const Common::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ProcessID == pid) return entry.th32ParentProcessID;
    return 0;
}

// One class of the token's information, or none where the token refuses it.
std::optional<Common::TokenInformation> TokenPart(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    try {
        return Common::TokenInformation(token, kind);
    } catch (const Common::Error&) {
        return std::nullopt;
    }
}

void ReadToken(HANDLE process, HostProcess& record) {
    Common::UniqueHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.Put())) return;
    if (const auto user = TokenPart(token.Get(), TokenUser); user && user->As<TOKEN_USER>()) {
        const PSID sid = user->As<TOKEN_USER>()->User.Sid;
        if (const std::size_t size = user->SidSize(sid))
            record.user_sid = std::string(static_cast<const char*>(sid), size);
    }
    // Admin means an elevated token: the rights in effect, not a group held
    // but filtered out of a split token.
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        record.is_admin = elevation.TokenIsElevated != 0;
    if (const auto label = TokenPart(token.Get(), TokenIntegrityLevel); label && label->As<TOKEN_MANDATORY_LABEL>()) {
        const PSID sid = label->As<TOKEN_MANDATORY_LABEL>()->Label.Sid;
        const std::size_t sid_size = label->SidSize(sid);
        // The last sub-authority is the level.
        if (sid_size > 8) std::memcpy(&record.integrity_level, static_cast<const char*>(sid) + sid_size - 4, 4);
    }
    if (const auto held = TokenPart(token.Get(), TokenPrivileges); held && held->As<TOKEN_PRIVILEGES>()) {
        const auto* privileges = held->As<TOKEN_PRIVILEGES>();
        const std::size_t header = offsetof(TOKEN_PRIVILEGES, Privileges);
        const std::size_t room = (held->Size() - header) / sizeof(LUID_AND_ATTRIBUTES);
        std::vector<HostPrivilege> list;
        for (DWORD i = 0; i < privileges->PrivilegeCount && i < room; ++i) {
            const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
            list.push_back({p.Luid.LowPart, p.Luid.HighPart, p.Attributes});
        }
        record.privileges = std::move(list);
    }
}

// The most the process lets us have: memory reads serve the command line and
// directory, the wait tells whether it has ended.
Common::UniqueHandle OpenLive(std::uint32_t pid) {
    constexpr DWORD kQuery = PROCESS_QUERY_LIMITED_INFORMATION;
    for (const DWORD access : {kQuery | PROCESS_VM_READ | SYNCHRONIZE, kQuery | SYNCHRONIZE, kQuery})
        if (Common::UniqueHandle process(OpenProcess(access, FALSE, pid)); process) return process;
    return {};
}

}  // namespace

std::optional<HostProcess> LiveProcess(std::uint32_t pid) {
    const Common::UniqueHandle process = OpenLive(pid);
    if (!process) return std::nullopt;
    HostProcess record;
    // A live process has no host-given unique id: its pid stands for it, and
    // the parent's pid for the parent's.
    record.pid = pid;
    record.uid = pid;
    record.parent_pid = ParentPid(pid);
    record.parent_uid = record.parent_pid;

    std::vector<wchar_t> image(0x8000);
    DWORD length = static_cast<DWORD>(image.size());
    if (QueryFullProcessImageNameW(process.Get(), PROCESS_NAME_NATIVE, image.data(), &length) &&
        length < image.size())
        record.image_nt = std::u16string(reinterpret_cast<const char16_t*>(image.data()), length);

    record.terminated = WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetProcessTimes(process.Get(), &created, &exited, &kernel, &user)) {
        record.start_time = Ticks(created);
        if (record.terminated) record.exit_time = Ticks(exited);
    }
    record.command_line = QueriedCommandLine(process.Get());
    if (!record.terminated) ReadParameters(process.Get(), record);
    ReadToken(process.Get(), record);
    return record;
}

}  // namespace RefHost
