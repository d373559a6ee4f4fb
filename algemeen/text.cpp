#include "algemeen/text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/errors.h"

namespace kivo {

namespace {

bool IsBlankChar(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Reads the time and date texts left to right. Blanks here are spaces, as the user types them.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }

    // Returns how many blanks were passed.
    std::size_t SkipBlanks() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
        return pos_ - start;
    }

    // A run of digits after optional blanks. The run stops once the value reaches 1000, so a
    // long run cannot overflow; the digits left behind make the caller fail.
    bool Number(int& value, int& length) {
        SkipBlanks();
        const std::size_t start = pos_;
        int n = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_]) && n < 1000) {
            n = n * 10 + (text_[pos_] - '0');
            ++pos_;
        }
        if (pos_ == start) return false;
        value = n;
        length = static_cast<int>(pos_ - start);
        return true;
    }

    // A separator after optional blanks. A blank as separator is met by the blanks themselves.
    bool Char(char c) {
        const std::size_t blanks = SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return c == ' ' && blanks > 0;
    }

    // A marker word, a to z compared without case, after optional blanks. Consumes nothing when
    // it does not match.
    bool Word(std::string_view word) {
        if (word.empty()) return false;
        const std::size_t save = pos_;
        SkipBlanks();
        if (text_.size() - pos_ >= word.size() &&
            SameTextAZ(text_.substr(pos_, word.size()), word)) {
            pos_ += word.size();
            return true;
        }
        pos_ = save;
        return false;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// 0 for AM, 12 for PM, -1 when no marker follows.
int ScanMarker(Scanner& s, const FormatSettings& settings) {
    if (s.Word(settings.timeAMString) || s.Word("AM")) return 0;
    if (s.Word(settings.timePMString) || s.Word("PM")) return 12;
    return -1;
}

enum class DateOrder { MDY, DMY, YMD };

DateOrder OrderOfFormat(std::string_view format) {
    for (char c : format) {
        switch (UpperChar(c)) {
        case 'D':
            return DateOrder::DMY;
        case 'M':
            return DateOrder::MDY;
        case 'Y':
        case 'E':
            return DateOrder::YMD;
        default:
            break;
        }
    }
    return DateOrder::MDY;
}

int FloorDiv(int a, int b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

// Writes one number of a format: a single letter gives the plain number, a doubled letter at
// least two digits.
void AppendNumber(std::string& out, long long value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0) out += '-';
    for (int i = static_cast<int>(digits.size()); i < width; ++i) out += '0';
    out += digits;
}

std::size_t RunLength(std::string_view format, std::size_t i) {
    std::size_t n = 1;
    while (i + n < format.size() && UpperChar(format[i + n]) == UpperChar(format[i])) ++n;
    return n;
}

// Plain digit runs of one to four digits, count of them, with one separator between and
// nothing else: the forms the file writer gives. The general readers take these the same way
// (a run this short is read whole), so this only saves the scanning.
bool QuickNumbers(std::string_view text, char sep, int count, int* values, int* lengths) {
    if (IsDigit(sep)) return false;
    std::size_t pos = 0;
    for (int k = 0; k < count; ++k) {
        if (k > 0) {
            if (pos >= text.size() || text[pos] != sep) return false;
            ++pos;
        }
        const std::size_t start = pos;
        int value = 0;
        while (pos < text.size() && IsDigit(text[pos]) && pos - start < 4) {
            value = value * 10 + (text[pos] - '0');
            ++pos;
        }
        if (pos == start || (pos < text.size() && IsDigit(text[pos]))) return false;
        values[k] = value;
        lengths[k] = static_cast<int>(pos - start);
    }
    return pos == text.size();
}

bool StartsWithDigit(std::string_view word) {
    return !word.empty() && IsDigit(word.front());
}

// "hh:nn": no marker can stand before the hour unless a marker begins with a digit.
std::optional<TDateTime> QuickTime(std::string_view text, const FormatSettings& settings) {
    int n[2] = {0, 0}, l[2] = {0, 0};
    if (StartsWithDigit(settings.timeAMString) || StartsWithDigit(settings.timePMString))
        return std::nullopt;
    if (!QuickNumbers(text, settings.timeSeparator, 2, n, l)) return std::nullopt;
    if (n[0] >= 24 || n[1] >= 60) return std::nullopt; // the general reader refuses these too
    return EncodeTime(n[0], n[1], 0, 0);
}

std::optional<TDateTime> DateOf(int year, int month, int day) {
    if (!IsValidDate(year, month, day)) return std::nullopt;
    return static_cast<TDateTime>(DayNumber({year, month, day}));
}

// Three numbers read as a date by the order of the short date format.
std::optional<TDateTime> DateOfThree(DateOrder order, const int* n, const int* l,
                                     const FormatSettings& settings, int currentYear) {
    int year = 0, month = 0, day = 0, yearLength = l[2];
    switch (order) {
    case DateOrder::MDY:
        year = n[2], month = n[0], day = n[1];
        break;
    case DateOrder::DMY:
        year = n[2], month = n[1], day = n[0];
        break;
    case DateOrder::YMD:
        year = n[0], month = n[1], day = n[2], yearLength = l[0];
        break;
    }
    if (yearLength <= 2) year = FullYearOfShort(year, settings, currentYear);
    return DateOf(year, month, day);
}

} // namespace

std::string TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlankChar(text[begin])) ++begin;
    while (end > begin && IsBlankChar(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string UpperAZ(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = UpperChar(c);
    return out;
}

bool SameTextAZ(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperChar(a[i]) != UpperChar(b[i])) return false;
    }
    return true;
}

std::string WithTrailingBackslash(std::string_view path) {
    std::string out = TrimBlanks(path);
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out;
}

bool IsAllDigits(std::string_view text) {
    if (text.empty()) return false;
    const std::string_view head = text.substr(0, 255);
    for (char c : head) {
        if (!IsDigit(c)) return false;
    }
    return true;
}

std::int32_t SafeStrToInt(std::string_view text) {
    const std::string trimmed = TrimBlanks(text);
    if (!IsAllDigits(trimmed)) return 0;
    std::int64_t value = 0;
    for (char c : trimmed) {
        // Digits beyond the first 255 are not vouched for by IsAllDigits.
        if (!IsDigit(c)) return 0;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return 0;
    }
    return static_cast<std::int32_t>(value);
}

TDateTime SafeStrToTime(std::string_view text, const FormatSettings& settings) {
    const std::string trimmed = TrimBlanks(text);
    if (trimmed.empty()) return 0;
    return TryStrToTime(trimmed, settings).value_or(0);
}

std::string FormatTime(TDateTime value, const FormatSettings& settings) {
    return FormatTime(value, settings, settings.timeSeparator);
}

std::string FormatTime(TDateTime value, const FormatSettings& settings, char timeSeparator) {
    const TimeOfDay t = TimeOfDayFromValue(value);
    const std::string_view format = settings.longTimeFormat;
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        const char c = UpperChar(format[i]);
        const std::size_t n =
            (c == 'H' || c == 'N' || c == 'M' || c == 'S') ? RunLength(format, i) : 1;
        const int width = n >= 2 ? 2 : 1;
        switch (c) {
        case 'H':
            AppendNumber(out, t.hour, width);
            break;
        case 'N':
        case 'M':
            AppendNumber(out, t.minute, width);
            break;
        case 'S':
            AppendNumber(out, t.second, width);
            break;
        case ':':
            out += timeSeparator;
            break;
        default:
            out += format[i];
            break;
        }
        i += n;
    }
    return out;
}

std::string FormatDate(TDateTime value, const FormatSettings& settings) {
    const CivilDate d = CivilFromDayNumber(DayNumberOfValue(value));
    const std::string_view format = settings.shortDateFormat;
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        const char c = UpperChar(format[i]);
        const std::size_t n = (c == 'D' || c == 'M' || c == 'Y') ? RunLength(format, i) : 1;
        switch (c) {
        case 'D':
            AppendNumber(out, d.day, n >= 2 ? 2 : 1);
            break;
        case 'M':
            AppendNumber(out, d.month, n >= 2 ? 2 : 1);
            break;
        case 'Y':
            if (n <= 2) {
                int y = d.year % 100;
                if (y < 0) y += 100;
                AppendTwoDigits(out, y);
            } else {
                AppendNumber(out, d.year, 4);
            }
            break;
        case '/':
            out += settings.dateSeparator;
            break;
        default:
            out += format[i];
            break;
        }
        i += n;
    }
    return out;
}

std::optional<TDateTime> TryStrToTime(std::string_view text, const FormatSettings& settings) {
    if (auto quick = QuickTime(text, settings)) return quick;
    Scanner s(text);
    int baseHour = ScanMarker(s, settings);
    int hour = 0, minute = 0, second = 0, msec = 0, len = 0;
    if (!s.Number(hour, len)) return std::nullopt;
    if (s.Char(settings.timeSeparator)) {
        if (!s.Number(minute, len)) return std::nullopt;
        if (s.Char(settings.timeSeparator)) {
            if (!s.Number(second, len)) return std::nullopt;
            if (s.Char('.') && !s.Number(msec, len)) return std::nullopt;
        }
    }
    if (baseHour < 0) baseHour = ScanMarker(s, settings);
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12) return std::nullopt;
        hour = hour % 12 + baseHour;
    }
    s.SkipBlanks();
    if (!s.AtEnd()) return std::nullopt;
    if (hour >= 24 || minute >= 60 || second >= 60 || msec >= 1000) return std::nullopt;
    return EncodeTime(hour, minute, second, msec);
}

std::optional<TDateTime> TryStrToDate(std::string_view text, const FormatSettings& settings,
                                      int currentYear) {
    const DateOrder order = OrderOfFormat(settings.shortDateFormat);
    const char sep = settings.dateSeparator;
    int n[3] = {0, 0, 0}, l[3] = {0, 0, 0};
    if (QuickNumbers(text, sep, 3, n, l)) return DateOfThree(order, n, l, settings, currentYear);
    Scanner s(text);
    if (!(s.Number(n[0], l[0]) && s.Char(sep) && s.Number(n[1], l[1]))) return std::nullopt;
    if (s.Char(sep) && s.Number(n[2], l[2])) {
        s.Char(sep); // one separator may close the date
        s.SkipBlanks();
        if (!s.AtEnd()) return std::nullopt;
        return DateOfThree(order, n, l, settings, currentYear);
    }
    // A separator after the second number but no third number: that was the closing one.
    s.SkipBlanks();
    if (!s.AtEnd()) return std::nullopt;
    if (order == DateOrder::DMY) return DateOf(currentYear, n[1], n[0]);
    return DateOf(currentYear, n[0], n[1]);
}

TDateTime StrToTime(std::string_view text, const FormatSettings& settings) {
    if (auto value = TryStrToTime(text, settings)) return *value;
    throw KivoError("'" + std::string(text) + "' is not a valid time");
}

TDateTime StrToDate(std::string_view text, const FormatSettings& settings, int currentYear) {
    if (auto value = TryStrToDate(text, settings, currentYear)) return *value;
    throw KivoError("'" + std::string(text) + "' is not a valid date");
}

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    // The magnitude may reach 2^31 only for a negative value.
    const std::int64_t limit = negative ? 2'147'483'648LL : 2'147'483'647LL;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (IsDigit(c)) {
            digit = c - '0';
        } else if (base == 16 && UpperChar(c) >= 'A' && UpperChar(c) <= 'F') {
            digit = UpperChar(c) - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

int FullYearOfShort(int shortYear, const FormatSettings& settings, int currentYear) {
    // Into the hundred years that begin `window` years before the current year.
    const int window = settings.twoDigitYearCenturyWindow;
    const int base = currentYear - window;
    int year = shortYear + FloorDiv(base, 100) * 100;
    if (window > 0 && year < base) year += 100;
    return year;
}

std::string FormatGeneral(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char buffer[40];
    // Fifteen significant digits show every 32-bit integer whole; fall back to seventeen when
    // the shorter form does not give the same number back.
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    if (std::strtod(buffer, nullptr) != value) std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

} // namespace kivo
