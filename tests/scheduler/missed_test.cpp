// The rules of missed runs on their own: the slot a gap passed over, the judgement of one task
// at one tick, what the clock did between two ticks, and the notes' texts.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "algemeen/datetime.h"
#include "platform/formatsettings.h"
#include "scheduler/missed.h"
#include "scheduler/missed_days.h"
#include "scheduler/taskruns.h"
#include "scheduler/taskstate.h"

namespace kivo {
namespace {

using test::Day0;
using test::Min;

WallMs At(int dayOffset, int hour, int minute, int second = 0) {
    return (static_cast<WallMs>(Day0) + dayOffset) * MSecsPerDay +
           ((hour * 60LL + minute) * 60 + second) * 1000;
}

DueTask Task(int hour, int minute, int frekwentie, bool uren, std::optional<int> lastDayOffset) {
    DueTask t;
    t.starttijd = static_cast<std::int32_t>((hour * 60 + minute) * Min);
    t.frekwentie = frekwentie;
    t.uren = uren;
    if (lastDayOffset) t.laatstekeer = Day0 + *lastDayOffset;
    return t;
}

// The latest slot whose window passed between two ticks that judged the task, as the due rule
// would have started it.
TEST(MissedSlots, LatestWindowThatPassedBetweenTwoTicks) {
    struct Case {
        const char* name;
        DueTask task;
        WallMs from, to;
        std::optional<WallMs> slot;
    };
    const Case cases[] = {
        {"daily, slept over its window", Task(8, 0, 1, false, -1), At(0, 7, 59), At(0, 9, 0),
         At(0, 8, 0)},
        {"daily, woke inside it: the tick starts it", Task(8, 0, 1, false, -1), At(0, 7, 50),
         At(0, 8, 14, 59), std::nullopt},
        {"daily, the last tick lay in the window", Task(8, 0, 1, false, -1), At(0, 8, 1),
         At(0, 12, 0), std::nullopt},
        {"daily, a tick exactly at the start did not start it", Task(8, 0, 1, false, -1),
         At(0, 8, 0), At(0, 8, 15), At(0, 8, 0)},
        {"daily, held back by its interval", Task(8, 0, 3, false, -1), At(0, 7, 0), At(0, 9, 0),
         std::nullopt},
        {"daily, never ran: due every day", Task(8, 0, 1, false, std::nullopt), At(0, 7, 0),
         At(0, 9, 0), At(0, 8, 0)},
        {"daily, days asleep: the latest day", Task(8, 0, 2, false, -5), At(-3, 12, 0), At(0, 7, 0),
         At(-1, 8, 0)},
        {"daily, asleep since before its run was due", Task(8, 0, 7, false, -2), At(-2, 9, 0),
         At(0, 23, 0), std::nullopt},
        {"hourly every 2 h", Task(8, 0, 2, true, 0), At(0, 8, 30), At(0, 13, 5), At(0, 12, 0)},
        {"hourly, woke inside a window", Task(8, 0, 2, true, 0), At(0, 8, 30), At(0, 12, 5),
         At(0, 10, 0)},
        {"hourly every 24 h, two days asleep", Task(6, 10, 24, true, -3), At(-2, 7, 0),
         At(0, 12, 0), At(0, 6, 10)},
        {"a gap shorter than a window", Task(8, 0, 1, false, -1), At(0, 7, 59), At(0, 8, 13),
         std::nullopt},
        {"a window that midnight cut short", Task(23, 58, 1, false, -1), At(0, 23, 57, 30),
         At(1, 0, 0, 40), At(0, 23, 58)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto slot = LatestMissedSlot(c.task, c.from, c.to);
        EXPECT_EQ(slot.has_value(), c.slot.has_value());
        if (slot && c.slot) {
            EXPECT_EQ(*slot, *c.slot) << WallText(*slot, FormatSettings{});
        }
    }
}

TaskState Judged(WallMs at, const DueTask& seen) {
    TaskState s;
    s.judged = at;
    s.seen = seen;
    return s;
}

// One task at one tick: start it, note a slot it missed, or nothing.
TEST(JudgeTask, StartNoteOrNothing) {
    const DueTask daily = Task(9, 3, 1, false, -1);
    const DueTask evening = Task(20, 0, 1, false, -1);
    const DueTask everyTick = Task(8, 0, 0, false, -1);
    TaskState noted = Judged(At(0, 7, 59), daily);
    noted.noted = At(0, 9, 3);
    TaskState startedJustNow = Judged(At(0, 8, 5), everyTick);
    startedJustNow.startedAt = At(0, 8, 5);
    // Missed yesterday (or today, once its window is over), for the tray's run of the missed.
    TaskState missed = Judged(At(0, 8, 50), daily);
    missed.missed = At(-1, 9, 3);
    TaskState missedToday = missed;
    missedToday.missed = At(0, 9, 3);
    const DueTask late = Task(23, 59, 1, false, -1), everyThree = Task(1, 0, 3, true, -1);
    TaskState madeUpJustBefore = Judged(At(0, 23, 58, 45), late);
    madeUpJustBefore.startedAt = At(0, 23, 58, 45);
    TaskState missedAtNight = Judged(At(0, 0, 29), everyThree);
    missedAtNight.missed = At(-1, 19, 0);
    struct Case {
        const char* name;
        DueTask task;
        TaskState state;
        WallMs now;
        bool sprang;
        bool start;
        std::optional<WallMs> note;
        bool makeUp = false;
        std::optional<std::int32_t> laatstekeer = std::nullopt; // stored by a start
    };
    const Case cases[] = {
        {"in its window", daily, Judged(At(0, 9, 2), daily), At(0, 9, 3, 30), false, true, {}},
        {"asleep over its window", daily, Judged(At(0, 9, 0), daily), At(0, 10, 0), false, false,
         At(0, 9, 3)},
        // The panel had the task from 09:00 to 09:31; the tick left it alone meanwhile.
        {"panel closed unchanged (OK or Annuleren)", daily, Judged(At(0, 9, 0), daily),
         At(0, 9, 31), false, false, At(0, 9, 3)},
        {"panel closed with a new start time",
         Task(9, 10, 1, false, -1),
         Judged(At(0, 9, 0), daily),
         At(0, 9, 31),
         false,
         false,
         {}},
        {"noted already (at a start-up whose log was locked)",
         daily,
         noted,
         At(0, 9, 40),
         false,
         false,
         {}},
        {"a made-up run dated to its slot, then its own window",
         evening,
         Judged(At(0, 19, 59), evening),
         At(0, 20, 0, 30),
         false,
         true,
         {}},
        {"a second resume message a second later",
         everyTick,
         startedJustNow,
         At(0, 8, 5, 1),
         false,
         false,
         {}},
        {"the next tick of its window", everyTick, startedJustNow, At(0, 8, 6, 1), false, true, {}},
        {"summer time skipped its window",
         Task(2, 30, 1, false, -1),
         Judged(At(0, 1, 59, 30), Task(2, 30, 1, false, -1)),
         At(0, 3, 0, 30),
         true,
         true,
         {}},
        {"clock set back over its window",
         daily,
         Judged(At(0, 9, 30), daily),
         At(0, 9, 10),
         false,
         true,
         {}},
        {"never judged: nothing to miss", daily, TaskState{}, At(0, 12, 0), false, false, {}},
        // The tray's run of the missed leaves a task whose own window is open or near to it.
        {"made up inside its window", daily, missed, At(0, 9, 4), false, false, {}, true},
        {"made up 10 minutes before it", daily, missed, At(0, 8, 53), false, false, {}, true},
        {"made up after it", daily, missedToday, At(0, 9, 20), false, true, std::nullopt, true,
         Day0},
        {"made up at 00:30, every 3 hours: for 22:00", everyThree, missedAtNight, At(0, 0, 30),
         false, true, std::nullopt, true, Day0 - 1},
        {"a tick 25 s after a start just before the window", late, madeUpJustBefore,
         At(0, 23, 59, 10), false, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Judgement j = JudgeTask(c.task, c.state, TickTime{c.now, c.sprang, c.makeUp});
        // The tick's quiet path may only be taken where the judge has nothing to do.
        if (QuietTick(c.task, c.state, TickTime{c.now, c.sprang, c.makeUp})) {
            EXPECT_FALSE(j.start || j.missedNote || j.futureNote || j.starttijd || j.laatstekeer);
            EXPECT_EQ(j.next.seen && SameSchedule(*j.next.seen, *c.state.seen), true);
        }
        EXPECT_EQ(j.start, c.start);
        EXPECT_EQ(j.missedNote, c.note);
        if (c.laatstekeer) {
            EXPECT_EQ(j.laatstekeer, c.laatstekeer);
        }
        // A made-up run leaves the windows that passed to the next tick.
        EXPECT_GE(j.next.judged.value_or(0), c.makeUp ? *c.state.judged : c.now);
        if (c.start || c.note) {
            EXPECT_EQ(j.next.missed, c.start ? std::nullopt : c.note);
        }
    }
}

ClockReading Reading(WallMs wall, int offset, std::int64_t mono) {
    ClockReading r;
    const std::int32_t day = static_cast<std::int32_t>(wall / MSecsPerDay);
    const std::int64_t ms = wall % MSecsPerDay;
    r.local.date = CivilFromDayNumber(day);
    r.local.time = {static_cast<int>(ms / 3'600'000), static_cast<int>(ms / Min % 60),
                    static_cast<int>(ms / 1000 % 60), 0};
    r.utcOffsetMinutes = offset;
    r.monotonicMs = mono;
    return r;
}

// A sleep, summer time and a user's correction, told apart by the offset and the monotonic
// count.
TEST(MissedSlots, WhatTheClockDidBetweenTwoTicks) {
    struct Case {
        const char* name;
        WallMs wallAfter;
        int offsetAfter;
        std::int64_t elapsed;
        bool correction, sprang;
    };
    const WallMs before = At(0, 1, 59, 30);
    const Case cases[] = {
        {"a minute", before + Min, 60, Min, false, false},
        {"a night asleep", before + 8 * 60 * Min, 60, 8 * 60 * Min, false, false},
        {"spring: an hour more on the wall", before + 61 * Min, 120, Min, false, true},
        {"spring, asleep through it", before + 5 * 60 * Min, 120, 4 * 60 * Min, false, false},
        {"autumn: an hour back on the wall", before - 59 * Min, 0, Min, false, false},
        {"set five hours ahead", before + 301 * Min, 60, Min, true, false},
        {"set three hours ahead: a correction of no note", before + 181 * Min, 60, Min, false,
         false},
        {"set ten minutes back", before - 9 * Min, 60, Min, true, false},
        {"set four minutes back", before - 3 * Min, 60, Min, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ClockStep step =
            CompareReadings(Reading(before, 60, 1'000'000),
                            Reading(c.wallAfter, c.offsetAfter, 1'000'000 + c.elapsed));
        EXPECT_EQ(step.Correction(), c.correction) << step.correctionMs;
        EXPECT_EQ(step.SprangForward(), c.sprang);
    }
}

TEST(MissedSlots, NotesAndTheirTextsInTheLog) {
    const FormatSettings settings;
    EXPECT_EQ(MissedNote("Back-up", At(0, 8, 0), settings),
              "Taak \"Back-up\" gemist (gepland 07-03-24 08:00)");
    EXPECT_EQ(ClockMovedNote(At(0, 9, 1), At(0, 14, 1), settings),
              "Klok verzet van 07-03-24 09:01 naar 07-03-24 14:01");
    EXPECT_EQ(FutureLastRunNote("Week", Day0 + 3, settings),
              "Taak \"Week\": laatste keer 10-03-24 ligt na vandaag; geteld als vandaag");

    struct Line {
        std::string text;
        std::optional<std::pair<std::string, std::string>> note;
    };
    const Line lines[] = {
        {"[07-03-24] [09:30] Taak \"Back-up\" gemist (gepland 07-03-24 08:00)",
         std::pair<std::string, std::string>{"Back-up", "07-03-24 08:00"}},
        {"[07-03-24] [09:30] Taak \"Een \"rare\" gemist (gepland x\" gemist (gepland 06-03-24 "
         "23:00)",
         std::pair<std::string, std::string>{"Een \"rare\" gemist (gepland x", "06-03-24 23:00"}},
        {"[07-03-24] [09:30] Taak \"Back-up\" (automatisch)                   prog.exe",
         std::nullopt},
        {"Taak \"los\" gemist (gepland", std::nullopt},
        {"", std::nullopt},
    };
    for (const Line& l : lines) {
        SCOPED_TRACE(l.text);
        EXPECT_EQ(ParseMissedNote(l.text), l.note);
    }
}

} // namespace
} // namespace kivo
