#include <windows.h>

#include <string>

#include "platform/locale.h"

namespace kivo {
namespace {

std::string LocaleText(LCTYPE type) {
    char buffer[100] = {};
    int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
    return n > 1 ? std::string(buffer, static_cast<size_t>(n - 1)) : std::string();
}

} // namespace

FormatSettings UserFormatSettings() {
    FormatSettings settings;
    std::string separator = LocaleText(LOCALE_STIME);
    if (!separator.empty()) settings.timeSeparator = separator[0];
    std::string am = LocaleText(LOCALE_S1159), pm = LocaleText(LOCALE_S2359);
    if (!am.empty()) settings.timeAMString = am;
    if (!pm.empty()) settings.timePMString = pm;
    return settings;
}

} // namespace kivo
