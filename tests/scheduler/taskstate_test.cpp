#include <gtest/gtest.h>

#include <optional>

#include "algemeen/datetime.h"
#include "scheduler/taskstate.h"

namespace kivo {
namespace {

constexpr std::int32_t Day0 = 45358; // 07-03-24
constexpr std::int64_t Min = 60'000;

WallMs At(int dayOffset, int hour, int minute, int second = 0) {
    return (static_cast<WallMs>(Day0) + dayOffset) * MSecsPerDay +
           ((hour * 60LL + minute) * 60 + second) * 1000;
}

DueTask Task(int hour, int minute, int frekwentie, std::optional<int> lastDayOffset,
             bool uren = false) {
    DueTask t;
    t.starttijd = static_cast<std::int32_t>((hour * 60 + minute) * Min);
    t.frekwentie = frekwentie;
    t.uren = uren;
    if (lastDayOffset) t.laatstekeer = Day0 + *lastDayOffset;
    return t;
}

TaskState Judged(WallMs at, const DueTask& seen) {
    TaskState s;
    s.judged = at;
    s.seen = seen;
    return s;
}

// One task at one tick: start it, note a slot it missed, or nothing.
TEST(JudgeTask, StartNoteOrNothing) {
    const DueTask daily = Task(9, 3, 1, -1);
    const DueTask evening = Task(20, 0, 1, -1);
    const DueTask everyTick = Task(8, 0, 0, -1);
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
         Task(9, 10, 1, -1),
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
         Task(2, 30, 1, -1),
         Judged(At(0, 1, 59, 30), Task(2, 30, 1, -1)),
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

TEST(JudgeTask, WhatItRecords) {
    // An hourly start moves to the next slot; a last run after today counts as today, once.
    const Judgement hourly = JudgeTask(Task(8, 0, 2, 0, true), TaskState{}, {At(0, 10, 1)});
    EXPECT_TRUE(hourly.start);
    EXPECT_EQ(hourly.starttijd, 12 * 60 * Min);
    EXPECT_EQ(hourly.laatstekeer, Day0);

    const DueTask ahead = Task(8, 0, 1, 3);
    const Judgement first = JudgeTask(ahead, TaskState{}, {At(0, 12, 0)});
    EXPECT_TRUE(first.futureNote);
    EXPECT_EQ(first.laatstekeer, Day0);
    EXPECT_FALSE(JudgeTask(ahead, first.next, {At(0, 12, 1)}).futureNote);

    // The user's start time holds for the day it was stored, and then goes.
    TaskState honoured;
    honoured.startTimeDay = Day0;
    EXPECT_EQ(JudgeTask(ahead, honoured, {At(0, 7, 0)}).next.startTimeDay, Day0);
    EXPECT_FALSE(JudgeTask(ahead, honoured, {At(1, 7, 0)}).next.startTimeDay);
}

} // namespace
} // namespace kivo
