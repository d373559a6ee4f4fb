#pragma once
// The due rule of the minute tick, on plain numbers: whole milliseconds of the day and day
// numbers, so that the window edges are exact to the millisecond.
#include <cstdint>
#include <optional>

#include "scheduler/wallclock.h"
#include "store/taskrecord.h"

namespace kivo {
// Open at both ends: a task is due when its slot lies before now and less than this before it.
constexpr std::int64_t DueWindowMs = 15 * 60'000;

// The fields of a task that the rule reads. Null values read as 0 (Starttijd 00:00, Frekwentie
// 0, Uren false); a null Laatstekeer never holds a task back.
struct DueTask {
    std::int32_t starttijd = 0; // milliseconds since midnight
    std::int32_t frekwentie = 0;
    bool uren = false;
    std::optional<std::int32_t> laatstekeer; // day number
    // The user stored this Starttijd today: the task is not started before it today.
    bool startTimeFromUser = false;

    static DueTask From(const TaskRecord& record);
};

struct DueDecision {
    std::int32_t starttijd = 0; // after the hourly catch-up; the task's own value otherwise
    bool start = false;
    std::int32_t next = 0; // Starttijd after the start: the next slot in hourly mode
    bool laterDay = false; // hourly: held back for the rest of today, its next slot is later
};

// The decision for one task at the tick's now (milliseconds since midnight) and today (day
// number).
//
// Daily mode (Uren false): due when now lies in the 15 minutes after Starttijd, unless
// Laatstekeer + Frekwentie - 1 is today or later. With Frekwentie 0 or less that never holds
// back, so every tick of the window starts such a task.
//
// Hourly mode (Uren true): the slots are Starttijd + k x Frekwentie hours. Starttijd is first
// moved to the latest slot before now; the task is due when that slot lies less than 15 minutes
// back, and a start moves Starttijd to the next slot. Beyond the plain stepping:
// - Frekwentie 0 or less steps as 1 hour: without a step the catch-up would never end.
// - The next slot after a start may lie on a later day: the time of day Starttijd keeps wraps
//   past midnight. Laatstekeer tells that day: with F hours the next slot after a start on day L
//   falls on day L + F div 24, one day later still when Starttijd lies below F mod 24 hours.
//   Until that day the task waits, so a wrapped slot such as 00:00 is not taken for a slot of
//   the evening that just started it.
// - Frekwentie 24 or more: no slot in between; the task runs at its Starttijd on the day the
//   rule above gives (24: every day, 48: every other day, 30: six hours later each time), or at
//   the first window of Starttijd after it when that day was missed.
// - A Starttijd later in the day than now that belongs to an earlier day (the program was not
//   running at the task's last slots of that day) is not left waiting for that time of day
//   today: its slots go on through the night, so the task runs again at its next slot.
//   A task that never ran (no Laatstekeer) keeps waiting for the Starttijd it was given, and so
//   does one whose Starttijd the user stored today.
DueDecision DecideDue(const DueTask& task, std::int32_t now, std::int32_t today);

} // namespace kivo
