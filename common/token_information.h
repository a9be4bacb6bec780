// Reading one class of information from an access token into memory of our
// own, and finding SIDs inside it without reading past its end.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/error.h"

namespace Common {

class TokenInformation {
public:
    // Asks for the size, then for the information. Raises the Windows error
    // of the failing step (a size query that does not fail with 122 is one).
    TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
        DWORD needed = 0;
        if (GetTokenInformation(token, kind, nullptr, 0, &needed)) throw COMMON_WINDOWS_ERROR(ERROR_BAD_LENGTH);
        if (const DWORD error = GetLastError(); error != ERROR_INSUFFICIENT_BUFFER) throw COMMON_WINDOWS_ERROR(error);
        // Whole 64-bit words: the structures inside hold pointers.
        storage_.resize((std::size_t{needed} + 7) / 8);
        DWORD returned = 0;
        if (!GetTokenInformation(token, kind, storage_.data(), needed, &returned))
            throw COMMON_WINDOWS_ERROR(GetLastError());
        if (returned > needed) throw COMMON_WINDOWS_ERROR(ERROR_BAD_LENGTH);
        size_ = returned;
    }

    std::size_t Size() const { return size_; }

    template <typename T>
    const T* As() const {
        return size_ >= sizeof(T) ? reinterpret_cast<const T*>(storage_.data()) : nullptr;
    }

    // The size of the SID at `sid` (8 + 4 * its count) when all of it lies
    // inside the information, else 0.
    std::size_t SidSize(PSID sid) const {
        const auto begin = reinterpret_cast<std::uintptr_t>(storage_.data());
        const auto at = reinterpret_cast<std::uintptr_t>(sid);
        if (at < begin || at - begin > size_) return 0;
        const std::size_t room = size_ - (at - begin);
        if (room < 8) return 0;
        const std::size_t sid_size = 8 + 4 * std::size_t{static_cast<const std::uint8_t*>(sid)[1]};
        return room >= sid_size ? sid_size : 0;
    }

private:
    std::vector<std::uint64_t> storage_;
    DWORD size_ = 0;
};

}  // namespace Common
