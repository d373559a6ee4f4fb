#include "win32/hirestimer.h"

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "algemeen/errors.h"
#include "win32/application.h"

namespace kivo {

namespace {

constexpr char kTimerWindowClass[] = "TKivoHiResTimerWindow";
constexpr UINT kTickMessage = WM_USER + 1;

// Arming ids are unique in the process, so a tick meant for a destroyed timer can never match
// another timer that happens to get the same window handle.
std::atomic<unsigned> nextArmingId{1};

void RegisterTimerWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kTimerWindowClass;
        return RegisterClassExA(&wc) != 0;
    }();
    (void)registered;
}

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
    RegisterTimerWindowClass();
    window_ = CreateWindowExA(0, kTimerWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
}

THiResTimer::~THiResTimer() {
    *alive_ = false;
    // The event goes first, so no callback posts to a window that is gone.
    Disarm();
    if (window_) DestroyWindow(window_);
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
    if (interval_ == 0 || !window_) return;
    eventId_ = timeSetEvent(interval_, resolution_, TimerCallback, PackUser(window_, armingId_),
                            TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
    if (eventId_ == 0) throw KivoError("Not enough timers available");
}

void THiResTimer::Disarm() {
    if (eventId_ != 0) timeKillEvent(eventId_);
    eventId_ = 0;
}

void THiResTimer::PostTick(unsigned armingId) {
    PostMessageA(window_, kTickMessage, armingId, 0);
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
    try {
        if (handler) handler();
    } catch (const std::exception& e) {
        // Stays busy: ticks are discarded until the timer is armed again.
        TApplication::Instance().HandleException(e);
        return;
    } catch (...) {
        TApplication::Instance().HandleException(std::runtime_error("Unknown error"));
        return;
    }
    if (*alive) busy_ = false;
}

LRESULT CALLBACK THiResTimer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTickMessage) {
        auto* timer = reinterpret_cast<THiResTimer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (timer) timer->Tick(static_cast<unsigned>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace kivo
