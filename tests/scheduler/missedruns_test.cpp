// Missed runs through the scheduler: sleeps, summer time and corrections of the clock, the
// start-up after the program was off, the panel holding a task, and a locked log.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logbook/logbook.h"

#include "algemeen/datetime.h"
#include "scheduler/missed.h"
#include "scheduler/missed_days.h"
#include "scheduler/scheduler_fakes.h"
#include "scheduler/startup.h"
#include "scheduler/taskruns.h"
#include "support/log_text.h"

namespace kivo {
namespace {

using test::Day0;
using test::MemFiles;
using test::Min;
using test::World;

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
// start time counts from its change; a window of it that is open then is the next check's.
TEST(MissedRuns, AWindowThatPassedWhileThePanelHadTheTaskIsNoted) {
    struct Case {
        const char* name;
        const char* storedStart; // null: Annuleren
        std::vector<std::string> notes;
        int nextTick = 31; // the minute after 09:00 of the first check after the panel
    };
    const Case cases[] = {
        {"Annuleren", nullptr, {"Taak \"Open\" gemist (gepland 07-03-24 09:10)"}},
        {"OK unchanged", "09:10", {"Taak \"Open\" gemist (gepland 07-03-24 09:10)"}},
        {"OK with a new start time that passed", "09:05", {}},
        {"OK with a start time whose window is open, then asleep over it",
         "09:25",
         {"Taak \"Open\" gemist (gepland 07-03-24 09:25)"},
         45},
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
        w.At(9, c.nextTick);
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
    Attention& attention = w.attention;
    int changes = 0;
    attention.OnChanged = [&] { ++changes; };
    const std::string path = w.log.Path();
    files.files[path] = "";
    files.unwritable.insert(path);
    w.At(9, 0);
    w.table.CloseTable();
    w.startUp.Run();
    EXPECT_EQ(w.outbox.Waiting(), 4u) << "the load's note, the start line and two notes";
    w.At(11, 0); // asleep over "Tien", the log still locked
    w.scheduler.Timer1Timer();
    EXPECT_EQ(attention.Count(), 0) << "nothing in the log yet";
    EXPECT_EQ(changes, 0);

    files.unwritable.clear();
    w.At(11, 1);
    w.scheduler.Timer1Timer();
    w.At(11, 2);
    w.scheduler.Timer1Timer();
    EXPECT_EQ(w.writes, 1);
    EXPECT_EQ(Notes(w.Log()),
              (std::vector<std::string>{"Lees taken", "KIVO Schakelklok gestart",
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