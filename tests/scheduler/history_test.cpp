// What happened to each task, read back from the log; the balloon's text and pace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scheduler/history.h"
#include "support/fake_clock.h"

namespace kivo::test {
namespace {

const std::string Gap(19, ' ');

TEST(TaskHistory, LatestRunEndAndMissPerTaskFromTheLog) {
    struct Row {
        const char* what;
        std::vector<std::string> lines;
        std::string task;
        std::string started; // dd-mm-yy hh:nn, or empty
        long long code;      // -1: no end seen
        long long durationMs;
        bool notStarted, missed;
        std::string where = ""; // the task's working directory and program; empty: any
    };
    // Two tasks of one description, told apart by where they run; a miss names only the
    // description.
    const std::vector<std::string> twoOfOneName = {
        "[07-03-24] [09:00] Taak \"A\" (automatisch)" + Gap + "C:\\W\\a.exe",
        "[07-03-24] [09:05] Taak \"A\" (handmatig)" + Gap + "b.exe",
        "[07-03-24] [09:05] Taak \"A\" niet gestart: weg",
        "[07-03-24] [09:06] Taak \"A\" klaar: code 4, duur 0:06:00",
        "[07-03-24] [10:00] Taak \"A\" gemist (gepland 07-03-24 09:30)"};
    const Row rows[] = {
        {"a run that ended",
         {"[07-03-24] [09:00] Taak \"A\" (automatisch)" + Gap + "C:\\W\\a.exe",
          "[07-03-24] [09:01] Taak \"A\" klaar: code 0, duur 0:01:05"},
         "A",
         "07-03-24 09:00",
         0,
         65'000,
         false,
         false},
        {"by hand, still going (no end)",
         {"[07-03-24] [09:00] Taak \"A\" (handmatig)" + Gap + "a.exe"},
         "A",
         "07-03-24 09:00",
         -1,
         0,
         false,
         false},
        {"refused by the shell",
         {"[07-03-24] [09:00] Taak \"A\" (automatisch)" + Gap + "a.exe",
          "[07-03-24] [09:00] Taak \"A\" niet gestart: Het systeem kan het bestand niet vinden."},
         "A",
         "07-03-24 09:00",
         -1,
         0,
         true,
         false},
        {"missed after its run",
         {"[06-03-24] [09:00] Taak \"A\" (automatisch)" + Gap + "a.exe",
          "[06-03-24] [10:00] Taak \"A\" klaar: code 3, duur 1:00:00",
          "[07-03-24] [09:30] Taak \"A\" gemist (gepland 07-03-24 09:00)"},
         "A",
         "06-03-24 09:00",
         3,
         3'600'000,
         false,
         true},
        {"a miss made up by a start",
         {"[07-03-24] [09:30] Taak \"A\" gemist (gepland 07-03-24 09:00)",
          "[07-03-24] [09:31] Taak \"A\" (automatisch)" + Gap + "a.exe"},
         "A",
         "07-03-24 09:31",
         -1,
         0,
         false,
         false},
        {"the end of an earlier run says nothing of the latest",
         {"[07-03-24] [09:00] Taak \"A\" (automatisch)" + Gap + "a.exe",
          "[07-03-24] [10:00] Taak \"A\" draait nog sinds 07-03-24 09:00",
          "[07-03-24] [10:00] Taak \"A\" (automatisch)" + Gap + "a.exe",
          "[07-03-24] [10:05] Taak \"A\" klaar: code 1, duur 1:05:00"},
         "A",
         "07-03-24 10:00",
         -1,
         0,
         false,
         false},
        {"quotes and note words in the description",
         {"[07-03-24] [09:00] Taak \"Zeg \"klaar: code 9\" (automatisch)" + Gap + "a.exe",
          "[07-03-24] [09:02] Taak \"Zeg \"klaar: code 9\" klaar: code 2, duur 0:02:00"},
         "Zeg \"klaar: code 9",
         "07-03-24 09:00",
         2,
         120'000,
         false,
         false},
        {"an end whose code could not be read",
         {"[07-03-24] [09:00] Taak \"A\" (automatisch)" + Gap + "a.exe",
          "[07-03-24] [09:01] Taak \"A\" klaar: code onbekend, duur 0:01:00"},
         "A",
         "07-03-24 09:00",
         -2,
         60'000,
         false,
         false},
        {"junk passes by",
         {"", "[", "] Taak \"", "[07-03-24] [09:00] Taak \"A\"",
          "[xx-03-24] [09:00] Taak \"A\" "
          "(automatisch)" +
              Gap + "a.exe",
          "[07-03-24] [09:00] Taak \"A\" klaar: code x, duur 1",
          "[07-03-24] [09:00] Taak \"A\" klaar: code 99999999999, duur 0:00:01",
          "Taak \"A\" (automatisch)" + Gap + "a.exe"},
         "A",
         "",
         -1,
         0,
         false,
         false},
        {"of two of one name, the first", twoOfOneName, "A", "07-03-24 09:00", 4, 360'000, false,
         true, "C:\\W\\a.exe"},
        {"of two of one name, the second", twoOfOneName, "A", "07-03-24 09:05", -1, 0, true, true,
         "b.exe"},
    };
    FakeClock clock{2024, 3, 7, 12, 0};
    FormatSettings settings;
    for (const Row& row : rows) {
        TaskHistory history(settings, clock);
        history.Seed(row.lines);
        TaskRecord task;
        task.Omschrijving = row.task;
        task.Programma = row.where.substr(row.where.rfind('\\') + 1);
        task.Werkdirectory = row.where.substr(0, row.where.size() - task.Programma->size());
        const TaskHistoryEntry* e = row.where.empty() ? history.Find(row.task) : history.Find(task);
        const TaskHistoryEntry none;
        if (!e) e = &none;
        EXPECT_EQ(e->started ? WallText(*e->started, settings) : "", row.started) << row.what;
        // -1: no end seen; -2: an end without a code.
        EXPECT_EQ(e->code    ? static_cast<long long>(*e->code)
                  : e->ended ? -2
                             : -1,
                  row.code)
            << row.what;
        EXPECT_EQ(e->durationMs, row.durationMs) << row.what;
        EXPECT_EQ(e->notStarted, row.notStarted) << row.what;
        EXPECT_EQ(e->missed, row.missed) << row.what;
    }
}

// A balloon the shell did not show uses nothing up; two failures of one task count once.
TEST(FailureNotices, OneBalloonAMinuteGatheringWhatCameMeanwhile) {
    FailureNotices notices;
    EXPECT_EQ(notices.Due(0), std::nullopt);
    notices.Add({{TaskFailure::Code, "Back-up", 3}});
    EXPECT_EQ(notices.Due(1000), "Taak \"Back-up\" klaar met code 3");
    notices.Add({{TaskFailure::Missed, "Back-up"}});
    EXPECT_EQ(notices.Due(1000), "Taak \"Back-up\" klaar met code 3") << "not shown: still due";
    notices.Shown(1000);
    notices.Add({{TaskFailure::Missed, "A"}, {TaskFailure::NotStarted, "B"}});
    EXPECT_EQ(notices.Due(30'000), std::nullopt) << "within the minute";
    EXPECT_EQ(notices.WaitMs(30'000), 31'000);
    notices.Add({{TaskFailure::Missed, "C"}, {TaskFailure::Code, "A", 1}});
    EXPECT_EQ(notices.Due(61'000), "3 taken gemist of mislukt");
    notices.Shown(61'000);
    EXPECT_EQ(notices.WaitMs(61'000), std::nullopt);
    EXPECT_EQ(FailureText({TaskFailure::Missed, "A"}, 1), "Taak \"A\" gemist");
    EXPECT_EQ(FailureText({TaskFailure::NotStarted, "A"}, 1), "Taak \"A\" niet gestart");
}

} // namespace
} // namespace kivo::test
