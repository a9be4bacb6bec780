// Running a stretch of code under the identity of the process behind the
// current call, and a COM apartment held for a stretch of code.
//
// Impersonation belongs to the calling thread: a scope changes only the thread
// that builds it and must end on that thread. Scopes nest; each one suspends
// whatever identity the thread had and puts it back when it ends.
#pragma once

#include <cstdint>
#include <memory>

#include "common/non_copyable.h"
#include "common/unique_handle.h"
#include "orvik/context/security_token.h"

namespace ScanEngine {

// Suspends the impersonation in effect on the calling thread, if any, and
// restores it when destroyed. Throws Common::Error when the thread's token
// cannot be read or the thread cannot revert; the thread is then unchanged.
class ImpersonationRemover : public Common::NonCopyable {
public:
    ImpersonationRemover();
    // Re-impersonates the saved identity; aborts if the system refuses, since
    // the thread would otherwise go on under the wrong identity.
    ~ImpersonationRemover() override;

    bool WasImpersonating() const noexcept { return static_cast<bool>(saved_token_); }

private:
    Common::UniqueHandle saved_token_;  // empty: the thread was not impersonating
};

// Its existence means the calling thread impersonates a token; it reverts the
// thread to its own identity when destroyed (aborting if that fails).
class ImpersonatedScope : public Common::NonCopyable {
public:
    // Throws Common::Error when the token cannot be impersonated.
    explicit ImpersonatedScope(void* token_handle);
    ~ImpersonatedScope() override;
};

// Impersonates the call's security token for its lifetime. An empty holder
// means no token: the scope then leaves the thread alone.
class ImpersonationScope : public Common::NonCopyable {
public:
    explicit ImpersonationScope(const SecurityToken& token);
    // Members end in reverse order: revert, restore the previous identity,
    // then let go of the token.
    ~ImpersonationScope() override = default;

private:
    SecurityToken token_;
    std::unique_ptr<ImpersonationRemover> remover_;
    std::unique_ptr<ImpersonatedScope> impersonated_;
};

// Initialises COM on the calling thread for its lifetime. The status is kept
// so the user can give up when the thread already has another apartment type.
class ComInitScope : public Common::NonCopyable {
public:
    explicit ComInitScope(std::uint32_t concurrency_flags);
    // Balances only a successful initialisation, which includes "already
    // initialised" (S_FALSE).
    ~ComInitScope() override;

    bool Failed() const noexcept { return status_ < 0; }
    std::int32_t Status() const noexcept { return status_; }

private:
    std::int32_t status_;
};

}  // namespace ScanEngine
