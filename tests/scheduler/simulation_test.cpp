// A year and more of minute ticks for a mix of daily and hourly tasks, with the program paused,
// suspended and restarted from its task file, and the log refusing to be written for stretches,
// checked against the windows each task should have: each is started once, whatever the log
// does, and every start's line reaches the log once, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "logbook/logbook.h"
#include "scheduler/duerule.h"
#include "scheduler/missed.h"
#include "scheduler/nextrun.h"
#include "scheduler/scheduler_fakes.h"

namespace kivo::test {
namespace {

constexpr std::int64_t Minute = 60'000;
constexpr std::int64_t Day = MSecsPerDay;
constexpr int SimulatedDays = 420;

std::int64_t Ms(int h, int m) {
    return (h * 60LL + m) * Minute;
}

std::string Time(int h, int m) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", h, m);
    return text;
}

struct SimTask {
    TaskSpec spec;
    std::vector<std::int64_t> slots; // times of day of its windows; empty: spacing only
    int everyDays = 0;               // > 0: at most once in that many days
    bool waitsForFirstRun = false;   // hourly: slots count from its first start on
    std::int64_t minSpacing = 0;
    std::vector<std::int64_t> starts; // absolute milliseconds since the simulation began
};

SimTask Daily(const std::string& name, int h, int m, int f) {
    SimTask t;
    t.spec = {
        .omschrijving = name, .starttijd = Time(h, m), .frekwentie = f, .programma = name + ".exe"};
    t.slots = {Ms(h, m)};
    t.everyDays = f;
    t.minSpacing = f * Day - DueWindowMs;
    return t;
}

SimTask Hourly(const std::string& name, int h, int m, int f) {
    SimTask t;
    t.spec = {.omschrijving = name,
              .starttijd = Time(h, m),
              .frekwentie = f,
              .uren = true,
              .programma = name + ".exe",
              .dagen = false};
    const int step = f > 0 ? f : 1;
    t.minSpacing = step * 60 * Minute - DueWindowMs;
    if (step >= 24) {
        t.slots = {Ms(h, m)};
        t.everyDays = step / 24;
    } else if (24 % step == 0) {
        for (std::int64_t s = Ms(h, m) % (step * 60 * Minute); s < Day; s += step * 60 * Minute)
            t.slots.push_back(s);
        t.waitsForFirstRun = true;
    }
    return t;
}

// The slot of the window that holds this time of day, if any.
std::optional<std::int64_t> WindowSlot(const SimTask& t, std::int64_t timeOfDay) {
    auto it = std::lower_bound(t.slots.begin(), t.slots.end(), timeOfDay);
    if (it == t.slots.begin()) return std::nullopt;
    --it; // the last slot before now
    if (timeOfDay - *it < DueWindowMs) return *it;
    return std::nullopt;
}

// Each start comes in the window of the next run predicted after the task's previous start, as
// long as no pause lay between.
struct NextRunCheck {
    std::map<std::string, WallMs> predicted; // by program
    void Started(World& w, const std::string& program, WallMs at,
                 const std::function<void(const std::string&)>& fail) {
        if (auto p = predicted.find(program);
            p != predicted.end() && !(p->second < at && at < p->second + DueWindowMs))
            fail(program + " started at " + std::to_string(at) + ", not in the window predicted");
        for (int i = 0; i < w.table.TaskCount(); ++i)
            if (w.table.TaskAt(i).Programma == program) {
                if (auto next = w.scheduler.NextStart(i, at)) predicted[program] = *next;
            }
    }
};

TEST(Simulation, FourHundredDaysOfTicks) {
    std::vector<SimTask> tasks = {
        Daily("D08", 8, 0, 1),     Daily("D12", 12, 30, 3), Daily("D2359", 23, 59, 1),
        Daily("D0005", 0, 5, 2),   Hourly("H1", 0, 20, 1),  Hourly("H2", 7, 0, 2),
        Hourly("H3", 22, 30, 3),   Hourly("H6", 23, 55, 6), Hourly("H24", 6, 10, 24),
        Hourly("H48", 18, 45, 48), Hourly("H5", 9, 0, 5),   Hourly("H0", 0, 40, 0),
        Hourly("H7", 21, 17, 7),
    };
    std::map<std::string, SimTask*> byProgram;
    for (auto& t : tasks) byProgram[t.spec.programma] = &t;

    MemFiles files;
    const std::string dir = "C:\\Sim\\";
    const CivilDate first{2024, 1, 1};
    const std::int32_t firstDay = DayNumber(first);
    auto makeWorld = [&](std::int64_t at) {
        auto w = std::make_unique<World>(files, dir);
        w->clock.Set(first.year, first.month, first.day, 0, 0, 0, 0);
        w->clock.Advance(at);
        return w;
    };

    std::unique_ptr<World> w = makeWorld(0);
    for (const auto& t : tasks) w->Add(t.spec);
    w->taskFile.SaveTasks();

    std::mt19937 random(20240101);
    std::uniform_int_distribution<int> jitter(0, 500);
    std::uniform_int_distribution<int> chance(0, 9999);
    std::uniform_int_distribution<std::int64_t> longPause(Minute, 30 * 60 * Minute);
    std::uniform_int_distribution<std::int64_t> shortPause(Minute, 25 * Minute);

    int failures = 0;
    auto fail = [&](const std::string& what) {
        if (++failures <= 20) ADD_FAILURE() << what;
    };
    long ticks = 0, restarts = 0, lockedStretches = 0;
    // The log refuses writes (a backup holds it) until lockedUntil.
    std::int64_t lockedUntil = -1;
    std::uniform_int_distribution<std::int64_t> lockLength(Minute, 120 * Minute);
    // The slots noted as missed, by task; the start lines the log received, and the latest
    // moment a line of it named.
    std::map<SimTask*, std::vector<std::int64_t>> noted;
    long startLines = 0;
    std::string latestStamp;
    const std::int64_t origin = static_cast<std::int64_t>(firstDay) * Day;
    NextRunCheck nextRuns;
    std::int64_t t = 60'000 + 123;
    const std::int64_t end = SimulatedDays * Day;
    while (t < end) {
        w->clock.Set(first.year, first.month, first.day, 0, 0, 0, 0);
        w->clock.Advance(t);
        ASSERT_EQ(DayNumber(w->clock.Now().date) - firstDay, t / Day);
        const std::size_t before = w->shell.calls.size();
        const bool locked = t < lockedUntil;
        if (!locked) files.unwritable.erase(w->log.Path());
        w->scheduler.Timer1Timer();
        ++ticks;
        if (files.files.count(w->log.Path()))
            for (const std::string& line : SplitLogLines(files.files[w->log.Path()])) {
                // "[dd-mm-yy] [hh:nn]" as yy mm dd hh nn: in the order the lines were made.
                const std::string stamp =
                    line.substr(7, 2) + line.substr(4, 2) + line.substr(1, 2) + line.substr(12, 5);
                if (stamp < latestStamp) fail("a line out of order: " + line);
                latestStamp = std::max(latestStamp, stamp);
                startLines += line.find("(automatisch)") != std::string::npos;
                if (auto note = ParseMissedNote(line)) {
                    int d = 0, m = 0, y = 0, hh = 0, mm = 0;
                    ASSERT_EQ(
                        std::sscanf(note->second.c_str(), "%d-%d-%d %d:%d", &d, &m, &y, &hh, &mm),
                        5);
                    const std::int64_t slot =
                        DayNumber({2000 + y, m, d}) * Day + (hh * 60LL + mm) * Minute - origin;
                    noted[byProgram.at(note->first + ".exe")].push_back(slot);
                }
            }
        files.files.erase(w->log.Path()); // keep the log from growing for ever
        if (locked) w->reports.clear();   // the failure's own box
        ASSERT_TRUE(w->reports.empty()) << w->reports.front();

        const std::int64_t timeOfDay = t % Day;
        const std::int64_t day = t / Day;
        for (std::size_t i = before; i < w->shell.calls.size(); ++i) {
            SimTask& task = *byProgram.at(w->shell.calls[i].file);
            if (!task.slots.empty() && !WindowSlot(task, timeOfDay))
                fail(task.spec.omschrijving + " started outside a window at " + std::to_string(t));
            if (!task.starts.empty() && t - task.starts.back() < task.minSpacing)
                fail(task.spec.omschrijving + " started again too soon at " + std::to_string(t));
            task.starts.push_back(t);
            nextRuns.Started(*w, task.spec.programma, WallMs{firstDay} * Day + t, fail);
        }
        // Every window that this tick falls into has had its start by now.
        for (const SimTask& task : tasks) {
            auto slot = WindowSlot(task, timeOfDay);
            if (!slot) continue;
            const std::int64_t opened = day * Day + *slot;
            auto it = std::upper_bound(task.starts.begin(), task.starts.end(), opened);
            const bool startedInWindow = it != task.starts.end() && *it <= t;
            const bool hadEarlier = it != task.starts.begin();
            bool eligible = true;
            if (task.waitsForFirstRun && !hadEarlier) eligible = false;
            if (task.everyDays > 0 && hadEarlier && (*(it - 1)) / Day > day - task.everyDays)
                eligible = false;
            if (eligible && !startedInWindow)
                fail(task.spec.omschrijving + " not started in its window at " + std::to_string(t));
        }

        // The next tick: a minute and a bit later, or later still after a pause.
        std::int64_t next = t + Minute + jitter(random);
        const int roll = chance(random);
        // A pause may miss the window predicted.
        if (roll < 10) nextRuns.predicted.clear();
        if (t >= lockedUntil && roll >= 9990) {
            lockedUntil = next + lockLength(random);
            files.unwritable.insert(w->log.Path());
            ++lockedStretches;
        } else if (roll < 2 && t >= lockedUntil) {
            // Not while notes wait for the log: they would go with the process.
            // The program is closed and started again later; it reads its task file back.
            next += longPause(random);
            w = makeWorld(next);
            w->taskFile.LoadTasks();
            ++restarts;
            next += Minute; // the first tick comes a minute after start-up
        } else if (roll < 10) {
            // The edit panel is open for a while.
            w->scheduler.SuspendScheduling();
            next += shortPause(random);
            w->scheduler.ResumeScheduling();
        }
        t = next;
    }

    // No slot is noted twice, none that started.
    auto startedIn = [](const SimTask& task, std::int64_t from, std::int64_t to) {
        return std::any_of(task.starts.begin(), task.starts.end(),
                           [&](std::int64_t s) { return s >= from && s < to; });
    };
    for (auto& [task, slots] : noted) {
        std::sort(slots.begin(), slots.end());
        if (std::adjacent_find(slots.begin(), slots.end()) != slots.end())
            fail(task->spec.omschrijving + " noted a slot twice");
        for (std::int64_t slot : slots)
            if (startedIn(*task, slot, slot + DueWindowMs))
                fail(task->spec.omschrijving +
                     " noted a slot that started: " + std::to_string(slot));
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(lockedStretches, 100);
    long started = 0;
    for (const SimTask& task : tasks) started += static_cast<long>(task.starts.size());
    EXPECT_EQ(startLines, started) << "each start's line once, the locked stretches included";
    EXPECT_GT(ticks, 400 * 1100);
    EXPECT_GT(restarts, 60);
    for (const SimTask& task : tasks) {
        // Roughly as often as its interval allows, given the pauses.
        const double perDay =
            task.spec.uren ? 24.0 / std::max(1, task.spec.frekwentie) : 1.0 / task.spec.frekwentie;
        EXPECT_GT(task.starts.size(), SimulatedDays * perDay * 0.6) << task.spec.omschrijving;
    }
}

// The next start the overview shows, against the check itself, through what only the scheduler
// knows of a task: the user's edits (another start time, interval or description), the tray's
// run of what was missed, and sleeps. The answer given after each step holds at the next check,
// which starts a task exactly when a window named is open; a window a sleep passed over gets its
// note; the tray's run starts what its question counted.
TEST(Simulation, NextStartHoldsThroughEditsMadeUpRunsAndSleeps) {
    constexpr int Days = 60;
    std::vector<SimTask> tasks = {Daily("D08", 8, 0, 1),    Daily("D2359", 23, 59, 1),
                                  Daily("D0", 12, 0, 0),    Daily("D3", 6, 30, 3),
                                  Hourly("H1", 0, 20, 1),   Hourly("H2", 7, 0, 2),
                                  Hourly("H3", 22, 30, 3),  Hourly("H5", 9, 0, 5),
                                  Hourly("H24", 6, 10, 24), Hourly("H30", 18, 45, 30)};
    MemFiles files;
    World w(files, "C:\\Sim\\");
    w.clock.Set(2024, 1, 1, 0, 0, 30);
    for (SimTask& t : tasks) {
        t.spec.laatstekeer = w.Today() - 1;
        w.Add(t.spec);
    }
    std::mt19937 random(20240312);
    std::uniform_int_distribution<int> chance(0, 999), jitter(0, 900), minute(0, 1439);
    std::uniform_real_distribution<double> sleep(2.5, 7.5);
    auto now = [&] { return WallOf(w.clock.Now()); };
    auto program = [&](int i) { return w.table.TaskAt(i).Programma.value_or(""); };
    using Answers = std::map<std::string, std::optional<WallMs>>; // by program
    auto ask = [&](Answers& answers) {
        for (int i = 0; i < w.table.TaskCount(); ++i)
            answers[program(i)] = w.scheduler.NextStart(i, now());
    };
    Answers predicted;
    std::map<std::string, WallMs> lastStart;
    int failures = 0, edits = 0, madeUp = 0, passed = 0;
    auto fail = [&](const std::string& what) {
        if (++failures <= 20) ADD_FAILURE() << what << " at " << WallText(now(), w.settings);
    };
    w.scheduler.Timer1Timer();
    const WallMs end = now() + Days * Day;
    for (ask(predicted); now() < end; ask(predicted)) {
        const int roll = chance(random);
        const bool slept = roll < 8;
        w.clock.Advance(Minute + jitter(random));
        if (slept) w.clock.Advance(static_cast<std::int64_t>(Minute * std::exp(sleep(random))));
        const WallMs t = now();
        Answers due; // asked at the check's own moment
        ask(due);
        const std::size_t calls = w.shell.calls.size();
        w.scheduler.Timer1Timer();
        std::set<std::string> started, noted;
        for (std::size_t c = calls; c < w.shell.calls.size(); ++c)
            started.insert(w.shell.calls[c].file);
        for (const std::string& line : SplitLogLines(files.files[w.log.Path()]))
            if (auto note = ParseMissedNote(line)) noted.insert(note->first);
        files.files.erase(w.log.Path());
        for (int i = 0; i < w.table.TaskCount(); ++i) {
            const std::string p = program(i);
            const std::optional<WallMs> next = predicted[p];
            const bool open = next && *next < t && t < WindowEnd(*next);
            const bool dueNow = due[p] && *due[p] < t;
            if (started.count(p) != dueNow || (!slept && open != dueNow))
                fail(p + (dueNow ? " due" : " not due") + ", predicted " +
                     (next ? WallText(*next, w.settings) : "never"));
            const bool over = next && WindowEnd(*next) <= t && !(lastStart[p] >= *next);
            if (over && !noted.count(w.table.TaskAt(i).Omschrijving.value_or("")))
                fail(p + ": the window of " + WallText(*next, w.settings) + " passed unnoted");
            passed += over;
            if (started.count(p)) lastStart[p] = t;
        }
        // Between checks: the panel's OK, or the tray's run of what was missed.
        w.clock.Advance(jitter(random) * 10);
        if (roll >= 990) {
            const int place = static_cast<int>(random() % w.table.TaskCount());
            const TaskId id = w.table.IdAt(place);
            ASSERT_TRUE(w.table.GotoId(id));
            w.table.EditCurrent();
            const int at = minute(random);
            if (roll % 3 == 0) w.table.SetString(Field::Starttijd, Time(at / 60, at % 60));
            if (roll % 3 == 1) w.table.SetInteger(Field::Frekwentie, at % 31);
            if (roll % 3 == 2)
                w.table.SetString(Field::Omschrijving, program(place) + std::to_string(edits));
            w.core.history.Renamed(w.table);
            w.table.PostTask();
            if (roll % 3 == 0) w.scheduler.HonourStartTime(id);
            w.scheduler.TaskChanged(id);
            ++edits;
        } else if (roll >= 960) {
            const int asked = w.scheduler.MissedTaskCount(true);
            EXPECT_EQ(w.scheduler.RunMissed(), asked) << "as many as the question said";
            madeUp += asked;
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(edits, Days / 2);
    EXPECT_GT(madeUp, Days / 4);
    EXPECT_GT(passed, Days / 2);
}

} // namespace
} // namespace kivo::test
