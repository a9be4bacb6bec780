// A process for tests to examine: it sets up what it is asked to on its
// command line, prints what it made as "key=value" lines, then "ready", and
// waits until its input closes (or it is terminated).
//
//   rwx-spin      a thread spinning in a PAGE_EXECUTE_READWRITE page
//   rwx-callout   a thread in such a page that keeps calling Sleep
//   rwx-nocache-spin   a thread spinning in a PAGE_EXECUTE_READWRITE | PAGE_NOCACHE page
//   worker        a thread in ordinary code
//   listen        a listening IPv4 TCP socket on 127.0.0.1 that has done I/O
//   load=NAME     a DLL loaded by name or path
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/unique_handle.h"

namespace {

void Report(const char* key, unsigned long long value, bool hex = false) {
    std::printf(hex ? "%s=%llx\n" : "%s=%llu\n", key, value);
}

// Signals once it runs: a thread not yet scheduled has no stack to examine.
DWORD WINAPI Worker(void* started) {
    SetEvent(static_cast<HANDLE>(started));
    for (;;) Sleep(50);
}

// Code placed in a fresh RWX page; the page is never freed.
void* ExecutablePage(const unsigned char* code, std::size_t size, DWORD modifier) {
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE | modifier);
    if (page == nullptr) return nullptr;
    std::memcpy(page, code, size);
    FlushInstructionCache(GetCurrentProcess(), page, size);
    return page;
}

// The thread's first instruction sets a byte in its page, and the thread is
// reported only once that byte is set: a thread that has not yet run may have
// no recorded start address (Wine records it when the thread first runs) and
// no stack to examine.
constexpr std::size_t kStartedFlag = 64;
// mov byte ptr [rip + (kStartedFlag - 7)], 1
constexpr unsigned char kSetStarted[] = {0xC6, 0x05, kStartedFlag - 7, 0x00, 0x00, 0x00, 0x01};

// Entry at the page's start; the spinning thread then stands at offset 7, the
// calling one returns from Sleep to offset 28.
bool StartRwxThread(const char* name, bool call_out, DWORD modifier = 0) {
    unsigned char code[48] = {};
    std::memcpy(code, kSetStarted, sizeof kSetStarted);
    std::size_t size = sizeof kSetStarted;
    if (call_out) {
        // sub rsp,28h; again: mov ecx,1; mov rax,Sleep; call rax; jmp again
        const auto sleep = reinterpret_cast<std::uint64_t>(&Sleep);
        const unsigned char prologue[] = {0x48, 0x83, 0xEC, 0x28, 0xB9, 0x01, 0x00, 0x00, 0x00, 0x48, 0xB8};
        std::memcpy(code + size, prologue, sizeof prologue);
        std::memcpy(code + size + 11, &sleep, 8);
        const unsigned char loop[] = {0xFF, 0xD0, 0xEB, static_cast<unsigned char>(11 - 30)};  // back to "again"
        std::memcpy(code + size + 19, loop, sizeof loop);
        size += 23;
    } else {
        code[size++] = 0xEB;  // jmp $
        code[size++] = 0xFE;
    }
    void* page = ExecutablePage(code, size, modifier);
    DWORD id = 0;
    if (page == nullptr) return false;
    const Common::UniqueHandle thread(
        CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(page), nullptr, 0, &id));
    if (!thread) return false;
    const auto* started = static_cast<volatile unsigned char*>(page) + kStartedFlag;
    for (int waited = 0; *started == 0; ++waited) {
        if (waited == 10000) return false;
        Sleep(1);
    }
    Report((std::string(name) + "_thread").c_str(), id);
    Report((std::string(name) + "_address").c_str(), reinterpret_cast<std::uintptr_t>(page), true);
    return true;
}

// The sockets stay open for the process's life, on purpose: tests look them up.
bool Listen() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    const SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    // Asking for the pending byte count makes the system know the listening
    // socket's owner too.
    u_long pending = 0;
    if (server == INVALID_SOCKET || bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(server, 1) != 0 || getsockname(server, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ioctlsocket(server, FIONREAD, &pending) != 0)
        return false;
    // One connection with a byte each way, so the system knows the owner.
    const SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    const SOCKET accepted = accept(server, nullptr, nullptr);
    char byte = 'x';
    if (accepted == INVALID_SOCKET || send(client, &byte, 1, 0) != 1 || recv(accepted, &byte, 1, 0) != 1 ||
        send(accepted, &byte, 1, 0) != 1 || recv(client, &byte, 1, 0) != 1)
        return false;
    Report("listen_port", ntohs(address.sin_port));
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        bool ok = true;
        if (arg == L"rwx-spin") ok = StartRwxThread("rwx_spin", false);
        else if (arg == L"rwx-callout") ok = StartRwxThread("rwx_callout", true);
        else if (arg == L"rwx-nocache-spin") ok = StartRwxThread("rwx_nocache_spin", false, PAGE_NOCACHE);
        else if (arg == L"worker") {
            DWORD id = 0;
            const Common::UniqueHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            const Common::UniqueHandle thread(
                started ? CreateThread(nullptr, 0, Worker, started.Get(), 0, &id) : nullptr);
            ok = thread && WaitForSingleObject(started.Get(), 10000) == WAIT_OBJECT_0;
            Report("worker_thread", id);
        } else if (arg == L"listen") ok = Listen();
        else if (arg.rfind(L"load=", 0) == 0) ok = LoadLibraryW(arg.c_str() + 5) != nullptr;
        else ok = false;
        if (!ok) {
            std::printf("failed=%ls\n", arg.c_str());
            return 2;
        }
    }
    Report("pid", GetCurrentProcessId());
    std::printf("ready\n");
    std::fflush(stdout);
    // Until the test closes our input.
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    return 0;
}
