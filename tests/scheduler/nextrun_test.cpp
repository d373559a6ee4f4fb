// The next run of a task, as the minute tick would give it.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "algemeen/datetime.h"
#include "scheduler/nextrun.h"

namespace kivo {
namespace {

WallMs At(int day, int month, int hour, int minute, int year = 2024) {
    return WallMs{DayNumber({year, month, day})} * MSecsPerDay + (hour * 60LL + minute) * 60'000;
}

std::int32_t Day(int day, int month, int year = 2024) {
    return DayNumber({year, month, day});
}

DueTask T(std::int32_t starttijd, int frekwentie, bool uren = false,
          std::optional<std::int32_t> laatstekeer = std::nullopt) {
    DueTask task;
    task.starttijd = starttijd;
    task.frekwentie = frekwentie;
    task.uren = uren;
    task.laatstekeer = laatstekeer;
    return task;
}

TEST(NextRun, AsTheTickWouldStartTheTask) {
    constexpr std::int32_t H = 3'600'000, M = 60'000;
    struct Row {
        const char* what;
        DueTask task;
        WallMs now;
        std::optional<WallMs> next;
    };
    const Row rows[] = {
        {"daily, later today", T(8 * H, 1), At(7, 3, 7, 59), At(7, 3, 8, 0)},
        {"daily, its window still open", T(8 * H, 1), At(7, 3, 8, 14), At(7, 3, 8, 0)},
        {"daily, its window just over", T(8 * H, 1), At(7, 3, 8, 15), At(8, 3, 8, 0)},
        {"daily, ran today", T(8 * H, 1, false, Day(7, 3)), At(7, 3, 7, 0), At(8, 3, 8, 0)},
        {"every 3 days", T(8 * H, 3, false, Day(6, 3)), At(7, 3, 7, 0), At(9, 3, 8, 0)},
        {"every 3 days, long ago", T(8 * H, 3, false, Day(1, 1)), At(7, 3, 9, 0), At(8, 3, 8, 0)},
        {"Frekwentie 0: every tick of the window", T(8 * H, 0, false, Day(7, 3)), At(7, 3, 8, 5),
         At(7, 3, 8, 0)},
        {"a last run in the future counts as today", T(8 * H, 1, false, Day(12, 3)), At(7, 3, 7, 0),
         At(8, 3, 8, 0)},
        {"the window midnight cuts short", T(23 * H + 50 * M, 1), At(7, 3, 23, 59),
         At(7, 3, 23, 50)},
        {"no moment after its start time", T(24 * H - 1, 1), At(7, 3, 9, 0), std::nullopt},
        {"hourly, caught up to its slot", T(8 * H, 2, true, Day(7, 3)), At(7, 3, 13, 5),
         At(7, 3, 14, 0)},
        {"hourly, slot wrapped past midnight", T(1 * H, 3, true, Day(7, 3)), At(7, 3, 22, 30),
         At(8, 3, 1, 0)},
        {"hourly 24: daily at its time", T(6 * H + 10 * M, 24, true, Day(7, 3)), At(7, 3, 7, 0),
         At(8, 3, 6, 10)},
        {"hourly 48, ran yesterday", T(18 * H, 48, true, Day(6, 3)), At(7, 3, 19, 0),
         At(8, 3, 18, 0)},
        {"hourly, Frekwentie 0 steps by the hour", T(8 * H + 30 * M, 0, true, Day(7, 3)),
         At(7, 3, 10, 50), At(7, 3, 11, 30)},
        {"hourly, never run: waits for its time", T(20 * H, 2, true), At(7, 3, 9, 0),
         At(7, 3, 20, 0)},
        // Summer time: the slot as the wall clock names it. In spring 02:30 does not exist and
        // the first tick after 03:00 starts it; in autumn 02:30 comes twice and runs once.
        {"spring, slot in the skipped hour", T(2 * H + 30 * M, 1), At(31, 3, 1, 0),
         At(31, 3, 2, 30)},
        {"autumn, 02:30 the second time", T(2 * H + 30 * M, 1, false, Day(27, 10)),
         At(27, 10, 2, 40), At(28, 10, 2, 30)},
        {"hourly over the autumn change", T(3 * H, 1, true, Day(27, 10)), At(27, 10, 2, 10),
         At(27, 10, 3, 0)},
    };
    FormatSettings settings;
    for (const Row& row : rows) {
        const std::optional<WallMs> next = NextRun(row.task, row.now);
        auto text = [&](std::optional<WallMs> t) {
            return t ? WallText(*t, settings) : std::string("never");
        };
        EXPECT_EQ(text(next), text(row.next)) << row.what;
    }
}

} // namespace
} // namespace kivo
