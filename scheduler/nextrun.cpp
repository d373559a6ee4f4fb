#include "scheduler/nextrun.h"

#include <algorithm>

namespace kivo {

namespace {

// Where the answer may change anywhere, probes closer together than a window, so that every
// window holds one; a window that midnight cuts short holds the day's last millisecond.
constexpr std::int64_t ProbeStep = DueWindowMs - 60'000;
constexpr std::int64_t FirstTickOfDay = 60'000;
constexpr WallMs Never = NoNextRun;

// Daily mode in closed form: the first day from today on that the daily rule lets through and
// whose window is not over yet.
WallMs NextDaily(std::int64_t slot, std::int64_t frekwentie, std::optional<std::int32_t> last,
                 std::int64_t today, std::int64_t now) {
    if (slot < 0 || slot + 1 >= MSecsPerDay) return Never; // no moment after it
    std::int64_t day = today;
    if (last) day = std::max(day, *last + frekwentie);
    if (day == today && std::min(slot + DueWindowMs, MSecsPerDay) <= now) ++day;
    return WallAt(day, slot);
}

} // namespace

WallMs NextRunMs(const DueTask& given, WallMs now) {
    const std::int32_t today = DayOfWall(now);
    const std::int32_t nowMs = MsOfDay(now);
    // As the tick takes it: a last run after today (a clock that was ahead) counts as today.
    // (Field by field: a copy of the whole optional would wait on the caller's fresh stores.)
    std::optional<std::int32_t> last;
    if (given.laatstekeer.has_value()) last = std::min(*given.laatstekeer, today);
    if (!given.uren) return NextDaily(given.starttijd, given.frekwentie, last, today, nowMs);
    DueTask task = given;
    task.laatstekeer = last;

    // Hourly mode: the ticks' own questions, asked at the moments where the answer can change.
    // A start comes within the interval (at most 99 hours) and the day that holds the task back
    // after a late slot, so the search ends.
    const std::int64_t step = HourlyStep(task.frekwentie);
    const WallMs horizon = now + step + 50 * HourMs;
    for (WallMs t = now; t <= horizon;) {
        const std::int32_t day = DayOfWall(t);
        const WallMs dayStart = WallAt(day, 0), dayEnd = dayStart + MSecsPerDay - 1;
        const std::int64_t ms = t - dayStart;
        if (day != today) task.startTimeFromUser = false; // a stored start time holds that day
        const DueDecision d = DecideDue(task, static_cast<std::int32_t>(ms), day);
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
        } else if (step >= 24 * HourMs || !task.laatstekeer || task.startTimeFromUser) {
            // It waits for its slot: nothing moves its slots before then.
            if (slot + 1 < MSecsPerDay) return dayStart + slot;
            next = dayEnd;
        }
        t = t == dayEnd ? dayEnd + 1 + FirstTickOfDay : std::min(std::max(next, t + 1), dayEnd);
    }
    return Never;
}

std::optional<WallMs> NextRun(const DueTask& task, WallMs now) {
    const WallMs next = NextRunMs(task, now);
    return next == Never ? std::nullopt : std::optional<WallMs>(next);
}

} // namespace kivo
