#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "scheduler/scheduler_fakes.h"
#include "scheduler/startup.h"
#include "support/log_text.h"

namespace kivo::test {
namespace {

const std::string Dir = "C:\\App\\";
const std::string Import = Dir + "kivoklok.tkn";
const std::string Record = "KIVO TAAK x\r\n06:30\r\n1\r\nx.exe\r\nC:\\\r\nend\r\n";

struct Started {
    MemFiles files;
    World w{files, Dir};
    StartUp& startUp = w.startUp;
    std::vector<std::string> errors;

    Started() {
        startUp.OnError = [this](const std::string& m) { errors.push_back(m); };
        w.Add({.omschrijving = "Eigen", .starttijd = "08:00"});
        w.taskFile.SaveTasks();
        files.files[Import] = Record;
        files.files.erase(w.log.Path());
        w.table.CloseTable(); // as the program starts: nothing loaded yet
    }
};

// Whatever one step meets, the others still run.
TEST(StartUp, EveryStepRunsWhateverTheOthersMeet) {
    struct Case {
        const char* name;
        std::function<void(MemFiles&)> trouble;
        int errors, reports;
        bool loaded, imported, startLine;
    };
    const Case cases[] = {
        {"all well", [](MemFiles&) {}, 0, 0, true, true, true},
        // The purge fails, and the write of the start-up's lines, told once; they wait.
        {"log locked",
         [](MemFiles& f) {
             f.files[Dir + "kivoklok.log"] = "";
             f.unreadable.insert(Dir + "kivoklok.log");
         },
         1, 1, true, true, true},
        {"task file locked", [](MemFiles& f) { f.unreadable.insert(Dir + "kivoklok.csv"); }, 0, 1,
         false, false, true},
        {"import broken", [](MemFiles& f) { f.files[Import] = "niets bruikbaars\r\n"; }, 0, 1, true,
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Started s;
        c.trouble(s.files);
        EXPECT_TRUE(s.startUp.Run());
        EXPECT_EQ(s.errors.size(), static_cast<std::size_t>(c.errors));
        EXPECT_EQ(s.w.reports.size(), static_cast<std::size_t>(c.reports));
        EXPECT_EQ(s.w.table.IsOpen(), c.loaded);
        if (c.loaded) {
            EXPECT_TRUE(s.w.Find("Eigen"));
        }
        EXPECT_EQ(!s.files.files.count(Import), c.imported);
        s.files.unreadable.clear();
        s.w.outbox.Flush();
        EXPECT_EQ(Count(s.w.Log(), "KIVO Schakelklok gestart"), c.startLine ? 1 : 0);
    }
}

TEST(StartUp, StopsBetweenStepsOnceTheExitIsConfirmed) {
    Started s;
    int asked = 0;
    s.startUp.Stopped = [&] { return ++asked > 2; }; // after the purge and the load
    EXPECT_FALSE(s.startUp.Run());
    EXPECT_TRUE(s.w.table.IsOpen());
    EXPECT_TRUE(s.files.files.count(Import));
    EXPECT_EQ(Count(s.w.Log(), "gestart"), 0);
}

// The log is read once, by the purge: its kept lines go to whoever follows the log, also when it
// can be read but not rewritten.
TEST(StartUp, ThePurgesReadServesTheRest) {
    const std::string kept = "[06-03-24] [09:00] Taak \"Eigen\" gemist (gepland 06-03-24 08:00)";
    for (const bool writable : {true, false}) {
        SCOPED_TRACE(writable);
        Started s;
        s.files.files[Dir + "kivoklok.log"] = "[01-01-20] [08:00] oud\r\n" + kept + "\r\n";
        if (!writable) s.files.unwritable.insert(Dir + "kivoklok.log");
        std::vector<std::string> read;
        s.startUp.OnLogRead = [&](const std::vector<std::string>& lines) { read = lines; };
        s.startUp.Run();
        EXPECT_EQ(read.back(), kept);
        EXPECT_EQ(read.size(), writable ? 1u : 2u);
    }
}

// A task file locked at start-up is read by the first tick that can read it: until then the
// ticks say nothing more, start nothing, and replace nothing.
TEST(StartUp, ALockedTaskFileIsReadByALaterTick) {
    Started s;
    s.files.unreadable.insert(Dir + "kivoklok.csv");
    const std::string before = s.files.files[Dir + "kivoklok.csv"];
    s.startUp.Run();
    ASSERT_EQ(s.w.reports.size(), 1u);
    for (int minute = 0; minute < 3; ++minute) {
        s.w.At(8, minute, 30);
        s.w.scheduler.Timer1Timer();
        EXPECT_FALSE(s.w.table.IsOpen());
        EXPECT_EQ(s.w.status[2], "Starttijd ");
    }
    EXPECT_EQ(s.w.reports.size(), 1u);
    EXPECT_TRUE(s.w.shell.calls.empty());
    EXPECT_EQ(s.files.files[Dir + "kivoklok.csv"], before);
    EXPECT_TRUE(s.files.files.count(Import));

    s.files.unreadable.clear();
    s.w.At(8, 3, 30);
    s.w.scheduler.Timer1Timer();
    EXPECT_TRUE(s.w.table.IsOpen());
    EXPECT_EQ(s.w.Starts("prog.exe"), 1) << "its window still open";
    EXPECT_FALSE(s.files.files.count(Import)) << "merged by the same tick";
    EXPECT_TRUE(s.w.Find("KIVO TAAK x"));
    EXPECT_TRUE(s.w.Find("Eigen"));
}

// Only the writer's own temporary files go, and before anything is written.
TEST(StartUp, RemovesWhatInterruptedRewritesLeft) {
    Started s;
    const std::vector<std::pair<std::string, bool>> names = {
        {"kivoklok.csv.tmp123", true},    {"kivoklok.log.tmp7", true},
        {"kivoklok.csv.tmp", false},      {"kivoklok.csv.tmpx1", false},
        {"kivoklok.csv.tmp1.bak", false}, {"ander.csv.tmp12", false},
        {"sub\\kivoklok.csv.tmp5", false}};
    for (const auto& [name, gone] : names) s.files.files[Dir + name] = "half";
    s.files.files[Dir + "kivoklok.log"] = "";
    s.files.unwritable.insert(Dir + "kivoklok.log"); // whatever else fails
    s.startUp.Run();
    for (const auto& [name, gone] : names)
        EXPECT_EQ(!s.files.files.count(Dir + name), gone) << name;
}

} // namespace
} // namespace kivo::test
