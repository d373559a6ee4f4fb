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
};

// Two ticks closer than this start a task once: well under the minute, as a timer may come a
// little early.
constexpr std::int64_t MinStartSpacingMs = 30'000;

struct Judgement {
    bool start = false;
    std::optional<std::int32_t> starttijd;   // to store: catch-up or next slot (hourly)
    std::optional<std::int32_t> laatstekeer; // to store
    std::optional<WallMs> missedNote;        // a slot to note as missed
    bool futureNote = false;                 // its Laatstekeer lies after today: to note
    TaskState next;                          // the state once what is above has been done
};

Judgement JudgeTask(const DueTask& fields, const TaskState& state, const TickTime& time);

// The tick's common case, asked before the judge: the task is as last judged, no window passed
// since, and it is not due. The judge would then only move `judged` on to the tick's time, which
// the tick does in place; nothing to start, note or store.
bool QuietTick(const DueTask& fields, const TaskState& state, const TickTime& time);

// The fields the due rule reads are the same.
bool SameSchedule(const DueTask& a, const DueTask& b);

} // namespace kivo
