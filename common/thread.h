// The library's own threads. A Thread runs one body on a new Windows thread,
// optionally named for debuggers, and is joined explicitly or when the
// object dies, so no thread of the library outlives its owner.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/error.h"
#include "common/non_copyable.h"
#include "common/unique_handle.h"

namespace Common {

class Thread : public NonCopyable {
public:
    Thread() = default;
    // Joins a thread still running; a join failure here is lost.
    ~Thread() override;

    // Starts `body` on a new thread with the default stack size. The thread
    // carries `name` as its description when the system supports thread
    // descriptions and the name is not empty. `body` must not throw. Fails
    // with the Windows error when the thread cannot be created, or when this
    // object already holds a thread that was not joined.
    Error Start(std::function<void()> body, std::wstring name = {});

    // Waits for the thread to end, without time limit. Nothing to do when no
    // thread is held. Fails with the Windows error of the wait.
    Error Join();

    bool Joinable() const noexcept { return static_cast<bool>(handle_); }
    std::uint32_t Id() const noexcept { return id_; }

private:
    UniqueHandle handle_;
    std::uint32_t id_ = 0;
};

}  // namespace Common
