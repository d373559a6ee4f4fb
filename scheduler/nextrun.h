#pragma once
// When the minute tick would next start a task, from its fields: what the overview's "Volgende
// keer" and the tray's run of missed tasks ask through the task's state (NextStart).
#include <limits>
#include <optional>

#include "scheduler/duerule.h"
#include "scheduler/missed.h"
#include "scheduler/wallclock.h"

namespace kivo {

// The start of the first window, from `now` on, in which a tick would start the task: a window
// still open at `now` counts. The due rule decides, asked as the ticks would ask it, with the
// hourly catch-up the ticks store on the way and a last run after today taken as today; a
// start time the user stored (`startTimeFromUser`) holds for the day of `now` only. None when
// the task can never be due (a start time in the day's last millisecond).
std::optional<WallMs> NextRun(const DueTask& task, WallMs now);

// The same in plain numbers, for asking it of every task at once (optionals handed back and
// forth cost more than the answer): NoNextRun when there is none.
constexpr WallMs NoNextRun = std::numeric_limits<WallMs>::max();
WallMs NextRunMs(const DueTask& task, WallMs now);

} // namespace kivo
