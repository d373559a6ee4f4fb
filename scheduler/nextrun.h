#pragma once
// When the minute tick would next start a task: the column "Volgende keer" of the overview.
#include <optional>

#include "scheduler/duerule.h"
#include "scheduler/missed.h"

namespace kivo {

// The start of the first window, from `now` on, in which a tick would start the task: a window
// still open at `now` counts. The due rule decides, asked as the ticks would ask it, with the
// hourly catch-up the ticks store on the way and a last run after today taken as today. None
// when the task can never be due (a start time in the day's last millisecond).
std::optional<WallMs> NextRun(const DueTask& task, WallMs now);
// The same, with `now` as the due rule takes it: milliseconds of the day `today` (day number).
std::optional<WallMs> NextRun(const DueTask& task, std::int32_t now, std::int32_t today);

} // namespace kivo
