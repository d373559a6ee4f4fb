#include "scheduler/nextrun.h"

#include <algorithm>

#include "algemeen/datetime.h"

namespace kivo {

namespace {

// Where the answer may change anywhere, probes closer together than a window, so that every
// window holds one; a window that midnight cuts short holds the day's last millisecond.
constexpr std::int64_t ProbeStep = DueWindowMs - 60'000;
constexpr std::int64_t FirstTickOfDay = 60'000;

std::int64_t DayOf(WallMs t) {
    return t >= 0 ? t / MSecsPerDay : (t - MSecsPerDay + 1) / MSecsPerDay;
}

// Daily mode in closed form: the first day from today on that the daily rule lets through and
// whose window is not over yet.
std::optional<WallMs> NextDaily(std::int64_t slot, std::int64_t frekwentie,
                                std::optional<std::int32_t> last, std::int64_t today,
                                std::int64_t now) {
    if (slot < 0 || slot + 1 >= MSecsPerDay) return std::nullopt; // no moment after it
    std::int64_t day = today;
    if (last) day = std::max(day, *last + frekwentie);
    if (day == today && std::min(slot + DueWindowMs, MSecsPerDay) <= now) ++day;
    return day * MSecsPerDay + slot;
}

} // namespace

std::optional<WallMs> NextRun(const DueTask& task, WallMs now) {
    const std::int64_t today = DayOf(now);
    return NextRun(task, static_cast<std::int32_t>(now - today * MSecsPerDay),
                   static_cast<std::int32_t>(today));
}

std::optional<WallMs> NextRun(const DueTask& given, std::int32_t nowMs, std::int32_t today) {
    // As the tick takes it: a last run after today (a clock that was ahead) counts as today.
    // (Field by field: a copy of the whole optional would wait on the caller's fresh stores.)
    std::optional<std::int32_t> last;
    if (given.laatstekeer.has_value()) last = std::min(*given.laatstekeer, today);
    if (!given.uren) return NextDaily(given.starttijd, given.frekwentie, last, today, nowMs);
    DueTask task = given;
    task.laatstekeer = last;
    const WallMs now = WallMs{today} * MSecsPerDay + nowMs;

    // Hourly mode: the ticks' own questions, asked at the moments where the answer can change.
    // A start comes within the interval (at most 99 hours) and the day that holds the task back
    // after a late slot, so the search ends.
    const std::int64_t hours = std::max<std::int64_t>(task.frekwentie, 1);
    const std::int64_t step = hours * HourMs;
    const WallMs horizon = now + (hours + 50) * HourMs;
    for (WallMs t = now; t <= horizon;) {
        const std::int64_t day = DayOf(t);
        const WallMs dayStart = day * MSecsPerDay, dayEnd = dayStart + MSecsPerDay - 1;
        const std::int64_t ms = t - dayStart;
        const DueDecision d =
            DecideDue(task, static_cast<std::int32_t>(ms), static_cast<std::int32_t>(day));
        if (d.start) return dayStart + d.starttijd;
        task.starttijd = d.starttijd; // the catch-up a tick stores
        const std::int64_t slot = d.starttijd;
        WallMs next = t + ProbeStep;
        if (d.laterDay) {
            next = dayEnd;
        } else if (slot < ms) {
            // Caught up: the next slot starts it, if today holds a moment after it.
            if (slot + step + 1 < MSecsPerDay) return dayStart + slot + step;
            next = dayEnd;
        } else if (hours >= 24 || !task.laatstekeer || task.startTimeFromUser) {
            // It waits for its slot: nothing moves its slots before then.
            if (slot + 1 < MSecsPerDay) return dayStart + slot;
            next = dayEnd;
        }
        t = t == dayEnd ? dayEnd + 1 + FirstTickOfDay : std::min(std::max(next, t + 1), dayEnd);
    }
    return std::nullopt;
}

} // namespace kivo
