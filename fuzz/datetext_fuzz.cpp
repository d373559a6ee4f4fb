// The readers of dates, times and integers over arbitrary bytes: no crash, no overflow, and what
// they accept reads back the same when written out again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "algemeen/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    if (size == 0) return 0;
    // The first byte picks the settings, the rest is the text.
    const std::uint8_t pick = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    FormatSettings settings;
    static const char* const formats[] = {"dd-mm-yy", "m/d/y", "yyyy-mm-dd", "", "e/m/d"};
    settings.shortDateFormat = formats[pick % 5];
    settings.dateSeparator = "-/. "[(pick >> 3) % 4];
    settings.timeSeparator = ":.- "[(pick >> 5) % 4];
    if (pick & 0x80) {
        settings.timeAMString = "vm";
        settings.timePMString = "";
    }
    const int year = 1 + (pick * 37) % 9999;

    if (auto t = TryStrToTime(text, settings)) {
        if (!(*t >= 0 && *t < 1)) std::abort();
        const std::string written = FormatTime(*t, settings);
        auto back = TryStrToTime(written, settings);
        if (!back || ToMilliseconds(*back) / 60'000 != ToMilliseconds(*t) / 60'000) std::abort();
    }
    if (auto d = TryStrToDate(text, settings, year)) {
        const CivilDate c = CivilFromDayNumber(DayNumberOfValue(*d));
        if (!IsValidDate(c.year, c.month, c.day)) std::abort();
    }
    if (auto i = TryStrToInt(text)) (void)FormatGeneral(*i);
    const std::int32_t safe = SafeStrToInt(text);
    if (safe < 0) std::abort();
    const TDateTime time = SafeStrToTime(text, settings);
    if (!(time >= 0 && time < 1)) std::abort();
    (void)WithTrailingBackslash(text);
    (void)IsAllDigits(text);
    return 0;
}
