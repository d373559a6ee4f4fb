#include "scheduler/taskstate.h"

#include <algorithm>
#include <limits>

#include "scheduler/nextrun.h"

namespace kivo {

namespace {

// With the start time the user stored that day (only the hourly catch-up reads it): copied only
// then.
WallMs NextRunOf(const DueTask& fields, const TaskState& state, WallMs t) {
    if (!fields.uren) return NextRunMs(fields, t);
    const bool stored = state.startTimeDay == DayOfWall(t);
    if (stored == fields.startTimeFromUser) return NextRunMs(fields, t);
    DueTask task = fields;
    task.startTimeFromUser = stored;
    return NextRunMs(task, t);
}

// The fields as they are once the judgement's stores are done.
DueTask Stored(DueTask task, const Judgement& j) {
    task.startTimeFromUser = false;
    if (j.starttijd) task.starttijd = *j.starttijd;
    if (j.laatstekeer) task.laatstekeer = *j.laatstekeer;
    return task;
}

void RecordStart(Judgement& j, const DueTask& task, WallMs now) {
    j.start = true;
    j.next.missed.reset();
    j.next.startTimeDay.reset();
    j.next.startedAt = now;
    j.next.seen = Stored(task, j);
}

Judgement MakeUp(const DueTask& fields, const TaskState& state, WallMs now) {
    Judgement j;
    j.next = state;
    if (!state.missed) return j;
    if (auto own = NextStart(fields, state, now); own && *own < now + OwnRunSoonMs) return j;
    const std::int32_t today = DayOfWall(now);
    DueTask task = fields;
    if (task.laatstekeer) task.laatstekeer = std::min(*task.laatstekeer, today);
    if (task.uren) {
        task.startTimeFromUser = state.startTimeDay == today;
        const std::int64_t step = HourlyStep(task.frekwentie);
        const WallMs next =
            SlotFrom(WallAt(today, DecideDue(task, MsOfDay(now), today).starttijd), step, now);
        j.starttijd = MsOfDay(next);
        // It counts for the slot before that one, so the day its next slot falls on follows.
        j.laatstekeer = step < 24 * HourMs ? DayOfWall(next - step) : today;
    } else {
        j.laatstekeer =
            std::min(std::max(DayOfWall(*state.missed),
                              task.laatstekeer.value_or(std::numeric_limits<std::int32_t>::min())),
                     today);
    }
    RecordStart(j, task, now);
    return j;
}

} // namespace

bool SameSchedule(const DueTask& a, const DueTask& b) {
    return a.starttijd == b.starttijd && a.frekwentie == b.frekwentie && a.uren == b.uren &&
           a.laatstekeer == b.laatstekeer;
}

bool QuietTick(const DueTask& fields, const TaskState& state, const TickTime& time) {
    if (!state.judged || !state.seen || state.startTimeDay || time.sprangForward || time.makeUp ||
        time.now < *state.judged || WindowsMayHavePassed(*state.judged, time.now) ||
        !SameSchedule(*state.seen, fields))
        return false;
    const std::int32_t today = DayOfWall(time.now);
    if (fields.laatstekeer && *fields.laatstekeer > today) return false;
    const DueDecision d = DecideDue(fields, MsOfDay(time.now), today);
    return !d.start && d.starttijd == fields.starttijd;
}

Judgement JudgeTask(const DueTask& fields, const TaskState& state, const TickTime& time) {
    if (time.makeUp) return MakeUp(fields, state, time.now);
    Judgement j;
    j.next = state;
    const std::int32_t today = DayOfWall(time.now);
    const std::int32_t now = MsOfDay(time.now);
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
        decision.next = MsOfDay(SlotFrom(*skipped, HourlyStep(task.frekwentie), time.now));
    }
    // Not twice in one window for ticks close together (a start before the window is no start
    // of it); a task changed since is the changer's to start.
    if (decision.start && !changed && state.startedAt &&
        *state.startedAt >= WallAt(today, decision.starttijd) && time.now >= *state.startedAt &&
        time.now - *state.startedAt < MinStartSpacingMs)
        decision.start = false;
    // A clock set back keeps the later moment, so no slot is judged twice.
    j.next.judged = changed || !state.judged ? time.now : std::max(*state.judged, time.now);
    if (decision.start) {
        j.laatstekeer = today;
        if (task.uren) j.starttijd = decision.next;
        RecordStart(j, task, time.now);
        return j;
    }
    if (decision.starttijd != task.starttijd) j.starttijd = decision.starttijd;
    j.next.seen = Stored(task, j);
    return j;
}

WallMs NextStartMs(const DueTask& fields, const TaskState& state, WallMs now) {
    const WallMs next = NextRunOf(fields, state, now);
    // A start a moment ago in the window that is open: the tick leaves the task alone until the
    // spacing has passed, and starts it then if the window is still open.
    if (next > now || !state.startedAt || *state.startedAt < next || now < *state.startedAt ||
        now - *state.startedAt >= MinStartSpacingMs ||
        (state.seen && !SameSchedule(*state.seen, fields)))
        return next;
    return NextRunOf(fields, state, *state.startedAt + MinStartSpacingMs);
}

std::optional<WallMs> NextStart(const DueTask& fields, const TaskState& state, WallMs now) {
    const WallMs next = NextStartMs(fields, state, now);
    return next == NoNextRun ? std::nullopt : std::optional<WallMs>(next);
}

} // namespace kivo
