#include "core/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "support/core_world.h"
#include "support/fake_process_watch.h"
#include "support/log_text.h"

namespace kivo {
namespace {

using test::CoreWorld;
using test::Count;
using test::FakeProcessWatch;
using test::LogBodies;
using test::MemFiles;
using test::TaskSpec;

// Every writer of the program, one after the other, under each state of the log: each line
// reaches the log once, in the order it was made, or a line says how many were lost and when.
TEST(Program, EveryWriterReachesTheLogOnceInOrderWhateverTheLog) {
    // One line each writer alone makes, in the order they run.
    const std::vector<std::string> marks = {
        "KIVO Schakelklok gestart",  "Taak \"Acht\" (automatisch)", "Importeer taken",
        "Taak \"Acht\" (handmatig)", "Taak \"Acht\" klaar: code 3", "Timer1Timer:shell broke",
        "Taak \"Negen\" gemist",     "KIVO Schakelklok afgesloten"};
    enum State { Free, Held, HeldLong, HeldAtClose };
    std::size_t made = 0; // lines, as the free log takes them
    for (State state : {Free, Held, HeldLong, HeldAtClose}) {
        SCOPED_TRACE(state);
        MemFiles files;
        FakeProcessWatch watch;
        auto w = std::make_unique<CoreWorld>(files, "C:\\App\\", "", nullptr, &watch,
                                             state == HeldLong ? 5 : 100);
        const std::string log = w->log.Path();
        w->Add({.omschrijving = "Acht", .starttijd = "08:00", .programma = "acht.exe"});
        w->Add({.omschrijving = "Negen",
                .starttijd = "09:00",
                .laatstekeer = w->Today() - 1,
                .programma = "negen.exe"});
        w->taskFile.SaveTasks();
        files.files.erase(log);
        w->manual.OnAsk = [](const std::string&, const std::string&) { return IdYes; };
        if (state != Free) {
            files.files[log] = "";
            files.unwritable.insert(log);
        }
        w->At(8, 0, 30);
        w->program.StartUp();
        w->program.RunTick(); // starts Acht, through the watch
        files.files[w->dir + "kivoklok.tkn"] = "";
        w->At(8, 5);
        w->program.RunTick();
        ASSERT_TRUE(w->Find("Acht"));
        w->program.RunTaskNow();
        watch.End(watch.watched.begin()->first, 3);
        w->shell.throwFor.insert("negen.exe");
        w->At(9, 0, 30);
        w->program.RunTick();
        w->shell.throwFor.clear();
        w->At(9, 30); // a sleep over Negen's window, which the failed check kept
        w->program.RunTick();
        if (state != HeldAtClose) files.unwritable.clear();
        w->program.Close();
        EXPECT_EQ(w->reports.size(), state == Free ? 1u : 2u) << "the error, and the refusal";
        if (state == HeldAtClose) {
            EXPECT_EQ(files.files[log], "");
            files.unwritable.clear();
            w = std::make_unique<CoreWorld>(files, "C:\\App\\");
            w->program.StartUp();
        }
        const std::vector<std::string> bodies = LogBodies(files.files[log]);
        std::ptrdiff_t at = 0;
        std::size_t kept = 0;
        for (const std::string& mark : marks) {
            const auto line = std::find_if(bodies.begin(), bodies.end(),
                                           [&](const auto& b) { return b.rfind(mark, 0) == 0; });
            if (state <= Held || mark == marks.front()) {
                EXPECT_NE(line, bodies.end()) << mark;
            }
            if (line == bodies.end()) continue;
            ++kept;
            EXPECT_EQ(std::count(line, bodies.end(), *line), 1) << mark;
            EXPECT_GE(line - bodies.begin(), at) << mark << " out of order";
            at = line - bodies.begin();
        }
        if (state == Free) made = bodies.size();
        // What went is counted in one line, where it went.
        const auto lost = std::find_if(bodies.begin(), bodies.end(), [](const auto& b) {
            return b.find(" regels verloren (gemaakt van 07-03-24 08:00") != std::string::npos;
        });
        ASSERT_EQ(lost != bodies.end(), state >= HeldLong);
        if (state <= Held) {
            EXPECT_EQ(bodies.size(), made);
            continue;
        }
        EXPECT_LT(kept, marks.size());
        const std::size_t count = std::stoul(lost->substr(lost->find(": ") + 2));
        if (state == HeldLong) {
            EXPECT_EQ(count + bodies.size() - 1, made);
            EXPECT_EQ(lost - bodies.begin(), 0) << "where the first that went was";
            EXPECT_EQ(bodies[1], marks.front()) << "kept";
            EXPECT_LE(bodies.size(), 6u) << "what may wait, and the closing line";
        } else {
            EXPECT_EQ(count, made) << "the whole run";
            EXPECT_EQ(lost - bodies.begin(), 0);
            EXPECT_NE(lost->find("tot 07-03-24 09:30)"), std::string::npos) << *lost;
            EXPECT_FALSE(files.Exists(w->dir + LogOutbox::LostFileName));
        }
    }
}

TEST(CoreServices, StartUpLoadsALargeFileWhole) {
    constexpr int Tasks = 20'000;
    const std::int32_t today = DayNumber({2024, 3, 7}); // the world's: nothing was missed
    std::vector<TaskSpec> specs;
    for (int i = 0; i < Tasks; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Taak %05d; \"%d\" 5%%", (i * 7919) % Tasks, i);
        specs.push_back(
            {.omschrijving = name,
             .starttijd = i % 3 ? "07:00" : "00:00",
             .frekwentie = i % 99 + 1,
             .uren = i % 4 == 0,
             .laatstekeer = i % 4 && i % 5 ? std::optional(today - i % 99 - 1) : std::nullopt,
             .programma = "C:\\Tools\\prog" + std::to_string(i) + ".exe",
             .parameters = i % 2 ? "/alles\r\n/stil" : "",
             .werkdirectory = "C:\\Werk\\" + std::to_string(i),
             .dagen = i % 4 != 0});
    }
    MemFiles files;
    CoreWorld w(files, "C:\\App\\");
    files.files[w.taskFile.Path()] = test::TaskFileText(specs, UserCollator(), w.clock);
    w.program.StartUp();

    EXPECT_EQ(w.reports, std::vector<std::string>{});
    EXPECT_EQ(w.writes, 1);
    ASSERT_EQ(w.table.TaskCount(), Tasks);
    std::sort(specs.begin(), specs.end(), [](const TaskSpec& a, const TaskSpec& b) {
        return a.omschrijving < b.omschrijving; // "Taak nnnnn": byte order is the user's order
    });
    EXPECT_EQ(WriteTable(w.format, w.table), test::TaskFileText(specs, UserCollator(), w.clock));
    const std::vector<std::string> bodies = LogBodies(w.Log());
    ASSERT_EQ(bodies.size(), 2u + 12'000u);
    EXPECT_EQ(bodies[0], "Lees taken");
    EXPECT_EQ(bodies[1], "KIVO Schakelklok gestart");
    EXPECT_EQ(Count(w.Log(), "\" gemist (gepland 07-03-24 0"), 12'000);
    EXPECT_EQ(w.attention.Count(), 12'000);
}

} // namespace
} // namespace kivo
