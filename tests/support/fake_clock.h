#pragma once
// A clock the test sets; Sleep advances it instead of waiting.
#include "algemeen/datetime.h"
#include "platform/clock.h"

namespace kivo::test {

// Setting or advancing the clock is time that passes (the monotonic count follows); Jump moves
// the wall clock alone, as a user's correction does, and SetUtcOffset as a summer-time change.
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
        if (ms_ < 0) {
            ms_ += MSecsPerDay;
            --days_;
        }
    }
    // The wall clock moves; the monotonic count does not.
    void Jump(long long ms) {
        Advance(ms);
        jumped_ += ms;
    }
    void SetUtcOffset(int minutes) {
        Jump((minutes - offset_) * 60'000LL);
        offset_ = minutes;
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
    ClockReading Read() const override {
        ClockReading r;
        r.local = Now();
        r.utcOffsetMinutes = offset_;
        r.monotonicMs = days_ * MSecsPerDay + ms_ - jumped_;
        return r;
    }
    void Sleep(int milliseconds) override {
        slept += milliseconds;
        Advance(milliseconds);
    }
    long long slept = 0;

private:
    std::int32_t days_ = 0;
    long long ms_ = 0;
    long long jumped_ = 0;
    int offset_ = 60;
};

} // namespace kivo::test
