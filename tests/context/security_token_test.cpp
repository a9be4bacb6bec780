// The triggering process's security token, as obtained from a call context.
#include <gtest/gtest.h>

#include <windows.h>

#include "host/host_call_context.h"
#include "orvik/context/security_token.h"

namespace ScanEngine {
namespace {

TEST(SecurityTokenRetrieval, EmptyWithoutProcessInfoOrWithoutToken) {
    RefHost::ObjectPool objects;
    for (auto mode : {RefHost::ProcessInfoMode::None, RefHost::ProcessInfoMode::WithoutToken}) {
        RefHost::HostCallContext call(objects);
        call.process_info = mode;
        EXPECT_EQ(GetSecurityToken(call.Record()), nullptr);
        EXPECT_EQ(call.operations, std::vector<std::string>{"QueryInterface"});
        EXPECT_EQ(objects.Live(), 0) << "the ProcessInfo interface is released";
    }
    EXPECT_EQ(objects.DoubleReleases(), 0);
}

TEST(SecurityTokenRetrieval, HoldsARealTokenAndReleasesItWithTheLastHolder) {
    RefHost::ObjectPool objects;
    RefHost::HostCallContext call(objects);
    SecurityToken token = GetSecurityToken(call.Record());
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(objects.Live(), 1) << "only the token is still held";

    HANDLE handle = token->TokenHandle(token.get());
    TOKEN_TYPE type{};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(handle, TokenType, &type, sizeof type, &size));
    EXPECT_EQ(type, TokenImpersonation);

    SecurityToken copy = token;
    token.reset();
    EXPECT_EQ(objects.Live(), 1);
    copy.reset();
    EXPECT_EQ(objects.Live(), 0);
    EXPECT_EQ(objects.DoubleReleases(), 0);
}

}  // namespace
}  // namespace ScanEngine
