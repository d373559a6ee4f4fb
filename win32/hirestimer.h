#pragma once
// A periodic timer with multimedia-timer precision whose ticks run on the UI thread.
#include <windows.h>

#include <functional>
#include <memory>

#include "platform/timercontrol.h"
#include "win32/window.h"

namespace kivo {

// Ticks arrive as messages posted from the timeSetEvent callback to a hidden message window of the
// component; a tick is handled only when tagged with the latest arming id, the timer is enabled and
// the component is not busy; it is busy during OnTimer. An error escaping OnTimer goes to the
// window base's error display and the component stays busy until it is armed again.
// The system timer runs whenever Enabled is true and Interval is not 0; an unset OnTimer is
// skipped. Create, use and destroy it on the UI thread only.
class THiResTimer : public TimerControl, private Window {
public:
    THiResTimer();  // timeBeginPeriod with the finest resolution
    ~THiResTimer(); // timeEndPeriod
    THiResTimer(const THiResTimer&) = delete;
    THiResTimer& operator=(const THiResTimer&) = delete;

    // Clamped to the range the system's multimedia timer supports; re-arms a running timer.
    void SetInterval(unsigned ms);
    unsigned Interval() const { return interval_; }
    bool Enabled() const override { return enabled_; }
    // Throws KivoError("Not enough timers available") when the system refuses a timer.
    void SetEnabled(bool enabled) override;
    std::function<void()> OnTimer;
    bool Busy() const { return busy_; }

    // For tests: deliver a tick message as the OS callback would (tagged with an arming id).
    unsigned ArmingId() const { return armingId_; }
    void PostTick(unsigned armingId);

private:
    void Arm();
    void Disarm();
    void Tick(unsigned armingId);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    static void CALLBACK TimerCallback(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

    UINT eventId_ = 0;
    unsigned interval_ = 1000;
    unsigned resolution_ = 1;
    bool enabled_ = false;
    bool busy_ = false;
    unsigned armingId_ = 0;
    // Lets a tick notice that OnTimer destroyed the timer.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace kivo
