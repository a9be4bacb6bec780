// Runs an action when the scope ends, unless released first: the undo half of
// a pair (suspend/resume, set-up/clean-up) written next to the do half.
#pragma once

#include <utility>

namespace Common {

template <typename Action>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(Action action) noexcept : action_(std::move(action)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (armed_) action_();
    }

    // The action will not run.
    void Release() noexcept { armed_ = false; }

private:
    Action action_;
    bool armed_ = true;
};

}  // namespace Common
