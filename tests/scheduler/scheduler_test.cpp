#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scheduler/tick_fixture.h"
#include "support/log_text.h"

namespace kivo::test {
namespace {

const std::string Gap(19, ' ');

TEST_F(TickTest, DailyTaskOncePerDayAtTheFirstTickOfItsWindow) {
    w.Add({.omschrijving = "Dagelijks", .starttijd = "08:00"});
    TickAt(7, 59, 30);
    EXPECT_EQ(Started(), 0);
    TickAt(8, 0, 30);
    EXPECT_EQ(Started(), 1);
    EXPECT_EQ(w.Get("Dagelijks", Field::Laatstekeer), "07-03-24");
    TickAt(8, 1, 30);
    TickAt(8, 14, 30);
    EXPECT_EQ(Started(), 1);
    NextDay();
    TickAt(8, 0, 30);
    EXPECT_EQ(Started(), 2);
    EXPECT_EQ(w.Get("Dagelijks", Field::Laatstekeer), "08-03-24");

    // Through ShellExecuteExA, as ShellExecuteA would start it, asking for the process, with no
    // box or security warning to wait on.
    const auto& call = w.shell.calls.back();
    EXPECT_TRUE(call.ex);
    EXPECT_EQ(call.mask, SeeMaskNoCloseProcess | SeeMaskFlagNoUi | SeeMaskNoZoneChecks);
    EXPECT_FALSE(call.verb);
    EXPECT_EQ(call.show, 1);
    const std::string log = w.Log();
    EXPECT_EQ(Count(log, "Taak \"Dagelijks\" (automatisch)" + Gap + "prog.exe\r\n"), 2);
    EXPECT_EQ(Count(log, "] Instelling opslaan\r\n"), 2); // saved only after a start
    EXPECT_NE(temp.Read("kivoklok.csv").find("\"08-03-24\""), std::string::npos);
}

TEST_F(TickTest, WindowEdgesToTheMillisecond) {
    w.Add({.omschrijving = "Rand", .starttijd = "08:00"});
    TickAt(8, 0, 0, 0);  // exactly at the start: not yet
    TickAt(8, 15, 0, 0); // exactly 15 minutes after: no longer
    EXPECT_EQ(Started(), 0);
    TickAt(8, 14, 59, 999);
    EXPECT_EQ(Started(), 1);
    NextDay();
    TickAt(8, 0, 0, 1);
    EXPECT_EQ(Started(), 2);
}

TEST_F(TickTest, ProgramStartedLate) {
    w.Add({.omschrijving = "Acht uur", .starttijd = "08:00"});
    TickAt(8, 11, 0); // started at 08:10, first tick a minute later
    EXPECT_EQ(Started(), 1);
    NextDay();
    TickAt(8, 21, 0); // started at 08:20
    TickAt(8, 22, 0);
    EXPECT_EQ(Started(), 1);
}

TEST_F(TickTest, TasksLateInTheDay) {
    w.Add({.omschrijving = "Tien voor", .starttijd = "23:50", .programma = "a.exe"});
    w.Add({.omschrijving = "Een voor", .starttijd = "23:59", .programma = "b.exe"});
    TickAt(23, 58, 59, 999);
    EXPECT_EQ(Started("a.exe"), 1);
    EXPECT_EQ(Started("b.exe"), 0);
    TickAt(23, 59, 0, 0); // exactly 23:59: not yet
    EXPECT_EQ(Started("b.exe"), 0);
    TickAt(23, 59, 59, 999);
    EXPECT_EQ(Started("b.exe"), 1);

    // Another day: nothing ran in the evening, and the window does not reach past midnight.
    NextDay();
    NextDay();
    TickAt(23, 58, 30);
    EXPECT_EQ(Started("a.exe"), 2);
    NextDay();
    TickAt(0, 0, 30);
    TickAt(0, 2, 0);
    EXPECT_EQ(Started("a.exe"), 2);
    EXPECT_EQ(Started("b.exe"), 1);
}

TEST_F(TickTest, DailyIntervalAndNonPositiveCounts) {
    w.Add({.omschrijving = "Drie", .starttijd = "08:00", .frekwentie = 3, .programma = "3.exe"});
    w.Add({.omschrijving = "Nul", .starttijd = "10:00", .frekwentie = 0, .programma = "0.exe"});
    w.Add({.omschrijving = "Min", .starttijd = "10:00", .frekwentie = -2, .programma = "m.exe"});
    for (int day = 0; day < 7; ++day) {
        TickAt(8, 0, 30);
        if (day == 0) {
            // Every tick of the window starts a task whose count is 0 or less.
            for (int minute = 0; minute < 16; ++minute) TickAt(10, minute, 30);
        }
        NextDay();
    }
    EXPECT_EQ(Started("3.exe"), 3); // days 0, 3 and 6
    EXPECT_EQ(Started("0.exe"), 15);
    EXPECT_EQ(Started("m.exe"), 15);
}

TEST_F(TickTest, LastRunHoldsBackDailyTasksOnly) {
    const std::int32_t today = w.Today();
    w.Add({.omschrijving = "Dag gisteren",
           .starttijd = "08:00",
           .frekwentie = 2,
           .laatstekeer = today - 1,
           .programma = "d.exe"});
    w.Add({.omschrijving = "Uur vandaag",
           .starttijd = "08:00",
           .frekwentie = 4,
           .uren = true,
           .laatstekeer = today - 1,
           .programma = "u.exe"});
    // Both flags decide nothing but Uren.
    w.Add({.omschrijving = "Beide",
           .starttijd = "06:00",
           .frekwentie = 2,
           .uren = true,
           .programma = "both.exe",
           .dagen = true});
    w.Add({.omschrijving = "Geen",
           .starttijd = "06:00",
           .frekwentie = 2,
           .uren = false,
           .programma = "none.exe",
           .dagen = false});
    TickAt(8, 0, 30);
    EXPECT_EQ(Started("d.exe"), 0);
    EXPECT_EQ(Started("u.exe"), 1);
    EXPECT_EQ(Started("both.exe"), 1); // hourly: its 08:00 slot
    EXPECT_EQ(Start("Beide"), "10:00");
    EXPECT_EQ(Started("none.exe"), 0); // daily at 06:00
    EXPECT_EQ(Start("Geen"), "06:00");
}

TEST_F(TickTest, RefusedStartIsLoggedAndStillCounts) {
    w.Add({.omschrijving = "Weg",
           .starttijd = "08:00",
           .frekwentie = 3,
           .uren = true,
           .programma = "missing.exe",
           .werkdirectory = "C:\\Nergens"});
    w.shell.refused["missing.exe"] = 2;
    TickAt(8, 0, 30);
    const std::string log = w.Log();
    EXPECT_EQ(Count(log, "Taak \"Weg\" (automatisch)" + Gap + "C:\\Nergens\\missing.exe"), 1);
    EXPECT_EQ(Count(log, "] Taak \"Weg\" niet gestart: The system cannot find the file "
                         "specified\r\n"),
              1);
    EXPECT_EQ(w.Get("Weg", Field::Laatstekeer), "07-03-24");
    EXPECT_EQ(Start("Weg"), "11:00");
    EXPECT_TRUE(w.reports.empty());
    EXPECT_TRUE(w.timer1.enabled);
}

TEST_F(TickTest, StatusBarTimerAndCursorAfterATick) {
    w.timer1.enabled = false;
    TickAt(9, 30, 45);
    EXPECT_EQ(w.status[0], "Laatste controle 09:30");
    EXPECT_EQ(w.status[2], "Starttijd ");
    EXPECT_TRUE(w.timer1.enabled);
    EXPECT_EQ(w.timer1.starts, 1);

    w.Add({.omschrijving = "B", .starttijd = "07:15"});
    w.Add({.omschrijving = "A", .starttijd = "06:45"});
    w.taskFile.SaveTasks(); // sorts
    w.Find("B");
    TickAt(10, 0, 0);
    EXPECT_EQ(w.status[2], "Starttijd 06:45");
    EXPECT_EQ(w.table.AsString(Field::Omschrijving), "A");
    EXPECT_EQ(w.timer1.starts, 2); // stopped during the tick, started at its end
}

// A failure ends its tick, not the scheduler: the next tick comes a period later, finishes the
// work and saves what the failed one recorded.
TEST_F(TickTest, FailingTickIsNotedAndTheNextTickGoesOn) {
    w.Add({.omschrijving = "A eerst", .starttijd = "08:00", .programma = "a.exe"});
    w.Add({.omschrijving = "B daarna", .starttijd = "08:00", .programma = "b.exe"});
    w.Add({.omschrijving = "C laatst", .starttijd = "08:00", .programma = "c.exe"});
    w.taskFile.SaveTasks();
    w.shell.throwFor.insert("b.exe");
    const int starts = w.timer1.starts;
    TickAt(8, 0, 30);
    EXPECT_TRUE(w.timer1.enabled);
    EXPECT_EQ(w.timer1.starts, starts + 1) << "a new full period";
    ASSERT_EQ(w.reports.size(), 1u);
    EXPECT_EQ(w.reports[0], "shell broke");
    EXPECT_EQ(Count(w.Log(), "] Timer1Timer:shell broke\r\n"), 1);
    EXPECT_EQ(w.Starts("a.exe"), 1);
    EXPECT_EQ(w.Starts("c.exe"), 0);

    w.shell.throwFor.clear();
    TickAt(8, 1, 30);
    EXPECT_EQ(w.Starts("a.exe"), 1);
    EXPECT_EQ(w.Starts("b.exe"), 1);
    EXPECT_EQ(w.Starts("c.exe"), 1);
    EXPECT_EQ(Count(temp.Read("kivoklok.csv"), "\"07-03-24\""), 3) << "a's start saved too";
    EXPECT_EQ(w.reports.size(), 1u);
}

// The log itself failing (locked by a backup, say): the tasks start at their minute all the
// same, the log's refusal is told once, and its lines follow, in order and at their own times.
TEST(TickFailure, ALockedLogHoldsNoTaskBackAndItsLinesFollow) {
    MemFiles files;
    World w(files, "C:\\App\\");
    w.Add({.omschrijving = "A", .starttijd = "08:00", .programma = "a.exe"});
    w.Add({.omschrijving = "B", .starttijd = "08:02", .programma = "b.exe"});
    files.files[w.log.Path()] = "";
    files.unreadable.insert(w.log.Path());
    for (int minute = 0; minute < 3; ++minute) {
        w.At(8, minute, 30);
        EXPECT_NO_THROW(w.scheduler.Timer1Timer());
        EXPECT_TRUE(w.timer1.enabled);
    }
    EXPECT_EQ(w.Starts("a.exe"), 1);
    EXPECT_EQ(w.Starts("b.exe"), 1);
    ASSERT_EQ(w.reports.size(), 1u) << "told once";
    EXPECT_NE(w.reports[0].find("kivoklok.log"), std::string::npos) << w.reports[0];
    files.unreadable.clear();
    w.At(8, 3, 30);
    w.scheduler.Timer1Timer();
    const std::string log = w.Log();
    EXPECT_LT(log.find("[07-03-24] [08:00] Taak \"A\" (automatisch)"),
              log.find("[07-03-24] [08:02] Taak \"B\" (automatisch)"));
    EXPECT_EQ(w.outbox.Waiting(), 0u);
}

// A task file that cannot be written: the start is recorded in the table, and every tick tries
// the save again, quietly, until it works; a restart then knows the start.
TEST(TickFailure, ARefusedSaveIsTriedByEveryTickUntilItWorks) {
    MemFiles files;
    World w(files, "C:\\App\\");
    w.Add({.omschrijving = "A", .starttijd = "08:00", .programma = "a.exe"});
    w.taskFile.SaveTasks();
    files.unwritable.insert(w.taskFile.Path());
    for (int minute = 0; minute < 4; ++minute) {
        w.At(8, minute, 30);
        w.scheduler.Timer1Timer();
    }
    EXPECT_EQ(w.Starts("a.exe"), 1);
    EXPECT_EQ(w.reports.size(), 1u) << "one box for the streak";
    EXPECT_EQ(Count(w.Log(), "SaveChanges: "), 1);
    EXPECT_TRUE(w.taskFile.SaveOutstanding());
    files.unwritable.clear();
    w.At(8, 4, 30);
    w.scheduler.Timer1Timer();
    EXPECT_FALSE(w.taskFile.SaveOutstanding());

    World restarted(files, "C:\\App\\");
    restarted.taskFile.LoadTasks();
    restarted.At(8, 5, 30);
    restarted.scheduler.Timer1Timer();
    EXPECT_EQ(restarted.Starts("a.exe"), 0) << "the start was saved";
}

// While the panel has a task open, the tick starts every other task by its place: the cursor,
// the pending change and what the user typed stay as they are; the import waits for the end.
TEST(Scheduling, ATickDuringAnEditStartsTheOthersAndLeavesTheEditAlone) {
    MemFiles files;
    World w(files, "C:\\App\\");
    for (const char* name : {"A", "B", "C"})
        w.Add(
            {.omschrijving = name, .starttijd = "08:00", .programma = std::string(name) + ".exe"});
    w.taskFile.SaveTasks();
    const std::string import = "C:\\App\\kivoklok.tkn";
    files.files[import] = "KIVO TAAK x\r\n06:30\r\n1\r\nx.exe\r\nC:\\\r\nend\r\n";
    struct Case {
        const char* name;
        bool insert; // a new task instead of an edit of B
    };
    for (const Case c : {Case{"edit of B", false}, Case{"new task", true}}) {
        SCOPED_TRACE(c.name);
        w.shell.calls.clear();
        if (c.insert) {
            w.table.AppendTask();
            w.table.SetString(Field::Omschrijving, "Nieuw");
        } else {
            ASSERT_TRUE(w.Find("B"));
            w.table.EditCurrent();
            w.table.SetString(Field::Parameters, "getypt");
        }
        w.scheduler.SuspendScheduling();
        EXPECT_TRUE(w.timer1.enabled) << "the tasks go on while the panel is open";
        w.status.clear();
        w.At(8, c.insert ? 1 : 0, 30);
        w.scheduler.Timer1Timer();
        EXPECT_TRUE(w.table.IsPending());
        EXPECT_EQ(w.table.AsString(Field::Omschrijving), c.insert ? "Nieuw" : "B");
        EXPECT_EQ(w.table.AsString(Field::Parameters), c.insert ? "" : "getypt");
        EXPECT_EQ(w.status.count(2), 0u) << "the panel's task stays in the status bar";
        EXPECT_EQ(w.status[0], c.insert ? "Laatste controle 08:01" : "Laatste controle 08:00");
        EXPECT_TRUE(files.files.count(import)) << "no import during an edit";
        const std::string csv = files.files[w.taskFile.Path()];
        EXPECT_EQ(csv.find(c.insert ? "Nieuw" : "getypt"), std::string::npos);
        if (c.insert) {
            EXPECT_EQ(w.Starts("B.exe"), 1) << "B, no longer in the panel, has its turn";
            w.table.CancelTask();
        } else {
            EXPECT_EQ(w.Starts("A.exe"), 1);
            EXPECT_EQ(w.Starts("B.exe"), 0);
            EXPECT_EQ(w.Starts("C.exe"), 1);
            EXPECT_EQ(Count(csv, "\"07-03-24\""), 2);
            w.table.PostTask();
        }
        w.scheduler.ResumeScheduling();
    }
    w.At(8, 2, 30);
    w.scheduler.Timer1Timer();
    EXPECT_FALSE(files.files.count(import)) << "merged once the panel closed";
    EXPECT_EQ(w.table.AsString(Field::Omschrijving), "A") << "the first task current again";
}

TEST(Scheduling, TheLogIsPurgedAtTheFirstTickOfEachNewDay) {
    MemFiles files;
    World w(files, "C:\\App\\");
    const std::string old = "[01-01-23] [10:00] oud\r\n";
    files.files[w.log.Path()] = old;
    w.At(23, 59);
    w.scheduler.Timer1Timer(); // the day of the start-up, purged then
    EXPECT_EQ(w.Log(), old);
    w.clock.Advance(2 * 60'000);
    w.scheduler.Timer1Timer();
    EXPECT_EQ(w.Log(), "");
    files.files[w.log.Path()] = old;
    w.scheduler.Timer1Timer(); // once a day
    EXPECT_EQ(w.Log(), old);
}

TEST(Scheduling, SuspendAndResume) {
    MemFiles files;
    World w(files, "C:\\App\\");
    w.timer1.enabled = true;
    w.scheduler.SuspendScheduling();
    EXPECT_TRUE(w.timer1.enabled);
    EXPECT_TRUE(w.scheduler.EditOpen());
    w.timer1.enabled = false;
    EXPECT_FALSE(w.controle.enabled);
    w.scheduler.ResumeScheduling();
    EXPECT_TRUE(w.timer1.enabled);
    EXPECT_FALSE(w.controle.enabled); // the control timer was never running
    const int starts = w.timer1.starts;
    w.scheduler.ResumeScheduling(); // a running Timer1 keeps its period
    EXPECT_EQ(w.timer1.starts, starts);

    w.controle.enabled = true;
    w.scheduler.SuspendScheduling();
    EXPECT_FALSE(w.controle.enabled);
    w.scheduler.ResumeScheduling();
    EXPECT_TRUE(w.controle.enabled);
    w.scheduler.ControleTimerTimer();
}

} // namespace
} // namespace kivo::test
