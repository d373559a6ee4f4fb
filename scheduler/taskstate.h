#pragma once
// What the minute tick knows of one task beyond its fields, and the judgement of one task at one
// tick: a pure function of the task's fields, this state and the tick's time, so that every
// case can be put to it directly.
#include <cstdint>
#include <optional>

#include "scheduler/duerule.h"
#include "scheduler/missed.h"

namespace kivo {

struct TaskState {
    // Every window of the task that began before this moment was started or noted.
    std::optional<WallMs> judged;
    // The fields the task had when it was last judged: a change made elsewhere (the panel, the
    // import) makes its slots count from the change, not from before it.
    std::optional<DueTask> seen;
    // The latest slot noted as missed; a slot is noted once.
    std::optional<WallMs> noted;
    // A missed slot that no start has made up since.
    std::optional<WallMs> missed;
    // The day the user stored the task's Starttijd: not started before that time that day.
    std::optional<std::int32_t> startTimeDay;
    // When the tick last started it: two ticks close together (a resume and a clock change)
    // start it once.
    std::optional<WallMs> startedAt;
    bool futureNoted = false; // its Laatstekeer lay after today once, and that was noted
};

struct TickTime {
    WallMs now = 0;
    bool sprangForward = false; // summer time skipped the wall clock ahead since the last tick
    // Not a tick: the tray's run of what was missed asks whether to start the task now.
    bool makeUp = false;
};

// Two ticks closer than this start a task once in a window: well under the minute, as a timer
// may come a little early.
constexpr std::int64_t MinStartSpacingMs = 30'000;
// A missed run is not made up while the task's own window is open or opens within this: its own
// run is due anyway, and made up as well it would run twice within minutes.
constexpr std::int64_t OwnRunSoonMs = DueWindowMs;

struct Judgement {
    bool start = false;
    std::optional<std::int32_t> starttijd;   // to store: catch-up or next slot (hourly)
    std::optional<std::int32_t> laatstekeer; // to store
    std::optional<WallMs> missedNote;        // a slot to note as missed
    bool futureNote = false;                 // its Laatstekeer lies after today: to note
    TaskState next;                          // the state once what is above has been done
};

// At a tick: start the task, note a slot it missed, store its catch-up. Asked to make up
// (`makeUp`): a task with a missed run starts now, once, unless its own run is due soon (above);
// a daily task's run then counts for the day of the slot it makes up, so its own next window
// still runs, and an hourly task goes on at its first slot from now (with 24 hours or more, its
// interval counts from now). Windows that passed meanwhile are left to the next tick.
Judgement JudgeTask(const DueTask& fields, const TaskState& state, const TickTime& time);

// The tick's common case, asked before the judge: the task is as last judged, no window passed
// since, and it is not due. The judge would then only move `judged` on to the tick's time, which
// the tick does in place; nothing to start, note or store.
bool QuietTick(const DueTask& fields, const TaskState& state, const TickTime& time);

// The fields the due rule reads are the same.
bool SameSchedule(const DueTask& a, const DueTask& b);

// When the tick next starts the task (NextRun), by what it knows beyond the fields: the start
// time the user stored today, and a start a moment ago that the next tick of the same window
// leaves alone. A moment before `now` while a window is open that the next tick starts it in.
std::optional<WallMs> NextStart(const DueTask& fields, const TaskState& state, WallMs now);
// The same in plain numbers: NoNextRun when there is none.
WallMs NextStartMs(const DueTask& fields, const TaskState& state, WallMs now);

} // namespace kivo
