#include "common/thread.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "common/system_procedure.h"

namespace Common {
namespace {

// Everything the new thread needs; it owns this from its first instruction.
struct StartBlock {
    std::function<void()> body;
    std::wstring name;
};

using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// Thread descriptions exist only on newer systems, so the entry is looked up
// when needed: a static import would keep the module from loading elsewhere.
SetThreadDescriptionFn FindSetThreadDescription() {
    return Common::SystemProcedure<SetThreadDescriptionFn>(L"kernel32.dll", "SetThreadDescription");
}

DWORD WINAPI ThreadStart(void* parameter) {
    const std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(parameter));
    if (!block->name.empty()) {
        if (const SetThreadDescriptionFn describe = FindSetThreadDescription()) {
            describe(GetCurrentThread(), block->name.c_str());
        }
    }
    block->body();
    return 0;
}

}  // namespace

Thread::~Thread() { Join(); }

Error Thread::Start(std::function<void()> body, std::wstring name) {
    if (handle_) return COMMON_WINDOWS_ERROR(ERROR_INVALID_STATE);
    auto block = std::make_unique<StartBlock>(StartBlock{std::move(body), std::move(name)});
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, &ThreadStart, block.get(), 0, &id);
    if (thread == nullptr) return COMMON_WINDOWS_ERROR(GetLastError());
    block.release();  // the thread owns it now
    handle_.Reset(thread);
    id_ = id;
    return {};
}

Error Thread::Join() {
    if (!handle_) return {};
    if (WaitForSingleObject(handle_.Get(), INFINITE) == WAIT_FAILED) return COMMON_WINDOWS_ERROR(GetLastError());
    handle_.Reset();
    id_ = 0;
    return {};
}

}  // namespace Common
