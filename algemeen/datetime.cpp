#include "algemeen/datetime.h"

#include <cmath>
#include <limits>

namespace kivo {

namespace {

// Day counting on the proleptic Gregorian calendar, in 64 bits so that no day number an int32 can
// hold overflows. Days are counted from 1-1-1970 here and shifted to the 30-12-1899 epoch below.
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr std::int64_t EpochShift = 25569; // 1-1-1970 is day 25569 counted from 30-12-1899

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

} // namespace

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && IsLeapYear(year)) return 29;
    return days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

std::int32_t DayNumber(const CivilDate& date) {
    return static_cast<std::int32_t>(DaysFromCivil(date.year, date.month, date.day) + EpochShift);
}

CivilDate CivilFromDayNumber(std::int32_t days) {
    const std::int64_t z = static_cast<std::int64_t>(days) - EpochShift + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    const std::int64_t ms = static_cast<std::int64_t>(hour) * 3'600'000 +
                            static_cast<std::int64_t>(minute) * 60'000 +
                            static_cast<std::int64_t>(second) * 1000 + msec;
    return static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
}

std::int64_t ToMilliseconds(TDateTime value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even unless someone
    // changed it; the core never does.
    const double ms = std::nearbyint(value * static_cast<double>(MSecsPerDay));
    // Keep NaN and values beyond 64 bits away from the conversion, where they are undefined.
    if (std::isnan(ms)) return 0;
    constexpr double limit = 9.2e18;
    if (ms >= limit) return static_cast<std::int64_t>(limit);
    if (ms <= -limit) return -static_cast<std::int64_t>(limit);
    return static_cast<std::int64_t>(ms);
}

TimeOfDay TimeOfDayFromValue(TDateTime value) {
    std::int64_t ms = ToMilliseconds(value) % MSecsPerDay;
    if (ms < 0) ms += MSecsPerDay;
    TimeOfDay t;
    t.hour = static_cast<int>(ms / 3'600'000);
    t.minute = static_cast<int>(ms / 60'000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.msec = static_cast<int>(ms % 1000);
    return t;
}

std::int32_t DayNumberOfValue(TDateTime value) {
    const std::int64_t days = ToMilliseconds(value) / MSecsPerDay;
    if (days > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (days < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(days);
}

TDateTime DateOf(const LocalDateTime& moment) {
    return DayNumber(moment.date);
}

TDateTime TimeOf(const LocalDateTime& moment) {
    const TimeOfDay& t = moment.time;
    return EncodeTime(t.hour, t.minute, t.second, t.msec);
}

} // namespace kivo
