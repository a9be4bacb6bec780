// The library's thread facility: bodies run, names arrive, joins wait.
#include "common/thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "common/unique_handle.h"

namespace {

// The calling thread's description, looked up at run time like the setter.
std::wstring CurrentDescription() {
    using GetFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto get = reinterpret_cast<GetFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    PWSTR text = nullptr;
    if (get == nullptr || FAILED(get(GetCurrentThread(), &text))) return L"(unavailable)";
    const std::wstring out = text;
    LocalFree(text);
    return out;
}

TEST(Thread, RunsTheNamedBodyRefusesASecondStartAndJoinsOnceOrWhenDestroyed) {
    std::wstring name = L"(not run)";
    DWORD ran_on = 0;
    Common::Thread named;
    ASSERT_FALSE(named.Start([&] { name = CurrentDescription(), ran_on = GetCurrentThreadId(); }, L"orvik pump"));
    const std::uint32_t id = named.Id();
    ASSERT_FALSE(named.Join());
    EXPECT_EQ(name, L"orvik pump");
    EXPECT_EQ(ran_on, id);
    EXPECT_FALSE(named.Joinable());
    EXPECT_FALSE(named.Join());  // nothing left to wait for

    const Common::UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(go);
    std::atomic<int> finished = 0;
    {
        Common::Thread thread;
        ASSERT_FALSE(thread.Start([&] { WaitForSingleObject(go.Get(), INFINITE), finished = 1; }));
        EXPECT_TRUE(thread.Joinable());
        const Common::Error again = thread.Start([] {});
        EXPECT_TRUE(again.IsWindowsError());
        EXPECT_EQ(again.Code(), static_cast<std::uint32_t>(ERROR_INVALID_STATE));
        SetEvent(go.Get());
    }
    EXPECT_EQ(finished.load(), 1);  // leaving the scope waited for the body
}

}  // namespace
