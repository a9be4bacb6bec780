// The library's thread facility: bodies run, names arrive, joins wait.
#include "common/thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

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

TEST(Thread, RunsTheBodyNamedOrUnnamedAndJoinsOnce) {
    std::wstring names[2] = {L"(not run)", L"(not run)"};
    DWORD ran_on = 0;
    Common::Thread named;
    ASSERT_FALSE(named.Start([&] { names[0] = CurrentDescription(), ran_on = GetCurrentThreadId(); }, L"orvik pump"));
    EXPECT_TRUE(named.Joinable());
    const std::uint32_t id = named.Id();
    Common::Thread unnamed;
    ASSERT_FALSE(unnamed.Start([&] { names[1] = CurrentDescription(); }));
    ASSERT_FALSE(named.Join());
    ASSERT_FALSE(unnamed.Join());
    EXPECT_EQ(names[0], L"orvik pump");
    EXPECT_EQ(names[1], L"");
    EXPECT_EQ(ran_on, id);
    // Nothing left to wait for.
    EXPECT_FALSE(named.Joinable());
    EXPECT_FALSE(named.Join());
}

TEST(Thread, RefusesASecondStartAndJoinsWhenDestroyed) {
    const HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(go, nullptr);
    std::atomic<int> finished = 0;
    {
        Common::Thread thread;
        ASSERT_FALSE(thread.Start([&] { WaitForSingleObject(go, INFINITE), finished = 1; }));
        const Common::Error again = thread.Start([] {});
        EXPECT_TRUE(again.IsWindowsError());
        EXPECT_EQ(again.Code(), static_cast<std::uint32_t>(ERROR_INVALID_STATE));
        SetEvent(go);
    }
    EXPECT_EQ(finished.load(), 1);  // leaving the scope waited for the body
    CloseHandle(go);
}

}  // namespace
