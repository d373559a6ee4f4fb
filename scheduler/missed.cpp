#include "scheduler/missed.h"

#include <algorithm>

#include "algemeen/datetime.h"
#include "algemeen/text.h"

namespace kivo {

namespace {

constexpr std::int64_t ThreeHours = 3 * HourMs;
constexpr std::int64_t FiveMinutes = 5 * 60'000;
// Probes closer together than a window, so that every window holds one.
constexpr std::int64_t ProbeStep = DueWindowMs - 60'000;

} // namespace

// The window does not reach past midnight: the due rule compares times of day.
WallMs WindowEnd(WallMs slot) {
    return std::min(slot + DueWindowMs, WallAt(DayOfWall(slot) + 1, 0));
}

bool WindowsMayHavePassed(WallMs from, WallMs to) {
    return to - from >= DueWindowMs || DayOfWall(from) != DayOfWall(to);
}

std::optional<WallMs> LatestMissedSlot(const DueTask& task, WallMs from, WallMs to) {
    if (to <= from) return std::nullopt;
    // A task that is due stays due, or comes round again, within a day (or its interval, in
    // hourly mode): the latest missed slot lies no further back than that.
    const std::int64_t reach =
        (task.uren ? std::max(HourlyStep(task.frekwentie), 24 * HourMs) : 0) + 26 * HourMs;
    const WallMs begin = std::max(from, to - reach);
    std::optional<WallMs> latest;
    auto probe = [&](WallMs t) {
        const std::int32_t day = DayOfWall(t);
        const DueDecision d = DecideDue(task, MsOfDay(t), day);
        if (!d.start) return;
        const WallMs slot = WallAt(day, d.starttijd);
        if (slot >= from && WindowEnd(slot) <= to && (!latest || slot > *latest)) latest = slot;
    };
    // Every window holds a probe: they are less than a window apart, and one ends each day for
    // the windows that midnight cuts short.
    for (WallMs t = begin + 1; t < to; t += ProbeStep) probe(t);
    for (WallMs end = WallAt(DayOfWall(begin) + 1, 0); end <= to; end += MSecsPerDay)
        if (end - 1 > begin) probe(end - 1);
    return latest;
}

bool ClockStep::Correction() const {
    return correctionMs > ThreeHours || correctionMs < -FiveMinutes;
}

bool ClockStep::SprangForward() const {
    return offsetChangeMinutes > 0 && !Correction() && elapsedMs < DueWindowMs;
}

ClockStep CompareReadings(const ClockReading& before, const ClockReading& after) {
    ClockStep step;
    step.elapsedMs = after.monotonicMs - before.monotonicMs;
    const std::int64_t utcBefore = WallOf(before.local) - before.utcOffsetMinutes * 60'000LL;
    const std::int64_t utcAfter = WallOf(after.local) - after.utcOffsetMinutes * 60'000LL;
    step.correctionMs = (utcAfter - utcBefore) - step.elapsedMs;
    step.offsetChangeMinutes = after.utcOffsetMinutes - before.utcOffsetMinutes;
    return step;
}

std::string WallText(WallMs moment, const FormatSettings& settings) {
    const double ms = MsOfDay(moment);
    std::string text = FormatDate(static_cast<double>(DayOfWall(moment)), settings);
    text += ' ';
    text += FormatTime(ms / MSecsPerDay, settings);
    return text;
}

std::string MissedNote(const std::string& omschrijving, WallMs slot,
                       const FormatSettings& settings) {
    std::string note = "Taak \"";
    note += omschrijving;
    note += "\" gemist (gepland ";
    note += WallText(slot, settings);
    note += ')';
    return note;
}

std::optional<std::pair<std::string, std::string>> ParseMissedNote(std::string_view line) {
    // The note follows the line's "[date] [time] " prefix; the description may hold anything,
    // quotes included, so the fixed tail is found from the end.
    constexpr std::string_view Head = "] Taak \"";
    constexpr std::string_view Middle = "\" gemist (gepland ";
    const auto head = line.find(Head);
    const auto middle = line.rfind(Middle);
    if (head == std::string_view::npos || middle == std::string_view::npos || middle < head ||
        line.empty() || line.back() != ')')
        return std::nullopt;
    const auto start = head + Head.size();
    const auto slot = middle + Middle.size();
    return std::pair{std::string(line.substr(start, middle - start)),
                     std::string(line.substr(slot, line.size() - 1 - slot))};
}

std::string ClockMovedNote(WallMs from, WallMs to, const FormatSettings& settings) {
    std::string note = "Klok verzet van ";
    note += WallText(from, settings);
    note += " naar ";
    note += WallText(to, settings);
    return note;
}

std::string FutureLastRunNote(const std::string& omschrijving, std::int32_t day,
                              const FormatSettings& settings) {
    std::string note = "Taak \"";
    note += omschrijving;
    note += "\": laatste keer ";
    note += FormatDate(static_cast<double>(day), settings);
    note += " ligt na vandaag; geteld als vandaag";
    return note;
}

} // namespace kivo
