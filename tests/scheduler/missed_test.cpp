#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logbook/logbook.h"

#include "algemeen/datetime.h"
#include "platform/formatsettings.h"
#include "scheduler/missed.h"
#include "scheduler/scheduler_fakes.h"
#include "scheduler/startup.h"
#include "scheduler/taskruns.h"
#include "scheduler/taskstate.h"
#include "support/log_text.h"

namespace kivo {
namespace {

using test::MemFiles;
using test::World;

constexpr std::int32_t Day0 = 45358; // 07-03-24
constexpr std::int64_t Min = 60'000;

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
    struct Case {
        const char* name;
        DueTask task;
        TaskState state;
        WallMs now;
        bool sprang;
        bool start;
        std::optional<WallMs> note;
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Judgement j = JudgeTask(c.task, c.state, TickTime{c.now, c.sprang});
        EXPECT_EQ(j.start, c.start);
        EXPECT_EQ(j.missedNote, c.note);
        EXPECT_GE(j.next.judged.value_or(0), c.now);
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

// The notes of kind 0 in the log, without their prefix, but for the saves' and the starts'.
std::vector<std::string> Notes(const std::string& log) {
    std::vector<std::string> notes;
    for (const std::string& text : test::LogBodies(log))
        if (text.rfind("Instelling opslaan", 0) != 0 &&
            text.find("(automatisch)") == std::string::npos)
            notes.push_back(text);
    return notes;
}

// Sleeps, summer time and corrections of the clock against the tick: what is noted and what
// starts. A step is a tick, time that passes (asleep), a jump of the wall clock alone, or a new
// UTC offset; `ticks` repeats a tick every minute.
TEST(MissedRuns, SleepSummerTimeAndCorrectionsAreNotedOrStartedOnce) {
    enum Kind { Tick, Sleep, Jump, Offset, Minutes };
    struct Step {
        Kind kind;
        long long value = 0;
    };
    struct Case {
        const char* name;
        test::TaskSpec task;
        int year, month, day, hour, minute, second;
        int offset; // minutes ahead of UTC at the start
        std::vector<Step> steps;
        std::vector<std::string> notes;
        int starts;
    };
    const long long H = 60 * Min;
    const std::int32_t yesterday = Day0 - 1;
    const Case cases[] = {
        {"asleep over a daily window",
         {.omschrijving = "D", .starttijd = "08:00", .laatstekeer = yesterday},
         2024,
         3,
         7,
         7,
         59,
         0,
         60,
         {{Tick}, {Sleep, 2 * H}, {Tick}, {Minutes, 3}},
         {"Taak \"D\" gemist (gepland 07-03-24 08:00)"},
         0},
        {"woke in the window",
         {.omschrijving = "D", .starttijd = "08:00", .laatstekeer = yesterday},
         2024,
         3,
         7,
         7,
         50,
         0,
         60,
         {{Tick}, {Sleep, 15 * Min}, {Tick}},
         {},
         1},
        {"clock set five hours ahead",
         {.omschrijving = "D", .starttijd = "11:00", .laatstekeer = yesterday},
         2024,
         3,
         7,
         9,
         0,
         30,
         60,
         {{Tick}, {Jump, 5 * H}, {Tick}},
         {"Klok verzet van 07-03-24 09:00 naar 07-03-24 14:00",
          "Taak \"D\" gemist (gepland 07-03-24 11:00)"},
         0},
        {"clock set ten minutes back after the start",
         {.omschrijving = "D", .starttijd = "08:00", .laatstekeer = yesterday},
         2024,
         3,
         7,
         8,
         5,
         0,
         60,
         {{Tick}, {Jump, -10 * Min}, {Tick}, {Minutes, 15}},
         {"Klok verzet van 07-03-24 08:05 naar 07-03-24 07:55"},
         1},
        {"spring: the skipped hour's task starts once after 03:00",
         {.omschrijving = "D", .starttijd = "02:30", .laatstekeer = DayNumber({2024, 3, 30})},
         2024,
         3,
         31,
         1,
         59,
         30,
         60,
         {{Tick}, {Sleep, Min}, {Offset, 120}, {Tick}, {Minutes, 30}},
         {},
         1},
        {"autumn: the repeated hour starts nothing twice, the hourly goes on at 03:30",
         {.omschrijving = "H",
          .starttijd = "02:30",
          .uren = true,
          .laatstekeer = DayNumber({2024, 10, 27}),
          .dagen = false},
         2024,
         10,
         27,
         2,
         29,
         30,
         120,
         {{Tick}, {Minutes, 30}, {Sleep, Min}, {Offset, 60}, {Minutes, 95}},
         {},
         2},
        {"a last run after today counts as today",
         {.omschrijving = "W", .starttijd = "08:00", .laatstekeer = Day0 + 5},
         2024,
         3,
         7,
         8,
         0,
         30,
         60,
         {{Tick}, {Minutes, 2}, {Sleep, 24 * H - Min}, {Tick}},
         {"Taak \"W\": laatste keer 12-03-24 ligt na vandaag; geteld als vandaag"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemFiles files;
        World w(files, "C:\\App\\");
        w.clock.SetUtcOffset(c.offset);
        w.clock.Set(c.year, c.month, c.day, c.hour, c.minute, c.second);
        w.Add(c.task);
        w.taskFile.SaveTasks();
        w.scheduler.NoteMissedAtStartUp();
        for (const Step& step : c.steps) {
            switch (step.kind) {
            case Tick:
                w.scheduler.Timer1Timer();
                break;
            case Sleep:
                w.clock.Advance(step.value);
                break;
            case Jump:
                w.clock.Jump(step.value);
                break;
            case Offset:
                w.clock.SetUtcOffset(static_cast<int>(step.value));
                break;
            case Minutes:
                for (long long i = 0; i < step.value; ++i) {
                    w.clock.Advance(Min);
                    w.scheduler.Timer1Timer();
                }
                break;
            }
        }
        EXPECT_EQ(Notes(w.Log()), c.notes);
        EXPECT_EQ(static_cast<int>(w.shell.calls.size()), c.starts);
    }
}

// At start-up, from the task's own fields, after the start line; and not again after a restart
// that finds the note in the log.
TEST(MissedRuns, StartUpNotesWhatWasMissedWhileTheProgramWasOffOnce) {
    MemFiles files;
    auto start = [&](int hour, int minute) {
        auto w = std::make_unique<World>(files, "C:\\App\\");
        w->At(hour, minute);
        w->taskFile.LoadTasks();
        w->table.CloseTable();
        w->startUp.Run();
        return w;
    };
    {
        World w(files, "C:\\App\\");
        w.Add({.omschrijving = "Acht uur", .starttijd = "08:00", .laatstekeer = Day0 - 2});
        w.Add({.omschrijving = "Om de twee uur",
               .starttijd = "06:00",
               .frekwentie = 2,
               .uren = true,
               .laatstekeer = Day0,
               .dagen = false});
        w.Add({.omschrijving = "Nooit", .starttijd = "07:00"});
        w.Add({.omschrijving = "Straks", .starttijd = "09:25", .laatstekeer = Day0 - 1});
        w.taskFile.SaveTasks();
    }
    auto w = start(9, 30);
    const std::vector<std::string> missed = {
        "Taak \"Acht uur\" gemist (gepland 07-03-24 08:00)",
        "Taak \"Om de twee uur\" gemist (gepland 07-03-24 08:00)"};
    std::vector<std::string> notes = Notes(w->Log());
    ASSERT_GE(notes.size(), 3u);
    EXPECT_EQ(notes.back(), missed[1]) << "after the start line";
    EXPECT_EQ(std::vector<std::string>(notes.end() - 3, notes.end() - 2),
              std::vector<std::string>{"KIVO Schakelklok gestart"});
    EXPECT_EQ(std::count(notes.begin(), notes.end(), missed[0]), 1);

    // "Straks" had its window open at start-up; the first tick came too late for it.
    w->At(9, 41);
    w->scheduler.Timer1Timer();
    notes = Notes(w->Log());
    EXPECT_EQ(notes.back(), "Taak \"Straks\" gemist (gepland 07-03-24 09:25)");

    w = start(9, 45);
    const std::vector<std::string> again = Notes(w->Log());
    for (const std::string& note : missed)
        EXPECT_EQ(std::count(again.begin(), again.end(), note), 1);
    EXPECT_EQ(
        std::count(again.begin(), again.end(), "Taak \"Straks\" gemist (gepland 07-03-24 09:25)"),
        1);
}

// The task open in the panel is not started; its window passing meanwhile is not passed over
// in silence, whether the panel is left with "Annuleren" or with OK and nothing changed. A new
// start time counts from its change.
TEST(MissedRuns, AWindowThatPassedWhileThePanelHadTheTaskIsNoted) {
    struct Case {
        const char* name;
        const char* storedStart; // null: Annuleren
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {"Annuleren", nullptr, {"Taak \"Open\" gemist (gepland 07-03-24 09:10)"}},
        {"OK unchanged", "09:10", {"Taak \"Open\" gemist (gepland 07-03-24 09:10)"}},
        {"OK with a new start time that passed", "09:05", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemFiles files;
        World w(files, "C:\\App\\");
        w.Add({.omschrijving = "Open", .starttijd = "09:10", .laatstekeer = Day0 - 1});
        w.At(9, 0);
        w.scheduler.NoteMissedAtStartUp();
        w.scheduler.Timer1Timer();
        ASSERT_TRUE(w.Find("Open"));
        w.table.EditCurrent();
        w.scheduler.SuspendScheduling();
        for (int minute = 1; minute <= 30; ++minute) {
            w.At(9, minute);
            w.scheduler.Timer1Timer();
        }
        if (c.storedStart) {
            w.table.SetString(Field::Starttijd, c.storedStart);
            w.table.PostTask();
            w.scheduler.TaskChanged(*w.table.CurrentId());
        } else {
            w.table.CancelTask();
        }
        w.scheduler.ResumeScheduling();
        w.At(9, 31);
        w.scheduler.Timer1Timer();
        EXPECT_TRUE(w.shell.calls.empty());
        EXPECT_EQ(Notes(w.Log()), c.notes);
    }
}

// A log that cannot be written at start-up and through a sleep: the start line and every note
// wait and go out in one write once it can be written, each once, in order; the tray counts
// them once they are in the log, in one step.
TEST(MissedRuns, NotesWaitForALockedLogAndGoOutInOneWrite) {
    MemFiles files;
    {
        World setup(files, "C:\\App\\");
        setup.Add({.omschrijving = "Acht", .starttijd = "08:00", .laatstekeer = Day0 - 2});
        setup.Add({.omschrijving = "Half negen", .starttijd = "08:30", .laatstekeer = Day0 - 1});
        setup.Add({.omschrijving = "Tien", .starttijd = "10:00", .laatstekeer = Day0 - 1});
        setup.taskFile.SaveTasks();
    }
    World w(files, "C:\\App\\");
    Attention attention;
    int changes = 0, writes = 0;
    attention.OnChanged = [&] { ++changes; };
    w.scheduler.attention = &attention;
    w.log.OnWritten = [&](const std::vector<std::string>&) { ++writes; };
    const std::string path = w.log.Path();
    files.files[path] = "";
    files.unwritable.insert(path);
    w.At(9, 0);
    StartUp startUp(files, w.log, w.taskFile, w.importer, w.table, w.scheduler);
    w.table.CloseTable();
    startUp.Run();
    EXPECT_EQ(w.scheduler.NotesWaiting(), 3u) << "the start line and two notes";
    w.At(11, 0); // asleep over "Tien", the log still locked
    w.scheduler.Timer1Timer();
    EXPECT_EQ(attention.Count(), 0) << "nothing in the log yet";
    EXPECT_EQ(changes, 0);

    files.unwritable.clear();
    w.At(11, 1);
    w.scheduler.Timer1Timer();
    w.At(11, 2);
    w.scheduler.Timer1Timer();
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(Notes(w.Log()),
              (std::vector<std::string>{"KIVO Schakelklok gestart",
                                        "Taak \"Acht\" gemist (gepland 07-03-24 08:00)",
                                        "Taak \"Half negen\" gemist (gepland 07-03-24 08:30)",
                                        "Taak \"Tien\" gemist (gepland 07-03-24 10:00)"}));
    EXPECT_NE(w.Log().find("[07-03-24] [09:00] KIVO Schakelklok gestart"), std::string::npos)
        << "each line at its own time";
    EXPECT_EQ(attention.Count(), 3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(w.scheduler.MissedTaskCount(), 3);
}

} // namespace
} // namespace kivo
