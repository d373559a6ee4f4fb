#include "scheduler/taskstate.h"

#include <algorithm>

#include "algemeen/datetime.h"

namespace kivo {

bool SameSchedule(const DueTask& a, const DueTask& b) {
    return a.starttijd == b.starttijd && a.frekwentie == b.frekwentie && a.uren == b.uren &&
           a.laatstekeer == b.laatstekeer;
}

bool QuietTick(const DueTask& fields, const TaskState& state, const TickTime& time) {
    if (!state.judged || !state.seen || state.startTimeDay || time.sprangForward ||
        time.now < *state.judged || WindowsMayHavePassed(*state.judged, time.now) ||
        !SameSchedule(*state.seen, fields))
        return false;
    const std::int32_t today = static_cast<std::int32_t>(time.now / MSecsPerDay);
    if (fields.laatstekeer && *fields.laatstekeer > today) return false;
    const DueDecision d =
        DecideDue(fields, static_cast<std::int32_t>(time.now - WallMs(today) * MSecsPerDay), today);
    return !d.start && d.starttijd == fields.starttijd;
}

Judgement JudgeTask(const DueTask& fields, const TaskState& state, const TickTime& time) {
    Judgement j;
    j.next = state;
    const std::int32_t today = static_cast<std::int32_t>(time.now / MSecsPerDay);
    const std::int32_t now = static_cast<std::int32_t>(time.now - WallMs(today) * MSecsPerDay);
    DueTask task = fields;
    if (state.startTimeDay == today)
        task.startTimeFromUser = true;
    else
        j.next.startTimeDay.reset();

    // A clock that was ahead for a while left a last run in the future: it is taken as today,
    // so it holds the task back for its interval, not until that date.
    if (task.laatstekeer && *task.laatstekeer > today) {
        j.futureNote = !state.futureNoted;
        j.next.futureNoted = true;
        task.laatstekeer = today;
        j.laatstekeer = today;
    }

    // Windows that passed since the task was last judged, by the fields it was judged with.
    const bool changed = state.seen && !SameSchedule(*state.seen, fields);
    std::optional<WallMs> skipped;
    if (state.judged && !changed && WindowsMayHavePassed(*state.judged, time.now)) {
        if (auto slot = LatestMissedSlot(task, *state.judged, time.now)) {
            if (time.sprangForward) {
                skipped = slot; // summer time skipped its window: it starts now, once
            } else {
                j.next.missed = slot;
                if (!state.noted || *slot > *state.noted) {
                    j.missedNote = slot;
                    j.next.noted = slot;
                }
            }
        }
    }

    DueDecision decision = DecideDue(task, now, today);
    if (skipped && !decision.start) {
        decision.start = true;
        WallMs next = *skipped;
        const std::int64_t hours = task.frekwentie > 0 ? task.frekwentie : 1;
        while (next < time.now) next += hours * HourMs;
        decision.next = static_cast<std::int32_t>(next % MSecsPerDay);
    }
    // Not twice for ticks close together; a task changed since is the changer's to start.
    if (decision.start && !changed && state.startedAt && time.now >= *state.startedAt &&
        time.now - *state.startedAt < MinStartSpacingMs)
        decision.start = false;
    if (decision.start) {
        j.start = true;
        j.laatstekeer = today;
        if (task.uren) j.starttijd = decision.next;
        j.next.missed.reset();
        j.next.startTimeDay.reset();
        j.next.startedAt = time.now;
    } else if (decision.starttijd != task.starttijd) {
        j.starttijd = decision.starttijd;
    }

    // A clock set back keeps the later moment, so no slot is judged twice.
    j.next.judged = changed || !state.judged ? time.now : std::max(*state.judged, time.now);
    DueTask seen = task;
    seen.startTimeFromUser = false;
    if (j.starttijd) seen.starttijd = *j.starttijd;
    if (j.laatstekeer) seen.laatstekeer = *j.laatstekeer;
    j.next.seen = seen;
    return j;
}

} // namespace kivo
