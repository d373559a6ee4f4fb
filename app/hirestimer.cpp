#include "app/hirestimer.h"

namespace kivo {

THiResTimer::THiResTimer() {}
THiResTimer::~THiResTimer() {}
void THiResTimer::SetInterval(unsigned ms) {
    interval_ = ms;
}
void THiResTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
}
void THiResTimer::PostTick(unsigned) {}
void THiResTimer::Arm() {}
void THiResTimer::Disarm() {}
void THiResTimer::Tick(unsigned) {}
LRESULT CALLBACK THiResTimer::WindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}
void CALLBACK THiResTimer::TimerCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

} // namespace kivo
