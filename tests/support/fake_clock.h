#pragma once
// A clock the test sets; Sleep advances it instead of waiting.
#include "algemeen/datetime.h"
#include "platform/clock.h"

namespace kivo::test {

class FakeClock : public Clock {
public:
    FakeClock() = default;
    FakeClock(int year, int month, int day, int hour = 12, int minute = 0, int second = 0,
              int msec = 0) {
        Set(year, month, day, hour, minute, second, msec);
    }
    void Set(int year, int month, int day, int hour = 12, int minute = 0, int second = 0,
             int msec = 0) {
        days_ = DayNumber({year, month, day});
        ms_ = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
    }
    void Advance(long long ms) {
        ms_ += ms;
        days_ += static_cast<std::int32_t>(ms_ / MSecsPerDay);
        ms_ %= MSecsPerDay;
    }
    LocalDateTime Now() const override {
        LocalDateTime t;
        t.date = CivilFromDayNumber(days_);
        long long ms = ms_;
        t.time.hour = static_cast<int>(ms / 3'600'000);
        t.time.minute = static_cast<int>(ms / 60'000 % 60);
        t.time.second = static_cast<int>(ms / 1000 % 60);
        t.time.msec = static_cast<int>(ms % 1000);
        return t;
    }
    void Sleep(int milliseconds) override {
        slept += milliseconds;
        Advance(milliseconds);
    }
    long long slept = 0;

private:
    std::int32_t days_ = 0;
    long long ms_ = 0;
};

} // namespace kivo::test
