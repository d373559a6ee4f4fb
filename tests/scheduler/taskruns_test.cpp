#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logbook/logbook.h"
#include "scheduler/scheduler_fakes.h"
#include "scheduler/taskruns.h"
#include "support/fake_process_watch.h"
#include "support/log_text.h"

namespace kivo::test {
namespace {

// The scheduler's world with its starts watched and counted for the tray.
struct Watched {
    MemFiles files;
    FakeProcessWatch watch;
    World w{files, "C:\\App\\", "", nullptr, &watch};
    TaskRuns& runs = w.runs;
    Attention& attention = w.attention;
};

TEST(TaskRuns, TextsOfTheEndTheStillRunningStartAndTheTip) {
    struct Finished {
        std::uint32_t code;
        std::int64_t ms;
        const char* text;
    };
    for (const Finished f : {Finished{0, 5'400, "Taak \"A\" klaar: code 0, duur 0:00:05"},
                             Finished{3, 3'725'000, "Taak \"A\" klaar: code 3, duur 1:02:05"},
                             Finished{4294967295u, 26 * 3'600'000LL,
                                      "Taak \"A\" klaar: code 4294967295, duur 26:00:00"}})
        EXPECT_EQ(FinishedNote("A", f.code, f.ms), f.text);
    EXPECT_EQ(StillRunningNote("A", (45358LL * 24 + 8) * 3'600'000, FormatSettings{}),
              "Taak \"A\" draait nog sinds 07-03-24 08:00");
    EXPECT_EQ(AttentionTip(0), "KIVO Schakelklok");
    EXPECT_EQ(AttentionTip(1), "KIVO Schakelklok - 1 keer gemist of mislukt");
    EXPECT_LE(AttentionTip(2147483647).size(), 63u);
}

// Several runs ending in any order, a start without a process, an end after the task was
// renamed or deleted: each end is noted once, under the name its start had; codes other than 0
// count for the tray.
TEST(TaskRuns, EachEndIsNotedOnceUnderTheNameOfItsStart) {
    Watched world;
    auto& [files, watch, w, runs, attention] = world;
    auto process = [](int n) {
        return reinterpret_cast<ProcessHandle>(static_cast<std::intptr_t>(n));
    };

    runs.Started(1, "Eerste", process(11), w.shell);
    runs.Started(2, "Tweede", process(12), w.shell);
    runs.Started(3, "Document", nullptr, w.shell); // opened by a program that already ran
    w.clock.Advance(65'000);
    runs.Started(1, "Eerste", process(13), w.shell);
    EXPECT_EQ(runs.Running(), 3u);
    EXPECT_EQ(watch.watched.size(), 3u);

    w.clock.Advance(2'000);
    ASSERT_TRUE(watch.End(3, 0)); // the later run of "Eerste" first
    ASSERT_TRUE(watch.End(2, 3)); // "Tweede", renamed or deleted since: its start's name
    ASSERT_TRUE(watch.End(1, 0));
    runs.Ended(1, 0);  // told twice: nothing more
    runs.Ended(99, 1); // never started here
    EXPECT_EQ(LogBodies(w.Log()),
              (std::vector<std::string>{"Taak \"Eerste\" klaar: code 0, duur 0:00:02",
                                        "Taak \"Tweede\" klaar: code 3, duur 0:01:07",
                                        "Taak \"Eerste\" klaar: code 0, duur 0:01:07"}));
    EXPECT_EQ(attention.Count(), 1);
    EXPECT_EQ(runs.Running(), 0u);

    // An exit code that could not be read is not taken for 0; a wait the system refused
    // forgets its run, so no later start hears that it still runs.
    runs.Started(4, "Vierde", process(15), w.shell);
    ASSERT_TRUE(watch.End(4, std::nullopt));
    EXPECT_EQ(LogBodies(w.Log()).back(), "Taak \"Vierde\" klaar: code onbekend, duur 0:00:00");
    EXPECT_EQ(attention.Count(), 2);
    watch.refuse = true;
    runs.Started(5, "Vijfde", process(16), w.shell);
    EXPECT_EQ(runs.Running(), 0u);
    EXPECT_FALSE(runs.StillRunning(5, "Vijfde"));

    // Without a watch the handle is closed at once and nothing is noted.
    TaskRuns unwatched(w.outbox, w.clock, w.settings, nullptr);
    unwatched.Started(1, "Eerste", process(14), w.shell);
    EXPECT_EQ(w.shell.closed, std::vector<ProcessHandle>{process(14)});
    EXPECT_EQ(unwatched.Running(), 0u);
}

// The tick through the shell's process: a run that is still going when the next window comes
// gets its note before the start line; its end is noted with its code.
TEST(TaskRuns, TheTickWatchesItsStartsAndSaysWhenOneStillRuns) {
    Watched world;
    auto& [files, watch, w, runs, attention] = world;
    w.Add({.omschrijving = "Uur", .starttijd = "08:00", .uren = true, .dagen = false});
    w.Add({.omschrijving = "Weg", .starttijd = "08:00", .programma = "weg.exe"});
    w.shell.refused["weg.exe"] = 2;
    w.At(8, 0, 30);
    w.scheduler.Timer1Timer();
    ASSERT_EQ(watch.watched.size(), 1u) << "a refused start gives no process";
    EXPECT_EQ(attention.Count(), 1) << "the refused start";
    w.At(9, 0, 30);
    w.scheduler.Timer1Timer();
    const std::vector<std::string> notes = LogBodies(w.Log());
    const auto at =
        std::find(notes.begin(), notes.end(), "Taak \"Uur\" draait nog sinds 07-03-24 08:00");
    ASSERT_NE(at, notes.end());
    EXPECT_EQ((at + 1)->rfind("Taak \"Uur\" (automatisch)", 0), 0u);
    for (auto [token, process] : std::map(watch.watched)) watch.End(token, 0);
    EXPECT_EQ(Count(w.Log(), "Taak \"Uur\" klaar: code 0"), 2);
    EXPECT_EQ(attention.Count(), 1);
}

// The tray menu's run of what was missed: once each, as the tick starts them, and not again. A
// daily run made up counts for the day it missed, so the task's own window today still runs.
TEST(TaskRuns, MissedTasksRunOnceWhenAsked) {
    MemFiles files;
    World w(files, "C:\\App\\");
    Attention& attention = w.attention;
    w.Add({.omschrijving = "Dag", .starttijd = "08:00", .laatstekeer = w.Today() - 1});
    w.Add({.omschrijving = "Twee uur",
           .starttijd = "06:00",
           .frekwentie = 2,
           .uren = true,
           .laatstekeer = w.Today(),
           .dagen = false});
    w.Add({.omschrijving = "Later", .starttijd = "18:00", .laatstekeer = w.Today() - 1});
    w.Add({.omschrijving = "Avond", .starttijd = "20:00", .laatstekeer = w.Today() - 2});
    w.taskFile.SaveTasks();
    w.At(9, 30);
    w.scheduler.NoteMissedAtStartUp();
    EXPECT_EQ(w.scheduler.MissedTaskCount(), 3);
    EXPECT_EQ(attention.Count(), 3);

    w.At(9, 31);
    EXPECT_EQ(w.scheduler.RunMissed(), 3);
    EXPECT_EQ(w.Starts("prog.exe"), 3);
    EXPECT_EQ(Count(w.Log(), "(automatisch)"), 3);
    EXPECT_EQ(w.Get("Dag", Field::Laatstekeer), "07-03-24");
    EXPECT_EQ(w.Get("Avond", Field::Laatstekeer), "06-03-24") << "the day it made up";
    EXPECT_EQ(w.Get("Twee uur", Field::Starttijd), "10:00") << "its next slot";
    EXPECT_NE(files.files[w.taskFile.Path()].find("\"10:00\""), std::string::npos) << "saved";
    EXPECT_EQ(w.scheduler.MissedTaskCount(), 0);
    EXPECT_EQ(w.scheduler.RunMissed(), 0);
    w.At(9, 32);
    w.scheduler.Timer1Timer();
    EXPECT_EQ(w.Starts("prog.exe"), 3) << "made up: the tick does not start them again";
    w.At(20, 0, 30);
    w.scheduler.Timer1Timer();
    EXPECT_EQ(Count(w.Log(), "Taak \"Avond\" (automatisch)"), 2) << "tonight's own run";
    EXPECT_EQ(w.Get("Avond", Field::Laatstekeer), "07-03-24");
}

} // namespace
} // namespace kivo::test
