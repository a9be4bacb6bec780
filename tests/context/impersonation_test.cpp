// Impersonation scopes against real tokens, each case on a thread of its own
// so the main thread never changes. (COM apartment scopes are seen balanced
// through the WMI consumer functions.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "common/error.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "host/host_objects.h"
#include "orvik/context/security_token.h"
#include "orvik/impersonation/impersonation.h"

namespace ScanEngine {
namespace {

// The TokenId of `token`, or of the token the calling thread runs under ("none" when it runs as the process).
std::string IdOf(HANDLE token = nullptr) {
    Common::UniqueHandle own;
    if (token == nullptr && !OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, own.Put()))
        return GetLastError() == ERROR_NO_TOKEN ? "none" : "error " + std::to_string(GetLastError());
    TOKEN_STATISTICS stats{};
    DWORD size = 0;
    if (!GetTokenInformation(token ? token : own.Get(), TokenStatistics, &stats, sizeof stats, &size))
        return "unreadable";
    return std::to_string(stats.TokenId.HighPart) + ":" + std::to_string(stats.TokenId.LowPart);
}
std::string Current() { return IdOf(); }

// Runs `fn` on a fresh thread, which must end as it began.
template <typename Fn>
void OnThread(Fn fn) {
    std::thread([&] {
        try {
            fn();
        } catch (const Common::Error& error) {
            ADD_FAILURE() << "raised " << error.Text();
        }
        EXPECT_EQ(Current(), "none");
    }).join();
}

// Handles open to the object behind `handle`: shows whether a saved copy is still held.
ULONG HandleCount(HANDLE handle) {
    struct { ULONG attributes, access, handles, pointers, reserved[10]; } info{};  // OBJECT_BASIC_INFORMATION
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    return query != nullptr && query(handle, 0, &info, sizeof info, nullptr) == 0 ? info.handles : 0;
}

HANDLE HandleOf(const SecurityToken& token) { return static_cast<HANDLE>(token->TokenHandle(token.get())); }
std::string Id(const SecurityToken& token) { return IdOf(HandleOf(token)); }

// A token handle operation that notes who the thread was when asked.
HANDLE g_spied_handle = nullptr;
std::string g_identity_when_asked;
void* SpyHandle(Abi::SecurityToken*) {
    g_identity_when_asked = Current();
    return g_spied_handle;
}

// What building a scope raised: "<code> <text>" for a Windows error, else the text.
std::string Raised(const SecurityToken& token) {
    try {
        ImpersonationScope scope(token);
    } catch (const Common::Error& error) {
        return error.IsWindowsError() ? std::to_string(error.Code()) + " " + error.Text() : error.Text();
    }
    return "nothing";
}

class ImpersonationTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(objects.Live(), 0) << "every token is released";
        EXPECT_EQ(objects.DoubleReleases(), 0);
    }
    SecurityToken Token(Common::UniqueHandle handle = RefHost::DuplicateOwnTokenForImpersonation()) {
        auto* object = objects.Make<RefHost::SecurityTokenObject>(std::move(handle));
        return SecurityToken(&object->abi, SecurityDescriptorDeleter{});
    }
    RefHost::ObjectPool objects;
};

TEST_F(ImpersonationTest, ImpersonatesForTheScopePutsBackWhatWasBeforeAndFailsWithoutChangingIt) {
    OnThread([&] {
        SecurityToken a = Token(), b = Token(), c = Token();
        ASSERT_NE(Id(a), Id(b));
        for (const bool as_a : {false, true}) {
            ASSERT_TRUE(!as_a || ImpersonateLoggedOnUser(HandleOf(a)));
            const std::string before = as_a ? Id(a) : "none";
            {
                ImpersonationScope empty{SecurityToken()};
                EXPECT_EQ(Current(), before) << "an empty holder changes nothing";
            }
            {
                ImpersonationScope outer(b);
                EXPECT_EQ(Current(), Id(b));
                {
                    ImpersonationScope inner(c);
                    EXPECT_EQ(Current(), Id(c));
                }
                EXPECT_EQ(Current(), Id(b));
            }
            EXPECT_EQ(Current(), before);
        }
        g_spied_handle = HandleOf(b);
        b->TokenHandle = &SpyHandle;
        {
            ImpersonationScope scope(b);
            EXPECT_EQ(g_identity_when_asked, "none") << "the previous identity is suspended first";
            EXPECT_EQ(HandleCount(HandleOf(a)), 2u) << "and held for the scope";
        }
        EXPECT_EQ(HandleCount(HandleOf(a)), 1u) << "and closed after it";
        ASSERT_TRUE(RevertToSelf());

        // The scope keeps its own reference to the token.
        const std::string c_id = Id(c);
        ImpersonationScope scope(c);
        c.reset();
        EXPECT_EQ(objects.Live(), 3);
        EXPECT_EQ(Current(), c_id);
    });
    // A failure raises and leaves the thread as it was.
    OnThread([&] {
        SecurityToken bad = Token(Common::UniqueHandle()), a = Token(), b = Token();
        auto fails_keeping = [&](const std::string& identity) {
            const std::string raised = Raised(bad);
            EXPECT_EQ(raised, "6 0x00000006: " + Common::FormatWindowsError(ERROR_INVALID_HANDLE));
            EXPECT_EQ(Current(), identity);
        };
        fails_keeping("none");
        ASSERT_TRUE(ImpersonateLoggedOnUser(HandleOf(a)));
        fails_keeping(Id(a));
        EXPECT_EQ(HandleCount(HandleOf(a)), 1u) << "the saved handle is closed on failure too";
        // A token record without its handle operation fails before anything changes.
        b->TokenHandle = nullptr;
        EXPECT_EQ(Raised(b), "security token offers no token handle");
        EXPECT_EQ(Current(), Id(a));
        ASSERT_TRUE(RevertToSelf());
    });
}

}  // namespace
}  // namespace ScanEngine
