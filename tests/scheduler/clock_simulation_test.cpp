// More than a year of a PC that sleeps, is switched off, has its clock corrected and changes to
// and from summer time by the Dutch rules, over a mix of daily and hourly tasks. The invariants:
// every slot is started once or lies in the gap of exactly one note, which names the latest
// slot of that gap; no slot is started twice; no note names a started slot; and each clock
// correction is noted once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "logbook/logbook.h"
#include "scheduler/missed.h"
#include "scheduler/scheduler_fakes.h"
#include "scheduler/startup.h"

namespace kivo::test {
namespace {

constexpr std::int64_t Min = 60'000;
constexpr std::int64_t Hour = 60 * Min;
constexpr std::int64_t Day = MSecsPerDay;
#ifdef NDEBUG
constexpr int SimulatedDays = 460; // through the changes of 2024 and the spring of 2025
#else
constexpr int SimulatedDays = 100; // the sanitizers' build: through the spring of 2024
#endif

std::int64_t FloorDay(std::int64_t t) {
    return t >= 0 ? t / Day : -((-t + Day - 1) / Day);
}

// Minutes ahead of UTC in the Netherlands: summer time from the last Sunday of March to the last
// Sunday of October, 01:00 UTC both.
int DutchOffset(std::int64_t utc) {
    const int year = CivilFromDayNumber(static_cast<std::int32_t>(FloorDay(utc))).year;
    auto lastSunday = [year](int month) {
        std::int32_t d = DayNumber({year, month, DaysInMonth(year, month)});
        while ((d + 6) % 7 != 0) --d; // day 0, 30-12-1899, was a Saturday
        return static_cast<std::int64_t>(d);
    };
    return utc >= lastSunday(3) * Day + Hour && utc < lastSunday(10) * Day + Hour ? 120 : 60;
}

// A task and what it should have had: its slots on the wall clock, by a model of its own.
struct SimTask {
    SimTask(std::string n, int h, int m, int f, bool u)
        : name(std::move(n)), hour(h), minute(m), frekwentie(f), uren(u) {}
    std::string name;
    int hour, minute, frekwentie;
    bool uren;
    bool modelled = true;          // the grid of an hourly count that does not divide a day is not
    std::int32_t lastStartDay = 0; // daily
    WallMs lastStartSlot = 0;      // hourly
    WallMs lastJudge = 0;
    std::set<WallMs> started, noted;

    std::int64_t Start() const { return (hour * 60LL + minute) * Min; }
    std::int64_t Step() const { return std::max(frekwentie, 1) * Hour; }
    // The slot of this day's grid at or before `t`... every slot in [a, b], latest first.
    std::optional<WallMs> LatestDue(WallMs a, WallMs b) const {
        for (std::int64_t day = FloorDay(b); day >= FloorDay(a) - 1; --day) {
            std::vector<WallMs> slots;
            if (!uren || frekwentie >= 24) {
                slots.push_back(day * Day + Start());
            } else {
                for (std::int64_t s = Start() % Step(); s < Day; s += Step())
                    slots.push_back(day * Day + s);
            }
            std::sort(slots.rbegin(), slots.rend());
            for (WallMs s : slots)
                if (s >= a && s <= b && Due(s)) return s;
        }
        return std::nullopt;
    }
    bool Due(WallMs slot) const {
        if (!uren) return FloorDay(slot) >= lastStartDay + std::max(frekwentie, 1);
        if (frekwentie >= 24) return FloorDay(slot) > lastStartDay;
        return slot > lastStartSlot;
    }
};

struct Event {
    WallMs at;
    std::string what;
};

TEST(ClockSimulation, SleepsStopsSummerTimeAndClockJumps) {
    std::vector<SimTask> tasks = {
        {"D1 0800", 8, 0, 1, false},   {"D2 1230", 12, 30, 2, false}, {"D3 0230", 2, 30, 3, false},
        {"D7 2355", 23, 55, 7, false}, {"D1 0215", 2, 15, 1, false},  {"H1 0020", 0, 20, 1, true},
        {"H2 0700", 7, 0, 2, true},    {"H5 0900", 9, 0, 5, true},    {"H24 0610", 6, 10, 24, true},
        {"H1 0245", 2, 45, 1, true},
    };
    tasks[7].modelled = false; // 5 hours
    std::map<std::string, SimTask*> byProgram;
    for (auto& t : tasks) byProgram[t.name + ".exe"] = &t;

    MemFiles files;
    const std::string dir = "C:\\Sim\\";
    const CivilDate first{2024, 1, 1};
    const std::int32_t day0 = DayNumber(first);

    // The clock: UTC and the monotonic count are kept here; the fake follows them.
    std::int64_t utc = day0 * Day + 1000 - 60 * Min; // 00:00:01 in winter time
    FakeClock clock;
    clock.SetUtcOffset(60);
    clock.Set(first.year, first.month, first.day, 0, 0, 1);
    auto setOffset = [&] {
        const int offset = DutchOffset(utc);
        if (offset != clock.Read().utcOffsetMinutes) clock.SetUtcOffset(offset);
    };
    auto pass = [&](std::int64_t ms) { // time that passes, asleep or awake
        utc += ms;
        clock.Advance(ms);
        setOffset();
    };
    auto jump = [&](std::int64_t ms) { // the wall clock alone
        utc += ms;
        clock.Jump(ms);
        setOffset();
    };
    auto wall = [&] { return WallOf(clock.Read().local); };

    std::unique_ptr<World> w;
    auto boot = [&] {
        w = std::make_unique<World>(files, dir);
        w->clock = clock;
    };
    boot();
    for (auto& t : tasks) {
        char at[8];
        std::snprintf(at, sizeof at, "%02d:%02d", t.hour, t.minute);
        w->Add({.omschrijving = t.name,
                .starttijd = at,
                .frekwentie = t.frekwentie,
                .uren = t.uren,
                .laatstekeer = day0 - 1,
                .programma = t.name + ".exe",
                .dagen = !t.uren});
        t.lastStartDay = day0 - 1;
        // Starttijd is the slot after the last run: on that day, or the next when it wrapped.
        const bool wrapped = t.uren && t.frekwentie < 24 && t.Start() < (t.frekwentie % 24) * Hour;
        t.lastStartSlot = (day0 - 1 + (wrapped ? 1 : 0)) * Day + t.Start() - t.Step();
        t.lastJudge = (day0 - 1) * Day;
    }
    w->taskFile.SaveTasks();

    std::mt19937 random(20241027);
    std::uniform_int_distribution<int> chance(0, 99999);
    std::uniform_int_distribution<int> jitter(0, 400);
    std::vector<std::string> failures;
    auto fail = [&](const std::string& what) {
        if (failures.size() < 25) failures.push_back(what);
    };
    std::vector<std::string> keptLines; // the missed notes the log still holds
    std::string keptLog;
    long ticks = 0, restarts = 0, sleeps = 0, corrections = 0, correctionNotes = 0, springs = 0,
         cronStarts = 0, notes = 0;

    // What the program wrote since the last look: starts (by the shell) and notes (by the log).
    std::size_t seenCalls = 0;
    auto look = [&](WallMs at, bool startUp, bool sprang) {
        std::map<SimTask*, std::vector<WallMs>> newNotes;
        // What the log gained since the last look: it keeps only the missed notes of the last
        // days, which is what a start-up reads back; the new lines follow them.
        const std::string log = w->Log();
        const bool appended = log.compare(0, keptLog.size(), keptLog) == 0;
        std::vector<std::string> lines =
            SplitLogLines(appended ? std::string_view(log).substr(keptLog.size()) : log);
        std::vector<std::string> kept;
        if (appended) kept = keptLines;
        for (const std::string& line : lines) {
            if (line.find("] Klok verzet van ") != std::string::npos) ++correctionNotes;
            auto note = ParseMissedNote(line);
            if (!note) continue;
            kept.push_back(line);
            if (!appended && std::find(keptLines.begin(), keptLines.end(), line) != keptLines.end())
                continue;
            SimTask* task = nullptr;
            for (auto& t : tasks)
                if (t.name == note->first) task = &t;
            int d = 0, m = 0, y = 0, hh = 0, mm = 0;
            if (std::sscanf(note->second.c_str(), "%d-%d-%d %d:%d", &d, &m, &y, &hh, &mm) == 5)
                newNotes[task].push_back(DayNumber({2000 + y, m, d}) * Day +
                                         (hh * 60LL + mm) * Min);
            ++notes;
        }
        if (kept.size() > 100) kept.erase(kept.begin(), kept.end() - 100);
        keptLines = kept;
        keptLog.clear();
        for (const std::string& line : kept) keptLog += line + "\r\n";
        files.files[w->log.Path()] = keptLog;

        std::map<SimTask*, int> newStarts;
        for (; seenCalls < w->shell.calls.size(); ++seenCalls)
            ++newStarts[byProgram.at(w->shell.calls[seenCalls].file)];

        for (SimTask& t : tasks) {
            auto when = [&] {
                return " at " + WallText(at, w->settings) + (startUp ? " (start-up)" : "");
            };
            const auto& n = newNotes[&t];
            if (n.size() > 1) fail(t.name + ": two notes" + when());
            std::optional<WallMs> gotNote;
            if (!n.empty()) gotNote = n.front();
            // Taken into t.noted once the expectation is known.
            auto takeNotes = [&] {
                for (WallMs s : n) {
                    if (t.started.count(s)) fail(t.name + ": a note for a started slot" + when());
                    if (!t.noted.insert(s).second) fail(t.name + ": a slot noted twice" + when());
                }
            };
            // Its slot, when it started: the task's fields after the start tell it.
            std::optional<WallMs> startedSlot;
            if (newStarts[&t] > 1) fail(t.name + ": started twice in one tick" + when());
            if (newStarts[&t] == 1) {
                ASSERT_TRUE(w->Find(t.name));
                const std::int64_t today = FloorDay(at);
                if (!t.uren) {
                    startedSlot = today * Day + t.Start();
                } else {
                    const auto next = static_cast<std::int64_t>(
                        ToMilliseconds(w->table.AsDateTime(Field::Starttijd)));
                    std::int64_t s = next - t.Step() % Day;
                    WallMs slot = today * Day + ((s % Day) + Day) % Day;
                    while (slot > at) slot -= Day;
                    startedSlot = slot;
                }
                if (!t.started.insert(*startedSlot).second)
                    fail(t.name + ": slot started twice" + when());
            }
            if (!t.modelled) {
                takeNotes();
                for (WallMs s : n)
                    if (s < t.lastJudge || WindowEnd(s) > at)
                        fail(t.name + ": a note outside its gap" + when());
                if (startedSlot) t.lastStartSlot = *startedSlot;
                t.lastJudge = std::max(t.lastJudge, startUp ? at - DueWindowMs : at);
                continue;
            }

            // What the model expects: the latest due slot whose window passed since the task was
            // last judged, noted (or, after summer time sprang forward, started); and a start
            // for a window that is open now.
            std::optional<WallMs> missed;
            for (std::optional<WallMs> s = t.LatestDue(t.lastJudge, at); s;
                 s = t.LatestDue(t.lastJudge, *s - 1))
                if (WindowEnd(*s) <= at) {
                    missed = s;
                    break;
                }
            std::optional<WallMs> open;
            if (!startUp)
                if (auto s = t.LatestDue(at - DueWindowMs, at); s && *s < at && WindowEnd(*s) > at)
                    open = s;
            std::optional<WallMs> wantNote, wantStart = open;
            if (missed && sprang) {
                if (!open) wantStart = missed; // summer time skipped its window
                ++cronStarts;
            } else if (missed && !t.noted.count(*missed)) {
                wantNote = missed; // unless an earlier run noted it already
            }
            takeNotes();
            if (wantNote != gotNote)
                fail(t.name + ": note " + (gotNote ? WallText(*gotNote, w->settings) : "none") +
                     ", expected " + (wantNote ? WallText(*wantNote, w->settings) : "none") +
                     when());
            if (wantStart != startedSlot)
                fail(t.name + ": start " +
                     (startedSlot ? WallText(*startedSlot, w->settings) : "none") + ", expected " +
                     (wantStart ? WallText(*wantStart, w->settings) : "none") + when());
            if (startedSlot) {
                t.lastStartDay = static_cast<std::int32_t>(FloorDay(at));
                t.lastStartSlot = *startedSlot;
            }
            t.lastJudge = std::max(t.lastJudge, startUp ? at - DueWindowMs : at);
        }
    };

    auto startUp = [&] {
        boot();
        w->table.CloseTable();
        w->startUp.Run();
        seenCalls = 0;
        look(wall(), true, false);
        ++restarts;
    };
    startUp();
    pass(Min);

    const std::int64_t end = (day0 + SimulatedDays) * Day;
    ClockReading last = clock.Read();
    while (wall() < end && failures.size() < 25) {
        const ClockReading now = clock.Read();
        const ClockStep step = CompareReadings(last, now);
        last = now;
        w->clock = clock;
        w->scheduler.Timer1Timer();
        ++ticks;
        springs += step.SprangForward();
        look(wall(), false, step.SprangForward());
        ASSERT_TRUE(w->reports.empty()) << w->reports.front();
        pass(Min + jitter(random));

        // Awake through the changes of 2024, left to chance in 2025.
        const bool nearChange =
            DutchOffset(utc - 3 * Hour) != DutchOffset(utc + 3 * Hour) &&
            CivilFromDayNumber(static_cast<std::int32_t>(FloorDay(utc))).year == 2024;
        const int roll = nearChange ? 99999 : chance(random);
        const int hourOfDay = static_cast<int>(wall() % Day / Hour);
        const bool midday = hourOfDay >= 4 && hourOfDay < 21;
        if (roll < 150) {
            // Asleep: minutes to days, the log-scale spread.
            std::uniform_real_distribution<double> scale(0.0, 8.5);
            pass(static_cast<std::int64_t>(Min * std::exp(scale(random))));
            ++sleeps;
        } else if (roll < 230) {
            // Switched off, then started again: the first tick a minute after the start-up.
            std::uniform_real_distribution<double> scale(0.0, 8.0);
            pass(static_cast<std::int64_t>(Min * std::exp(scale(random))));
            startUp();
            last = clock.Read();
            pass(Min);
        } else if (roll < 260 && midday) {
            std::uniform_int_distribution<std::int64_t> ahead(190 * Min, 480 * Min);
            jump(ahead(random)); // a correction of hours: noted
            ++corrections;
        } else if (roll < 290 && midday) {
            std::uniform_int_distribution<std::int64_t> ahead(20 * Min, 170 * Min);
            jump(ahead(random)); // forward, but not so far that it is taken for a correction
        } else if (roll < 320 && midday) {
            std::uniform_int_distribution<std::int64_t> back(6 * Min, 50 * Min);
            jump(-back(random)); // back: noted
            ++corrections;
        } else if (roll < 340 && midday) {
            std::uniform_int_distribution<std::int64_t> back(Min, 4 * Min);
            jump(-back(random));
        }
    }

    for (const std::string& f : failures) ADD_FAILURE() << f;
    EXPECT_TRUE(failures.empty());
    EXPECT_GT(ticks, SimulatedDays * 500);
    EXPECT_GT(restarts, SimulatedDays / 5);
    EXPECT_GT(sleeps, SimulatedDays / 2);
    EXPECT_EQ(correctionNotes, corrections);
    EXPECT_GE(springs, 1) << "awake through a spring change at least once";
    EXPECT_GE(cronStarts, 3) << "the skipped hour's tasks";
    EXPECT_GT(notes, SimulatedDays);
    for (const SimTask& t : tasks) EXPECT_GT(t.started.size(), 5u) << t.name;
}

} // namespace
} // namespace kivo::test
