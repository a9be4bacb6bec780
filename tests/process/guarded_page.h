// A committed page followed by a no-access page: bytes placed at the end of
// the first page have nothing readable behind them, so reading one byte too
// far faults at once instead of going unnoticed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace OrvikTest {

class GuardedPage {
public:
    GuardedPage() {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (base_ == nullptr) throw std::runtime_error("VirtualAlloc failed");
        DWORD old = 0;
        MEMORY_BASIC_INFORMATION guard{};
        // Checked, not trusted: the tests mean nothing if the guard is readable.
        if (!VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old) ||
            VirtualQuery(base_ + page_, &guard, sizeof guard) == 0 || guard.Protect != PAGE_NOACCESS) {
            VirtualFree(base_, 0, MEM_RELEASE);
            throw std::runtime_error("no no-access page");
        }
    }
    ~GuardedPage() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;

    // Copies `bytes` so that they end where the no-access page begins.
    const std::uint8_t* PlaceAtEnd(const std::string& bytes) {
        if (bytes.size() > page_) throw std::length_error("more than a page");
        std::uint8_t* at = base_ + page_ - bytes.size();
        if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
        return at;
    }

private:
    std::size_t page_ = 0;
    std::uint8_t* base_ = nullptr;
};

}  // namespace OrvikTest
