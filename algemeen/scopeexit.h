#pragma once
// Runs a piece of code when a scope ends, however it ends: the one way to put state back around
// a call that may fail.
#include <exception>
#include <utility>

namespace kivo {

template <typename F> class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    // A failure of the code itself while another one leaves the scope is dropped: the first one
    // is the one the user is told about.
    ~ScopeExit() noexcept(false) {
        if (dismissed_) return;
        if (std::uncaught_exceptions() > unwinding_) {
            try {
                f_();
            } catch (...) {
            }
        } else {
            f_();
        }
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    // For code that undoes a step: the step succeeded, nothing to undo.
    void Dismiss() { dismissed_ = true; }

private:
    F f_;
    int unwinding_ = std::uncaught_exceptions();
    bool dismissed_ = false;
};

} // namespace kivo
