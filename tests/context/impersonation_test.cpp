// Impersonation scopes and the COM apartment scope, against real Windows
// tokens and apartments. Every case runs on a thread of its own so the test
// process's main thread never changes identity or apartment.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <optional>
#include <thread>

#include "common/error.h"
#include "common/unique_handle.h"
#include "host/host_objects.h"
#include "orvik/context/security_token.h"
#include "orvik/impersonation/impersonation.h"

namespace ScanEngine {
namespace {

template <typename Fn>
void OnOwnThread(Fn fn) {
    std::thread worker([&] {
        fn();
        // Whatever the case did, the thread must end as it began.
        HANDLE leftover = nullptr;
        EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &leftover));
        if (leftover != nullptr) {
            CloseHandle(leftover);
            RevertToSelf();
        }
    });
    worker.join();
}

std::uint64_t IdOf(HANDLE token) {
    TOKEN_STATISTICS stats{};
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenStatistics, &stats, sizeof stats, &size)) << GetLastError();
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(stats.TokenId.HighPart)) << 32) |
           stats.TokenId.LowPart;
}

// The identity the calling thread runs under: the id of its impersonation
// token, or nothing when it runs as the process.
std::optional<std::uint64_t> ThreadIdentity() {
    Common::UniqueHandle token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.Put())) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
        return std::nullopt;
    }
    return IdOf(token.Get());
}

// How many handles are open to the object behind `handle`: shows whether a
// saved copy of a token is still held.
ULONG HandleCount(HANDLE handle) {
    struct BasicInformation {  // OBJECT_BASIC_INFORMATION
        ULONG attributes;
        ACCESS_MASK granted_access;
        ULONG handle_count;
        ULONG pointer_count;
        ULONG reserved[10];
    } info{};
    using QueryObject = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    EXPECT_NE(query, nullptr);
    if (query == nullptr) return 0;
    EXPECT_EQ(query(handle, 0 /* ObjectBasicInformation */, &info, sizeof info, nullptr), 0);
    return info.handle_count;
}

// Whether the thread's effective identity counts as a member of Administrators.
bool RunsAsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                         0, &admins));
    BOOL member = FALSE;
    EXPECT_TRUE(CheckTokenMembership(nullptr, admins, &member)) << GetLastError();
    FreeSid(admins);
    return member != FALSE;
}

// An impersonation token like the host's own but with Administrators
// disabled: a second identity that the system treats differently.
Common::UniqueHandle RestrictedToken() {
    Common::UniqueHandle base = RefHost::DuplicateOwnTokenForImpersonation();
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                         0, &admins));
    SID_AND_ATTRIBUTES disabled{admins, 0};
    Common::UniqueHandle restricted;
    EXPECT_TRUE(CreateRestrictedToken(base.Get(), 0, 1, &disabled, 0, nullptr, 0, nullptr, restricted.Put()))
        << GetLastError();
    FreeSid(admins);
    return restricted;
}

class ImpersonationTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(objects.Live(), 0) << "every token is released";
        EXPECT_EQ(objects.DoubleReleases(), 0);
    }

    // A host token object over `handle`, held the way handlers hold it.
    SecurityToken Token(Common::UniqueHandle handle) {
        auto* object = objects.Make<RefHost::SecurityTokenObject>(std::move(handle));
        return SecurityToken(&object->abi, SecurityDescriptorDeleter{});
    }
    SecurityToken Token() { return Token(RefHost::DuplicateOwnTokenForImpersonation()); }
    static std::uint64_t IdOf(const SecurityToken& token) {
        return ScanEngine::IdOf(static_cast<HANDLE>(token->TokenHandle(token.get())));
    }

    RefHost::ObjectPool objects;
};

TEST_F(ImpersonationTest, AnEmptyHolderLeavesTheThreadAsItIs) {
    OnOwnThread([&] {
        {
            ImpersonationScope scope{SecurityToken()};
            EXPECT_EQ(ThreadIdentity(), std::nullopt);
        }
        EXPECT_EQ(ThreadIdentity(), std::nullopt);

        // Not even an identity the thread already has is touched.
        SecurityToken a = Token();
        ASSERT_TRUE(ImpersonateLoggedOnUser(a->TokenHandle(a.get())));
        {
            ImpersonationScope scope{SecurityToken()};
            EXPECT_EQ(ThreadIdentity(), IdOf(a));
        }
        EXPECT_EQ(ThreadIdentity(), IdOf(a));
        ASSERT_TRUE(RevertToSelf());
    });
}

TEST_F(ImpersonationTest, ImpersonatesTheTokenForTheScopeOnly) {
    OnOwnThread([&] {
        SecurityToken token = Token(RestrictedToken());
        ASSERT_EQ(ThreadIdentity(), std::nullopt);
        ASSERT_TRUE(RunsAsAdministrator());
        {
            ImpersonationScope scope(token);
            EXPECT_EQ(ThreadIdentity(), IdOf(token));
            EXPECT_FALSE(RunsAsAdministrator()) << "the system sees the restricted identity";
        }
        EXPECT_EQ(ThreadIdentity(), std::nullopt);
        EXPECT_TRUE(RunsAsAdministrator());
    });
}

TEST_F(ImpersonationTest, TheScopeKeepsItsOwnReferenceToTheToken) {
    OnOwnThread([&] {
        SecurityToken token = Token();
        const std::uint64_t id = IdOf(token);
        {
            ImpersonationScope scope(token);
            token.reset();
            EXPECT_EQ(objects.Live(), 1) << "the token outlives the caller's holder";
            EXPECT_EQ(ThreadIdentity(), id);
        }
        EXPECT_EQ(objects.Live(), 0) << "and is released with the scope";
        EXPECT_EQ(ThreadIdentity(), std::nullopt);
    });
}

TEST_F(ImpersonationTest, AnIdentityInEffectBeforeIsSuspendedAndRestored) {
    OnOwnThread([&] {
        SecurityToken a = Token();
        SecurityToken b = Token();
        SecurityToken c = Token(RestrictedToken());
        ASSERT_NE(IdOf(a), IdOf(b));
        ASSERT_NE(IdOf(b), IdOf(c));

        ASSERT_TRUE(ImpersonateLoggedOnUser(a->TokenHandle(a.get())));
        ASSERT_EQ(ThreadIdentity(), IdOf(a));
        {
            ImpersonationScope outer(b);
            EXPECT_EQ(ThreadIdentity(), IdOf(b));
            EXPECT_TRUE(RunsAsAdministrator());
            {
                ImpersonationScope inner(c);
                EXPECT_EQ(ThreadIdentity(), IdOf(c));
                EXPECT_FALSE(RunsAsAdministrator());
            }
            EXPECT_EQ(ThreadIdentity(), IdOf(b));
            EXPECT_TRUE(RunsAsAdministrator());
        }
        EXPECT_EQ(ThreadIdentity(), IdOf(a));

        // Restored from the restricted identity as well.
        ASSERT_TRUE(RevertToSelf());
        ASSERT_TRUE(ImpersonateLoggedOnUser(c->TokenHandle(c.get())));
        {
            ImpersonationScope scope(b);
            EXPECT_EQ(ThreadIdentity(), IdOf(b));
            EXPECT_TRUE(RunsAsAdministrator());
        }
        EXPECT_EQ(ThreadIdentity(), IdOf(c));
        EXPECT_FALSE(RunsAsAdministrator());
        ASSERT_TRUE(RevertToSelf());
    });
}

TEST_F(ImpersonationTest, TheSavedThreadTokenIsClosedAfterUse) {
    OnOwnThread([&] {
        SecurityToken a = Token();
        SecurityToken b = Token();
        ASSERT_TRUE(ImpersonateLoggedOnUser(a->TokenHandle(a.get())));
        const HANDLE a_handle = static_cast<HANDLE>(a->TokenHandle(a.get()));
        ASSERT_EQ(HandleCount(a_handle), 1u);
        for (int i = 0; i < 3; ++i) {
            ImpersonationScope scope(b);
            EXPECT_EQ(HandleCount(a_handle), 2u) << "the suspended identity is held while the scope runs";
        }
        EXPECT_EQ(HandleCount(a_handle), 1u);
        EXPECT_EQ(ThreadIdentity(), IdOf(a));
        ASSERT_TRUE(RevertToSelf());
    });
}

TEST_F(ImpersonationTest, AFailedImpersonationRaisesTheWindowsErrorAndLeavesTheThreadAsItWas) {
    OnOwnThread([&] {
        auto expect_invalid_handle = [](const SecurityToken& bad) {
            try {
                ImpersonationScope scope(bad);
                ADD_FAILURE() << "no error raised";
            } catch (const Common::Error& error) {
                EXPECT_TRUE(error.IsWindowsError());
                EXPECT_EQ(error.Code(), 6u);
                EXPECT_EQ(error.Text().rfind("0x00000006: ", 0), 0u) << error.Text();
                EXPECT_GT(error.Text().size(), std::string("0x00000006: ").size()) << "with the system's text";
                EXPECT_NE(error.SourceFile().find("impersonation"), std::string::npos) << error.SourceFile();
            }
        };
        // A token object whose handle is no handle at all.
        SecurityToken bad = Token(Common::UniqueHandle());
        expect_invalid_handle(bad);
        EXPECT_EQ(ThreadIdentity(), std::nullopt);

        SecurityToken a = Token(RestrictedToken());
        ASSERT_TRUE(ImpersonateLoggedOnUser(a->TokenHandle(a.get())));
        const HANDLE a_handle = static_cast<HANDLE>(a->TokenHandle(a.get()));
        expect_invalid_handle(bad);
        EXPECT_EQ(ThreadIdentity(), IdOf(a)) << "the suspended identity is back";
        EXPECT_FALSE(RunsAsAdministrator());
        EXPECT_EQ(HandleCount(a_handle), 1u) << "the saved token is closed on the failure path too";

        // Inside a working scope, a failing inner one restores the outer identity.
        SecurityToken b = Token();
        {
            ImpersonationScope outer(b);
            expect_invalid_handle(bad);
            EXPECT_EQ(ThreadIdentity(), IdOf(b));
        }
        EXPECT_EQ(ThreadIdentity(), IdOf(a));
        ASSERT_TRUE(RevertToSelf());
    });
}

TEST_F(ImpersonationTest, ATokenRecordWithoutItsHandleOperationIsAnErrorBeforeAnythingChanges) {
    OnOwnThread([&] {
        SecurityToken a = Token();
        SecurityToken broken = Token();
        broken->TokenHandle = nullptr;
        ASSERT_TRUE(ImpersonateLoggedOnUser(a->TokenHandle(a.get())));
        try {
            ImpersonationScope scope(broken);
            ADD_FAILURE() << "no error raised";
        } catch (const Common::Error& error) {
            EXPECT_FALSE(error.IsWindowsError());
            EXPECT_EQ(error.Text(), "security token offers no token handle");
        }
        EXPECT_EQ(ThreadIdentity(), IdOf(a));
        ASSERT_TRUE(RevertToSelf());
    });
}

TEST(ComInitScopeTest, AnAlreadyInitialisedMultithreadedApartmentIsStillBalanced) {
    OnOwnThread([] {
        {
            ComInitScope first(COINIT_MULTITHREADED);
            EXPECT_EQ(first.Status(), S_OK);
            EXPECT_FALSE(first.Failed());
            {
                ComInitScope second(COINIT_MULTITHREADED);
                EXPECT_EQ(second.Status(), S_FALSE);
                EXPECT_FALSE(second.Failed());
            }
            // The first initialisation still holds the apartment.
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        }
        // Fully uninitialised: another apartment type is accepted as new.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
    });
}

TEST(ComInitScopeTest, AnotherApartmentTypeFailsAndIsNotUninitialised) {
    OnOwnThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        {
            ComInitScope scope(COINIT_MULTITHREADED);
            EXPECT_EQ(scope.Status(), RPC_E_CHANGED_MODE);
            EXPECT_TRUE(scope.Failed());
        }
        // The caller's single-threaded apartment survived the failed scope.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "and was ended by its own owner";
        CoUninitialize();
    });
}

}  // namespace
}  // namespace ScanEngine
