#include "algemeen/text.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/errors.h"

namespace kivo {
namespace {

const FormatSettings kSettings;

double Day(int y, int m, int d) {
    return DayNumber({y, m, d});
}

TEST(Text, TrimCaseAndBackslash) {
    EXPECT_EQ(TrimBlanks(std::string("\t \x01 ab c\r\n\0", 11)), "ab c");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(UpperAZ("kivo taak \xe9z"), "KIVO TAAK \xe9Z");
    EXPECT_TRUE(SameTextAZ("Kivo Taak", "KIVO TAAK"));
    EXPECT_FALSE(SameTextAZ("\xe9", "\xc9")); // only a to z fold
    EXPECT_FALSE(SameTextAZ("ab", "abc"));
    EXPECT_EQ(WithTrailingBackslash(" C:\\Tools "), "C:\\Tools\\");
    EXPECT_EQ(WithTrailingBackslash("C:\\Tools\\"), "C:\\Tools\\");
    EXPECT_EQ(WithTrailingBackslash(" \t "), "");
    EXPECT_EQ(WithTrailingBackslash(""), "");
}

TEST(Text, DigitsAndSafeInteger) {
    EXPECT_TRUE(IsAllDigits("0123"));
    EXPECT_FALSE(IsAllDigits(""));
    EXPECT_FALSE(IsAllDigits("12a"));
    EXPECT_TRUE(IsAllDigits(std::string(255, '1') + "x")); // only 255 looked at

    EXPECT_EQ(SafeStrToInt(" 42 "), 42);
    EXPECT_EQ(SafeStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(SafeStrToInt("2147483648"), 0);
    EXPECT_EQ(SafeStrToInt("99999999999999999999999"), 0);
    EXPECT_EQ(SafeStrToInt("-5"), 0);
    EXPECT_EQ(SafeStrToInt("1 2"), 0);
    EXPECT_EQ(SafeStrToInt("$1F"), 0);
    EXPECT_EQ(SafeStrToInt(std::string(300, '0') + "7"), 7);
    EXPECT_EQ(SafeStrToInt(std::string(300, '0') + "x"), 0);
}

TEST(Text, TryStrToIntForms) {
    EXPECT_EQ(TryStrToInt("$1F"), 31);
    EXPECT_EQ(TryStrToInt("0x10"), 16);
    EXPECT_EQ(TryStrToInt("x10"), 16);
    EXPECT_EQ(TryStrToInt("X1f"), 31);
    EXPECT_EQ(TryStrToInt("-5"), -5);
    EXPECT_EQ(TryStrToInt("+5"), 5);
    EXPECT_EQ(TryStrToInt(" 12"), 12);
    EXPECT_EQ(TryStrToInt("-$10"), -16);
    EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(TryStrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(TryStrToInt("2147483648"), std::nullopt);
    EXPECT_EQ(TryStrToInt("$80000000"), std::nullopt);
    EXPECT_EQ(TryStrToInt(std::string(5000, '9')), std::nullopt);
    for (const char* bad : {"", " ", "-", "+", "$", "0x", "12 ", "1.5", "1e3", "--1", "0x-1", "ab"})
        EXPECT_EQ(TryStrToInt(bad), std::nullopt) << bad;
    EXPECT_EQ(TryStrToInt(std::string("1\0", 2)), std::nullopt);
}

TEST(Text, FormatGeneralIsShortest) {
    EXPECT_EQ(FormatGeneral(40000), "40000");
    EXPECT_EQ(FormatGeneral(-32768), "-32768");
    EXPECT_EQ(FormatGeneral(32767), "32767");
    EXPECT_EQ(FormatGeneral(2147483647.0), "2147483647");
    EXPECT_EQ(FormatGeneral(0.5), "0.5");
    EXPECT_EQ(FormatGeneral(0.1), "0.1");
}

TEST(Text, WritesTimesAndDates) {
    const double t = Day(2024, 3, 5) + EncodeTime(14, 7, 59, 999);
    EXPECT_EQ(FormatTime(t, kSettings), "14:07"); // minutes are not rounded
    EXPECT_EQ(FormatTime(EncodeTime(9, 5, 0, 0), kSettings, '.'), "09.05");
    EXPECT_EQ(FormatTime(EncodeTime(25, 0, 0, 0), kSettings), "01:00");
    EXPECT_EQ(FormatTime(1.0 - 0.3 / MSecsPerDay, kSettings), "00:00");
    FormatSettings dots = kSettings;
    dots.timeSeparator = '.';
    EXPECT_EQ(FormatTime(0.5, dots), "12.00");

    EXPECT_EQ(FormatDate(t, kSettings), "05-03-24");
    EXPECT_EQ(FormatDate(Day(1999, 12, 31) + 0.99, kSettings), "31-12-99");
    EXPECT_EQ(FormatDate(Day(2000, 1, 9), kSettings), "09-01-00");
    FormatSettings iso = kSettings;
    iso.shortDateFormat = "yyyy/mm/dd";
    iso.dateSeparator = '.';
    EXPECT_EQ(FormatDate(Day(2024, 3, 5), iso), "2024.03.05");
}

TEST(Text, ReadsTimes) {
    auto ms = [](std::string_view text) -> long long {
        auto v = TryStrToTime(text, kSettings);
        return v ? ToMilliseconds(*v) : -1;
    };
    const long long H = 3'600'000, M = 60'000;
    EXPECT_EQ(ms("14:07"), 14 * H + 7 * M);
    EXPECT_EQ(ms(" 9 : 05 "), 9 * H + 5 * M);
    EXPECT_EQ(ms("7"), 7 * H);
    EXPECT_EQ(ms("23:59:58.250"), 23 * H + 59 * M + 58'250);
    EXPECT_EQ(ms("2:30 PM"), 14 * H + 30 * M);
    EXPECT_EQ(ms("pm 2:30"), 14 * H + 30 * M);
    EXPECT_EQ(ms("12:00 AM"), 0);
    EXPECT_EQ(ms("12:00 PM"), 12 * H);
    EXPECT_EQ(ms("00:00"), 0);
    EXPECT_EQ(ms("000000000000000000000012:00"), 12 * H); // leading zeros never overflow
    for (const char* bad :
         {"", "   ", "24:00", "25:00", "13:00 PM", "0:10 AM", "12:60", "12:00:60", "12:00:00.1000",
          "12:", "12:00x", ":30", "AM", "1200:00", "12:00 AM PM", "12-00"})
        EXPECT_EQ(ms(bad), -1) << bad;

    FormatSettings nl = kSettings;
    nl.timeSeparator = '.';
    nl.timeAMString = "vm";
    nl.timePMString = "nm";
    EXPECT_EQ(ToMilliseconds(*TryStrToTime("3.15 nm", nl)), 15 * H + 15 * M);
    EXPECT_EQ(ToMilliseconds(*TryStrToTime("3.15 PM", nl)), 15 * H + 15 * M);
    EXPECT_EQ(ToMilliseconds(*TryStrToTime("12.30.10.5", nl)), 12 * H + 30 * M + 10'005);

    EXPECT_EQ(SafeStrToTime("\t 08:15 \r\n", kSettings), EncodeTime(8, 15, 0, 0));
    EXPECT_EQ(SafeStrToTime("later", kSettings), 0);
    EXPECT_EQ(SafeStrToTime("", kSettings), 0);
    try {
        StrToTime("24:00", kSettings);
        FAIL();
    } catch (const KivoError& e) {
        EXPECT_STREQ(e.what(), "'24:00' is not a valid time");
    }
}

TEST(Text, ReadsDatesInTheWindow) {
    auto day = [](std::string_view text, int year = 2024) -> double {
        return TryStrToDate(text, kSettings, year).value_or(-1);
    };
    EXPECT_EQ(day("05-03-24"), Day(2024, 3, 5));
    EXPECT_EQ(day(" 7 - 3 - 2024 "), Day(2024, 3, 7));
    EXPECT_EQ(day("05-03"), Day(2024, 3, 5));
    EXPECT_EQ(day("05-03", 1999), Day(1999, 3, 5));
    EXPECT_EQ(day("05-03-"), Day(2024, 3, 5));
    EXPECT_EQ(day("05-03-24- "), Day(2024, 3, 5));
    EXPECT_EQ(day("29-02-2024"), Day(2024, 2, 29));
    EXPECT_EQ(day("01-01-73"), Day(2073, 1, 1));
    EXPECT_EQ(day("01-01-74"), Day(1974, 1, 1));
    EXPECT_EQ(day("01-01-7"), Day(2007, 1, 1));
    EXPECT_EQ(day("01-01-0"), Day(2000, 1, 1));
    EXPECT_EQ(day("01-01-024"), Day(24, 1, 1)); // three digits are taken as written
    EXPECT_EQ(day("31-12-9999"), Day(9999, 12, 31));
    // Around any current year C: (C-50)%100 is C-50, one year below is C+49.
    for (int c : {1950, 1999, 2000, 2024, 2049, 2050, 2099, 2100, 2123}) {
        const int low = c - 50, high = c + 49;
        const std::string lowText =
            "01-06-" + std::to_string(low % 100 / 10) + std::to_string(low % 10);
        const std::string highText =
            "01-06-" + std::to_string(high % 100 / 10) + std::to_string(high % 10);
        EXPECT_EQ(day(lowText, c), Day(low, 6, 1)) << c;
        EXPECT_EQ(day(highText, c), Day(high, 6, 1)) << c;
    }
    for (const char* bad : {"", "31-02-24", "29-02-2023", "07/03/2024", "00-01-24", "01-13-24",
                            "01-01-10000", "05", "05-", "-05-03", "05-03-24-24", "05--03",
                            "05-03-24x", "1000-01-01", "05-03-24--", "5.3.24"})
        EXPECT_EQ(day(bad), -1) << bad;
    EXPECT_EQ(day(std::string(100000, '9')), -1);
    try {
        StrToDate("31-02-24", kSettings, 2024);
        FAIL();
    } catch (const KivoError& e) {
        EXPECT_STREQ(e.what(), "'31-02-24' is not a valid date");
    }
}

TEST(Text, DateOrderFollowsTheFormat) {
    FormatSettings s = kSettings;
    s.shortDateFormat = "m/d/y";
    s.dateSeparator = '/';
    EXPECT_EQ(TryStrToDate("03/05/24", s, 2024), Day(2024, 3, 5));
    EXPECT_EQ(TryStrToDate("03/05", s, 2024), Day(2024, 3, 5));
    s.shortDateFormat = "Y/M/D";
    EXPECT_EQ(TryStrToDate("2024/03/05", s, 2024), Day(2024, 3, 5));
    EXPECT_EQ(TryStrToDate("24/03/05", s, 2024), Day(2024, 3, 5));
    EXPECT_EQ(TryStrToDate("03/05", s, 2024), Day(2024, 3, 5));
    s.shortDateFormat = "ee/mm/dd";
    EXPECT_EQ(TryStrToDate("2024/03/05", s, 2024), Day(2024, 3, 5));
    s.shortDateFormat = "";
    EXPECT_EQ(TryStrToDate("03/05/2024", s, 2024), Day(2024, 3, 5));
    s.shortDateFormat = "dd mm yy";
    s.dateSeparator = ' ';
    EXPECT_EQ(TryStrToDate("05 03 24", s, 2024), Day(2024, 3, 5));
}

} // namespace
} // namespace kivo
