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

HANDLE HandleOf(const SecurityToken& token) { return static_cast<HANDLE>(token->TokenHandle(token.get())); }
std::string Id(const SecurityToken& token) { return IdOf(HandleOf(token)); }

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
        ASSERT_TRUE(ImpersonateLoggedOnUser(HandleOf(a)));
        EXPECT_EQ(Raised(bad), "6 0x00000006: " + Common::FormatWindowsError(ERROR_INVALID_HANDLE));
        EXPECT_EQ(Current(), Id(a));
        // A token record without its handle operation fails before anything changes.
        b->TokenHandle = nullptr;
        EXPECT_EQ(Raised(b), "security token offers no token handle");
        EXPECT_EQ(Current(), Id(a));
        ASSERT_TRUE(RevertToSelf());
    });
}

}  // namespace
}  // namespace ScanEngine
