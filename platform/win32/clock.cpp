#include <windows.h>

#include "platform/clock.h"

namespace kivo {
namespace {

class Win32Clock : public Clock {
public:
    LocalDateTime Now() const override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        LocalDateTime t;
        t.date = {st.wYear, st.wMonth, st.wDay};
        t.time = {st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
        return t;
    }
    void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }
};

} // namespace

Clock& SystemClock() {
    static Win32Clock clock;
    return clock;
}

} // namespace kivo
