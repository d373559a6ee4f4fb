#pragma once
// Moments on the local wall clock in whole milliseconds, their split into a day and a time of
// day, and the slots of an hourly task: written once, so that the tick, the missed runs, the
// next run and the overview all round the same way (down, also before day 0).
#include <cstdint>

#include "algemeen/datetime.h"

namespace kivo {

// A moment on the local wall clock: day number x one day + milliseconds of the day.
using WallMs = std::int64_t;

constexpr std::int64_t HourMs = 3'600'000;

constexpr std::int32_t DayOfWall(WallMs moment) {
    return static_cast<std::int32_t>(moment / MSecsPerDay - (moment % MSecsPerDay < 0 ? 1 : 0));
}
constexpr std::int32_t MsOfDay(WallMs moment) {
    return static_cast<std::int32_t>(moment - WallMs{DayOfWall(moment)} * MSecsPerDay);
}
constexpr WallMs WallAt(std::int64_t day, std::int64_t msOfDay) {
    return day * MSecsPerDay + msOfDay;
}

inline WallMs WallOf(const LocalDateTime& t) {
    return WallAt(DayNumber(t.date),
                  ((t.time.hour * 60LL + t.time.minute) * 60 + t.time.second) * 1000 + t.time.msec);
}

// The step between an hourly task's slots. Frekwentie 0 or less steps as 1 hour: without a step
// the catch-up would never end.
constexpr std::int64_t HourlyStep(std::int32_t frekwentie) {
    return (frekwentie > 0 ? frekwentie : 1) * HourMs;
}

// The first slot from `slot` on, in steps of `step`, that is not before `t`.
constexpr std::int64_t SlotFrom(std::int64_t slot, std::int64_t step, std::int64_t t) {
    return slot >= t ? slot : slot + (t - slot + step - 1) / step * step;
}

// The tick's catch-up: the latest slot from `slot` on whose next slot is not before `t`.
constexpr std::int64_t CaughtUp(std::int64_t slot, std::int64_t step, std::int64_t t) {
    return slot + step >= t ? slot : SlotFrom(slot, step, t) - step;
}

} // namespace kivo
