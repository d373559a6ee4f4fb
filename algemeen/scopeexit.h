#pragma once
// Runs a step when a scope is left, by return or by exception: the one form of "put it back".
#include <utility>

namespace kivo {

template <typename F> class ScopeExit {
public:
    explicit ScopeExit(F step) : step_(std::move(step)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() { step_(); }

private:
    F step_;
};

} // namespace kivo
