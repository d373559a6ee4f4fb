// The overview's rows: when the check starts each task next, as the scheduler knows it, and what
// came of its latest run, as the log tells it.
#include "core/taskoverview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/core_world.h"

namespace kivo::test {
namespace {

TEST(TaskOverview, NextRunsAsTheCheckKnowsThemAndResultsByTheirNumber) {
    MemFiles files;
    CoreWorld w(files, "C:\\App\\");
    w.At(10, 0, 30);
    w.Add({.omschrijving = "Elke tik", .starttijd = "09:55", .frekwentie = 0, .programma = "a"});
    w.Add({.omschrijving = "Middag",
           .starttijd = "14:00",
           .frekwentie = 2,
           .uren = true,
           .laatstekeer = w.Today() - 1,
           .programma = "b"});
    w.Add({.omschrijving = "Tien", .starttijd = "23:00", .programma = "c"});
    w.Add({.omschrijving = "Vier", .starttijd = "23:00", .programma = "d"});
    // The user has just moved "Middag" from 08:00 to 14:00: from its fields alone it would run
    // at 10:00, but the check waits for the new time today.
    ASSERT_TRUE(w.Find("Middag"));
    w.scheduler.HonourStartTime(*w.table.CurrentId());
    const std::string gap(19, ' ');
    w.core.history.Seed({"[07-03-24] [09:00] Taak \"Tien\" (automatisch)" + gap + "c",
                         "[07-03-24] [09:01] Taak \"Tien\" klaar: code 10, duur 0:01:00",
                         "[07-03-24] [09:00] Taak \"Vier\" (automatisch)" + gap + "d",
                         "[07-03-24] [09:01] Taak \"Vier\" klaar: code 4, duur 0:01:00"});
    const auto rows = BuildOverviewRows(w.table, &w.scheduler, w.core.history, &w.runs,
                                        WallOf(w.clock.Now()), w.settings);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].cells[ColVolgende], "nu") << "its window is open";
    EXPECT_EQ(rows[1].cells[ColVolgende], "07-03-24 14:00");
    std::vector<std::string> byResult;
    for (int i : OverviewOrder(rows, ColResultaat, false)) byResult.push_back(rows[i].cells[0]);
    EXPECT_EQ(byResult, (std::vector<std::string>{"Vier", "Tien", "Elke tik", "Middag"}));
}

} // namespace
} // namespace kivo::test
