#pragma once
// The date-time value: days since 30 December 1899 (day 0); the fraction is the time of day.
#include <cstdint>

#include "platform/localtime.h"

namespace kivo {

using TDateTime = double;

constexpr std::int64_t MSecsPerDay = 86'400'000;

bool IsValidDate(int year, int month, int day); // years 1 to 9999
int DaysInMonth(int year, int month);
// Day number of a valid civil date (30-12-1899 is 0).
std::int32_t DayNumber(const CivilDate& date);
CivilDate CivilFromDayNumber(std::int32_t days);
// Fraction of a day; the parts need not be in range (25:00 gives 1 + 1/24).
TDateTime EncodeTime(int hour, int minute, int second, int msec);
// Whole milliseconds of a value: v x 86 400 000 rounded to nearest, ties to even.
std::int64_t ToMilliseconds(TDateTime value);
// Time of day of a value, by its whole milliseconds modulo one day.
TimeOfDay TimeOfDayFromValue(TDateTime value);
// Day of a value: its whole milliseconds divided by one day, the whole part (kept within 32 bits).
std::int32_t DayNumberOfValue(TDateTime value);

TDateTime DateOf(const LocalDateTime& moment); // midnight of that day
TDateTime TimeOf(const LocalDateTime& moment); // fraction below 1

} // namespace kivo
