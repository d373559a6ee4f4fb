#include <chrono>
#include <ctime>
#include <thread>
#include <time.h>

#include "platform/clock.h"

namespace kivo {
namespace {

class PosixClock : public Clock {
public:
    LocalDateTime Now() const override { return Read().local; }
    ClockReading Read() const override {
        using namespace std::chrono;
        auto now = system_clock::now();
        auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
        std::time_t secs = static_cast<std::time_t>(ms / 1000);
        std::tm tm{};
        localtime_r(&secs, &tm);
        ClockReading r;
        r.local.date = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
        r.local.time = {tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000)};
        r.utcOffsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
        // Counts on while the machine sleeps, and is not moved with the wall clock.
        timespec boot{};
        clock_gettime(CLOCK_BOOTTIME, &boot);
        r.monotonicMs = static_cast<std::int64_t>(boot.tv_sec) * 1000 + boot.tv_nsec / 1'000'000;
        return r;
    }
    void Sleep(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace

Clock& SystemClock() {
    static PosixClock clock;
    return clock;
}

} // namespace kivo
