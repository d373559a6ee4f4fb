#pragma once
// Slots whose window passed without a tick, and what the wall clock did between two readings:
// the parts of the minute tick that keep a run from being missed without a word.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/clock.h"
#include "platform/formatsettings.h"
#include "scheduler/duerule.h"
#include "scheduler/wallclock.h"

namespace kivo {

// The end of a slot's window: 15 minutes on, or midnight, whichever comes first.
WallMs WindowEnd(WallMs slot);
// Whether a whole window can lie between two moments: cheap, to spare the search below.
bool WindowsMayHavePassed(WallMs from, WallMs to);

// The latest slot of the task whose window began at or after `from` (the last tick that judged
// the task, which lay in no window of these) and is over by `to`: a tick inside that window
// would have started the task, and none came. The due rule decides, asked at moments less than
// a window apart, as ticks would have asked it; the task's fields are those of `from`.
std::optional<WallMs> LatestMissedSlot(const DueTask& task, WallMs from, WallMs to);

// What the clocks did between two readings.
struct ClockStep {
    std::int64_t elapsedMs = 0;    // real time, by the monotonic count
    std::int64_t correctionMs = 0; // how much further (or less far) UTC moved than that
    int offsetChangeMinutes = 0;   // summer time, or another time zone
    // A user's (or a bad battery's) correction: more than three hours forward or more than five
    // minutes back. Summer time moves the offset, not UTC, so it never counts.
    bool Correction() const;
    // The wall clock sprang forward by summer time (or a zone change) within a normal tick gap:
    // the slots of the skipped stretch are started now rather than missed.
    bool SprangForward() const;
};
ClockStep CompareReadings(const ClockReading& before, const ClockReading& after);

// "<dd-mm-yy> <hh:nn>" in the system's formats.
std::string WallText(WallMs moment, const FormatSettings& settings);
// Taak "<Omschrijving>" gemist (gepland <dd-mm-yy> <hh:nn>)
std::string MissedNote(const std::string& omschrijving, WallMs slot,
                       const FormatSettings& settings);
// The description and the slot's text of a log line that holds such a note.
std::optional<std::pair<std::string, std::string>> ParseMissedNote(std::string_view line);
// Klok verzet van <dd-mm-yy> <hh:nn> naar <dd-mm-yy> <hh:nn>
std::string ClockMovedNote(WallMs from, WallMs to, const FormatSettings& settings);
// Taak "<Omschrijving>": laatste keer <dd-mm-yy> ligt na vandaag; geteld als vandaag
std::string FutureLastRunNote(const std::string& omschrijving, std::int32_t day,
                              const FormatSettings& settings);

} // namespace kivo
