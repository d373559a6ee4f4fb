#include <langinfo.h>
#include <locale.h>
#include <string>

#include "platform/locale.h"

namespace kivo {

FormatSettings UserFormatSettings() {
    FormatSettings settings;
    // The user's locale gives the AM/PM markers; Linux has no separate time separator setting,
    // so it stays ":".
    if (locale_t loc = ::newlocale(LC_TIME_MASK, "", nullptr)) {
        std::string am = ::nl_langinfo_l(AM_STR, loc), pm = ::nl_langinfo_l(PM_STR, loc);
        if (!am.empty()) settings.timeAMString = am;
        if (!pm.empty()) settings.timePMString = pm;
        ::freelocale(loc);
    }
    return settings;
}

} // namespace kivo
