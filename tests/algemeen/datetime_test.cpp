#include "algemeen/datetime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace kivo {
namespace {

TEST(DateTime, DayNumbersRoundTripOverTheWholeRange) {
    EXPECT_EQ(DayNumber({1899, 12, 30}), 0);
    EXPECT_EQ(DayNumber({1900, 1, 1}), 2);
    EXPECT_EQ(DayNumber({2024, 3, 5}), 45356);
    EXPECT_EQ(DayNumber({1, 1, 1}), -693593);
    EXPECT_EQ(DayNumber({9999, 12, 31}), 2958465);
    for (std::int32_t d = -693593; d <= 2958465; d += 997) {
        const CivilDate c = CivilFromDayNumber(d);
        ASSERT_TRUE(IsValidDate(c.year, c.month, c.day)) << d;
        ASSERT_EQ(DayNumber(c), d);
    }
    // No day number an int32 holds may overflow the conversion.
    (void)CivilFromDayNumber(INT32_MIN);
    (void)CivilFromDayNumber(INT32_MAX);
}

TEST(DateTime, CalendarRules) {
    EXPECT_TRUE(IsValidDate(2024, 2, 29));
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
    EXPECT_TRUE(IsValidDate(2000, 2, 29));
    EXPECT_FALSE(IsValidDate(0, 1, 1));
    EXPECT_FALSE(IsValidDate(10000, 1, 1));
    EXPECT_FALSE(IsValidDate(2024, 13, 1));
    EXPECT_FALSE(IsValidDate(2024, 4, 31));
    EXPECT_EQ(DaysInMonth(2024, 0), 0);
}

TEST(DateTime, MillisecondsRoundToNearestEven) {
    EXPECT_EQ(ToMilliseconds(0.5), 43'200'000);
    EXPECT_EQ(ToMilliseconds(EncodeTime(25, 0, 0, 0)), 90'000'000);
    // Exact halves of a millisecond: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
    EXPECT_EQ(ToMilliseconds(0.5 / MSecsPerDay), 0);
    EXPECT_EQ(ToMilliseconds(1.5 / MSecsPerDay), 2);
    EXPECT_EQ(ToMilliseconds(2.5 / MSecsPerDay), 2);
    EXPECT_EQ(ToMilliseconds(-1.5 / MSecsPerDay), -2);
    EXPECT_EQ(ToMilliseconds(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_GT(ToMilliseconds(1e300), 0);
    EXPECT_LT(ToMilliseconds(-1e300), 0);
}

TEST(DateTime, TimeOfDayDropsWholeDays) {
    TimeOfDay t = TimeOfDayFromValue(EncodeTime(25, 0, 0, 0));
    EXPECT_EQ(t.hour, 1);
    EXPECT_EQ(t.minute, 0);
    t = TimeOfDayFromValue(1.0 - 0.3 / MSecsPerDay); // just below midnight lands on 00:00
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.msec, 0);
    t = TimeOfDayFromValue(45356 + EncodeTime(14, 7, 59, 999));
    EXPECT_EQ(t.hour, 14);
    EXPECT_EQ(t.minute, 7);
    EXPECT_EQ(t.second, 59);
    EXPECT_EQ(t.msec, 999);
    t = TimeOfDayFromValue(-0.25);
    EXPECT_EQ(t.hour, 18);
    EXPECT_EQ(DayNumberOfValue(45356 + 0.75), 45356);
    EXPECT_EQ(DayNumberOfValue(1e300), INT32_MAX);
}

TEST(DateTime, MomentParts) {
    const LocalDateTime m{{2024, 3, 7}, {18, 30, 0, 0}};
    EXPECT_EQ(DateOf(m), 45358.0);
    EXPECT_DOUBLE_EQ(TimeOf(m), 18.5 / 24);
}

} // namespace
} // namespace kivo
