#include "scheduler/nextrun.h"

#include <algorithm>

#include "algemeen/datetime.h"

namespace kivo {

namespace {

// Probes closer together than a window, so that every window holds one; a window that midnight
// cuts short holds the day's last millisecond.
constexpr std::int64_t ProbeStep = DueWindowMs - 60'000;
constexpr std::int64_t FirstTickOfDay = 60'000;

std::int64_t DayOf(WallMs t) {
    return t >= 0 ? t / MSecsPerDay : (t - MSecsPerDay + 1) / MSecsPerDay;
}

// Daily mode in closed form: the first day from today on that the daily rule lets through and
// whose window is not over yet.
std::optional<WallMs> NextDaily(const DueTask& task, std::int64_t today, std::int64_t now) {
    const std::int64_t slot = task.starttijd;
    if (slot < 0 || slot + 1 >= MSecsPerDay) return std::nullopt; // no moment after it
    std::int64_t day = today;
    if (task.laatstekeer) day = std::max(day, std::int64_t{*task.laatstekeer} + task.frekwentie);
    if (day == today && std::min(slot + DueWindowMs, MSecsPerDay) <= now) ++day;
    return day * MSecsPerDay + slot;
}

} // namespace

std::optional<WallMs> NextRun(const DueTask& given, WallMs now) {
    DueTask task = given;
    const std::int64_t today = DayOf(now);
    // As the tick takes it: a last run after today (a clock that was ahead) counts as today.
    if (task.laatstekeer && *task.laatstekeer > today)
        task.laatstekeer = static_cast<std::int32_t>(today);
    if (!task.uren) return NextDaily(task, today, now - today * MSecsPerDay);

    // Hourly mode: the ticks' own questions, at moments less than a window apart. A start comes
    // within the interval (at most 99 hours) and the day that holds the task back after a late
    // slot, so the search ends.
    const std::int64_t hours = std::max<std::int64_t>(task.frekwentie, 1);
    const WallMs horizon = now + (hours + 50) * HourMs;
    for (WallMs t = now; t <= horizon;) {
        const std::int64_t day = DayOf(t);
        const auto ms = static_cast<std::int32_t>(t - day * MSecsPerDay);
        const DueDecision d = DecideDue(task, ms, static_cast<std::int32_t>(day));
        if (d.start) return day * MSecsPerDay + d.starttijd;
        task.starttijd = d.starttijd; // the catch-up a tick stores
        const WallMs dayEnd = (day + 1) * MSecsPerDay - 1;
        if (t == dayEnd)
            t = dayEnd + 1 + FirstTickOfDay;
        else
            t = std::min(t + ProbeStep, dayEnd);
    }
    return std::nullopt;
}

} // namespace kivo
