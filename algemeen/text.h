#pragma once
// Shared text helpers and the readers and writers of dates, times and integers as text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "algemeen/datetime.h"
#include "platform/formatsettings.h"

namespace kivo {

// Removes every character with a code of 32 or less at both ends.
std::string TrimBlanks(std::string_view text);
// Upper-cases the letters a to z only; every other byte stays.
std::string UpperAZ(std::string_view text);
// Case-blind (a to z only) comparison of two texts.
bool SameTextAZ(std::string_view a, std::string_view b);

std::string WithTrailingBackslash(std::string_view path);
bool IsAllDigits(std::string_view text);
std::int32_t SafeStrToInt(std::string_view text);
TDateTime SafeStrToTime(std::string_view text, const FormatSettings& settings);

// Writing: "hh:nn" with the settings' time separator; "dd-mm-yy" style by the short date format.
std::string FormatTime(TDateTime value, const FormatSettings& settings);
std::string FormatTime(TDateTime value, const FormatSettings& settings, char timeSeparator);
std::string FormatDate(TDateTime value, const FormatSettings& settings);

// Reading. The Try forms never fail; the Str forms fail with the system's messages:
//   "'%s' is not a valid time", "'%s' is not a valid date".
std::optional<TDateTime> TryStrToTime(std::string_view text, const FormatSettings& settings);
std::optional<TDateTime> TryStrToDate(std::string_view text, const FormatSettings& settings,
                                      int currentYear);
TDateTime StrToTime(std::string_view text, const FormatSettings& settings);
TDateTime StrToDate(std::string_view text, const FormatSettings& settings, int currentYear);
// Leading blanks, a sign, decimal digits or a "$", "x" or "0x" hexadecimal form; nullopt otherwise
// or when the value does not fit 32 bits.
std::optional<std::int32_t> TryStrToInt(std::string_view text);
// The year of a date whose year is written with one or two digits: within the hundred years that
// begin the two-digit-year window before the current year.
int FullYearOfShort(int shortYear, const FormatSettings& settings, int currentYear);

// printf-style "%g": the shortest general form of a number, as the range message shows it.
std::string FormatGeneral(double value);

} // namespace kivo
