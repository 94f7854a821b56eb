#pragma once
// Runs an action when the scope it guards ends, however it ends: for what
// needs undoing once and has no owner type of its own (a registry accessor's
// open key, a Restart Manager session).
#include <utility>

namespace kavrel {

template <typename Action>
class ScopeExit {
public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action action_;
};

}  // namespace kavrel
