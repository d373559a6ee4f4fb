// Hourly tasks at the tick: their slots, the step to the next one, and where a slot lands after
// midnight, a night off or a start time the user stored.
#include <gtest/gtest.h>

#include <string>

#include "scheduler/tick_fixture.h"

namespace kivo::test {
namespace {

TEST_F(TickTest, HourlyCatchUpAndStep) {
    w.Add({.omschrijving = "Elke twee uur", .starttijd = "08:00", .frekwentie = 2, .uren = true});
    TickAt(13, 6, 0); // the program started at 13:05
    EXPECT_EQ(Start("Elke twee uur"), "12:00");
    EXPECT_EQ(Started(), 0);
    TickAt(14, 0, 0, 0);
    EXPECT_EQ(Started(), 0);
    TickAt(14, 0, 40);
    EXPECT_EQ(Started(), 1);
    EXPECT_EQ(Start("Elke twee uur"), "16:00");
    EXPECT_EQ(w.Get("Elke twee uur", Field::Laatstekeer), "07-03-24");
    for (int minute = 1; minute < 60; ++minute) TickAt(14, minute, 40);
    EXPECT_EQ(Started(), 1);
    TickAt(16, 0, 1);
    EXPECT_EQ(Started(), 2);
}

TEST_F(TickTest, HourlyWithoutAPositiveCountStepsByOneHour) {
    w.Add({.omschrijving = "Nul uur", .starttijd = "08:00", .frekwentie = 0, .uren = true});
    w.Add({.omschrijving = "Min uur",
           .starttijd = "08:30",
           .frekwentie = -5,
           .uren = true,
           .programma = "m.exe"});
    TickAt(10, 31, 0);
    EXPECT_EQ(Start("Nul uur"), "10:00");
    EXPECT_EQ(Started("m.exe"), 1); // its 10:30 slot
    EXPECT_EQ(Start("Min uur"), "11:30");
    TickAt(11, 0, 30);
    EXPECT_EQ(Started(), 1);
    EXPECT_EQ(Start("Nul uur"), "12:00");
}

TEST_F(TickTest, HourlyNextSlotAfterMidnightWaitsForTheNextDay) {
    w.Add({.omschrijving = "Twee",
           .starttijd = "22:00",
           .frekwentie = 2,
           .uren = true,
           .programma = "2.exe"});
    w.Add({.omschrijving = "Vijf",
           .starttijd = "22:00",
           .frekwentie = 5,
           .uren = true,
           .programma = "5.exe"});
    TickAt(22, 0, 30);
    EXPECT_EQ(Start("Twee"), "00:00");
    EXPECT_EQ(Start("Vijf"), "03:00");
    for (int minute = 1; minute < 120; ++minute) TickAt(22 + minute / 60, minute % 60, 30);
    EXPECT_EQ(Started("2.exe"), 1);
    EXPECT_EQ(Started("5.exe"), 1);
    NextDay();
    TickAt(0, 0, 30);
    EXPECT_EQ(Started("2.exe"), 2);
    EXPECT_EQ(Start("Twee"), "02:00");
    TickAt(2, 59, 0);
    EXPECT_EQ(Started("5.exe"), 1);
    TickAt(3, 0, 30);
    EXPECT_EQ(Started("5.exe"), 2);
    EXPECT_EQ(Start("Vijf"), "08:00");
}

TEST_F(TickTest, HourlyCountsOfADayOrMore) {
    w.Add({.omschrijving = "Dag",
           .starttijd = "06:00",
           .frekwentie = 24,
           .uren = true,
           .programma = "24.exe"});
    w.Add({.omschrijving = "Twee dagen",
           .starttijd = "06:00",
           .frekwentie = 48,
           .uren = true,
           .programma = "48.exe"});
    w.Add({.omschrijving = "Dertig",
           .starttijd = "06:00",
           .frekwentie = 30,
           .uren = true,
           .programma = "30.exe"});
    for (int day = 0; day < 4; ++day) {
        for (int minute = 0; minute < 16; ++minute) TickAt(6, minute, 30);
        for (int minute = 0; minute < 16; ++minute) TickAt(12, minute, 30);
        NextDay();
    }
    EXPECT_EQ(Started("24.exe"), 4);
    EXPECT_EQ(Started("48.exe"), 2);
    // 06:00, then 12:00 the next day; its 18:00 slot of the day after gets no tick here.
    EXPECT_EQ(Started("30.exe"), 2);
    EXPECT_EQ(Start("Dertig"), "18:00");
}

TEST_F(TickTest, HourlySlotsGoOnAfterTheProgramWasOffOvernight) {
    const std::int32_t today = w.Today();
    // Last run yesterday at 16:00; the program was closed before 18:00.
    w.Add({.omschrijving = "Kantoor",
           .starttijd = "18:00",
           .frekwentie = 2,
           .uren = true,
           .laatstekeer = today - 1});
    // Never run: keeps waiting for the start time it was given.
    w.Add({.omschrijving = "Nieuw",
           .starttijd = "14:00",
           .frekwentie = 2,
           .uren = true,
           .programma = "new.exe"});
    TickAt(8, 20, 0);
    EXPECT_EQ(Start("Kantoor"), "08:00");
    EXPECT_EQ(Start("Nieuw"), "14:00");
    TickAt(10, 0, 30);
    EXPECT_EQ(Started(), 1);
    EXPECT_EQ(Start("Kantoor"), "12:00");
    TickAt(12, 1, 0);
    TickAt(14, 1, 0);
    EXPECT_EQ(Started(), 3);
    EXPECT_EQ(Started("new.exe"), 1);
}

TEST_F(TickTest, HourlyStartTimeStoredByTheUserIsHonouredThatDay) {
    const std::int32_t today = w.Today();
    // Both last ran days ago with 15:00 left as their slot; the user has just stored 15:00 in
    // "Gezet", while "Oud" keeps the slot the tick left it.
    for (const char* name : {"Oud", "Gezet"})
        w.Add({.omschrijving = name,
               .starttijd = "15:00",
               .frekwentie = 2,
               .uren = true,
               .laatstekeer = today - 3,
               .programma = std::string(name) + ".exe"});
    w.scheduler.HonourStartTime(*w.table.CurrentId());
    TickAt(11, 5);
    EXPECT_EQ(Started("Oud.exe"), 1) << "slots of an old run go on through the night";
    EXPECT_EQ(Started("Gezet.exe"), 0);
    EXPECT_EQ(Start("Gezet"), "15:00");
    const int gezet = *w.table.PlaceOf(*w.table.CurrentId(), 0);
    EXPECT_EQ(w.scheduler.NextStart(gezet, WallOf(w.clock.Now())), WallAt(today, 15 * HourMs))
        << "as the overview shows it";
    TickAt(15, 5);
    EXPECT_EQ(Started("Gezet.exe"), 1);
    EXPECT_EQ(Start("Gezet"), "17:00");

    // Stored on an earlier day: that slot counts as one the tick left, night rule and all.
    w.Find("Gezet");
    w.table.EditCurrent();
    w.table.SetString(Field::Starttijd, "20:00");
    w.table.SetDateTime(Field::Laatstekeer, today - 3);
    w.table.PostTask();
    w.scheduler.HonourStartTime(*w.table.CurrentId());
    NextDay();
    TickAt(10, 5);
    EXPECT_EQ(Started("Gezet.exe"), 2);
}

} // namespace
} // namespace kivo::test
