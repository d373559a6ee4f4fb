#include "win32/hirestimer.h"

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "platform/errors.h"

namespace kivo {

namespace {

constexpr char kTimerWindowClass[] = "TKivoHiResTimerWindow";
constexpr UINT kTickMessage = WM_USER + 1;

// Arming ids are unique in the process, so a tick meant for a destroyed timer can never match
// another timer that happens to get the same window handle.
std::atomic<unsigned> nextArmingId{1};

TIMECAPS DeviceCaps() {
    TIMECAPS caps = {};
    if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR || caps.wPeriodMin == 0) {
        caps.wPeriodMin = 1;
        caps.wPeriodMax = 1000000;
    }
    return caps;
}

// Window handles are 32-bit values even in 64-bit processes, so the handle and the arming id both
// fit in the callback's user value: no allocation outlives the timer.
DWORD_PTR PackUser(HWND window, unsigned armingId) {
    auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
    return (static_cast<DWORD_PTR>(armingId) << 32) | handle;
}

} // namespace

THiResTimer::THiResTimer() {
    TIMECAPS caps = DeviceCaps();
    resolution_ = caps.wPeriodMin;
    timeBeginPeriod(resolution_);
    WindowClassInfo info;
    info.name = kTimerWindowClass;
    info.background = nullptr;
    try {
        CreateWindowOf(info, 0, "", 0, 0, 0, 0, 0, HWND_MESSAGE);
    } catch (const std::exception&) {
        // Without its window the timer never ticks; Enabled still reads as set.
    }
}

THiResTimer::~THiResTimer() {
    *alive_ = false;
    // The event goes first, so no callback posts to a window that is gone.
    Disarm();
    DestroyHwnd();
    timeEndPeriod(resolution_);
}

void THiResTimer::SetInterval(unsigned ms) {
    if (ms != 0) {
        TIMECAPS caps = DeviceCaps();
        ms = std::clamp<unsigned>(ms, caps.wPeriodMin, caps.wPeriodMax);
    }
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) {
        Disarm();
        Arm();
    }
}

void THiResTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    if (enabled) {
        Arm();
        enabled_ = true;
    } else {
        enabled_ = false;
        Disarm();
    }
}

void THiResTimer::Arm() {
    armingId_ = nextArmingId.fetch_add(1);
    busy_ = false;
    if (interval_ == 0 || !Hwnd()) return;
    eventId_ = timeSetEvent(interval_, resolution_, TimerCallback, PackUser(Hwnd(), armingId_),
                            TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
    if (eventId_ == 0) throw KivoError("Not enough timers available");
}

void THiResTimer::Disarm() {
    if (eventId_ != 0) timeKillEvent(eventId_);
    eventId_ = 0;
}

void THiResTimer::PostTick(unsigned armingId) {
    PostMessageA(Hwnd(), kTickMessage, armingId, 0);
}

void CALLBACK THiResTimer::TimerCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    // Runs on the system's timer thread: only post.
    auto handle = static_cast<std::int32_t>(user & 0xffffffffu);
    HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
    PostMessageA(window, kTickMessage, static_cast<WPARAM>(user >> 32), 0);
}

void THiResTimer::Tick(unsigned armingId) {
    // A stopped timer does not tick, even with a tick of its last arming still queued.
    if (!enabled_ || armingId != armingId_ || busy_) return;
    busy_ = true;
    auto alive = alive_;
    auto handler = OnTimer; // the handler may destroy this timer, and OnTimer with it
    // A failure leaves the timer busy (ticks are discarded until it is armed again) and goes to
    // the error display through the window base.
    if (handler) handler();
    if (*alive) busy_ = false;
}

LRESULT THiResTimer::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTickMessage) {
        Tick(static_cast<unsigned>(wParam));
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

} // namespace kivo
