#include "platform/clock.h"

#include <chrono>

namespace kivo {

ClockReading Clock::Read() const {
    ClockReading reading;
    reading.local = Now();
    using namespace std::chrono;
    const auto& d = reading.local.date;
    const auto days = sys_days{year{d.year} / month{static_cast<unsigned>(d.month)} /
                               day{static_cast<unsigned>(d.day)}}
                          .time_since_epoch()
                          .count();
    const auto& t = reading.local.time;
    reading.monotonicMs = static_cast<std::int64_t>(days) * 86'400'000 +
                          ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.msec;
    return reading;
}

} // namespace kivo
