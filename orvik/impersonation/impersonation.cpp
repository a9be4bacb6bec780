#include "impersonation.h"

#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <utility>

#include "common/error.h"

namespace ScanEngine {
namespace {

constexpr DWORD kThreadTokenAccess = TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY;  // 14

}  // namespace

ImpersonationRemover::ImpersonationRemover() {
    HANDLE raw = nullptr;
    // Opened as self: the current impersonation may not be allowed to read its own token.
    if (!OpenThreadToken(GetCurrentThread(), kThreadTokenAccess, TRUE, &raw)) {
        const DWORD code = GetLastError();
        if (code == ERROR_NO_TOKEN) return;  // not impersonating: nothing to suspend
        throw COMMON_WINDOWS_ERROR(code);
    }
    // Owned at once, so a failed revert below does not leak it.
    Common::UniqueHandle saved(raw);
    if (!RevertToSelf()) throw COMMON_WINDOWS_ERROR(GetLastError());
    saved_token_ = std::move(saved);
}

ImpersonationRemover::~ImpersonationRemover() {
    if (saved_token_ && !ImpersonateLoggedOnUser(saved_token_.Get())) std::abort();
    // The saved handle is closed by its owner; it is used only once, here.
}

ImpersonatedScope::ImpersonatedScope(void* token_handle) {
    if (!ImpersonateLoggedOnUser(static_cast<HANDLE>(token_handle))) throw COMMON_WINDOWS_ERROR(GetLastError());
}

ImpersonatedScope::~ImpersonatedScope() {
    if (!RevertToSelf()) std::abort();
}

ImpersonationScope::ImpersonationScope(const SecurityToken& token) : token_(token) {
    if (token_ == nullptr) return;
    // A token record without its handle operation is a host fault; found
    // before the thread's identity is touched.
    if (token_->TokenHandle == nullptr) throw COMMON_ERROR("security token offers no token handle");

    remover_ = std::make_unique<ImpersonationRemover>();
    // From here on a failure unwinds through remover_, which restores the
    // identity the thread had on entry.
    impersonated_ = std::make_unique<ImpersonatedScope>(token_->TokenHandle(token_.get()));
}

ComInitScope::ComInitScope(std::uint32_t concurrency_flags)
    : status_(CoInitializeEx(nullptr, static_cast<DWORD>(concurrency_flags))) {}

ComInitScope::~ComInitScope() {
    if (!Failed()) CoUninitialize();
}

}  // namespace ScanEngine
