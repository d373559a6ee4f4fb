#pragma once
// What the scheduler and the import need of a timer: read and switch its running state. The
// window layer implements it (THiResTimer); tests hold only the state.

namespace kivo {

class TimerControl {
public:
    virtual ~TimerControl() = default;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

} // namespace kivo
