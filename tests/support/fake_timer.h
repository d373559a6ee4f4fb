#pragma once
// A timer that only holds its state and remembers how it was switched.
#include <vector>

#include "platform/timercontrol.h"

namespace kivo::test {

class FakeTimer : public TimerControl {
public:
    explicit FakeTimer(bool on = false) : enabled(on) {}
    bool Enabled() const override { return enabled; }
    void SetEnabled(bool on) override {
        if (on && !enabled) ++starts;
        enabled = on;
        history.push_back(on);
    }
    bool enabled;
    int starts = 0; // times a stopped timer was started: each begins a new period
    std::vector<bool> history;
};

} // namespace kivo::test
