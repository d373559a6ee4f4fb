#pragma once
// The process-wide date and time settings, built once at start-up and passed by const reference.
#include <string>

namespace kivo {

struct FormatSettings {
    std::string shortDateFormat = "dd-mm-yy";
    char dateSeparator = '-';
    std::string longTimeFormat = "hh:nn";
    char timeSeparator = ':';        // from the user's regional settings
    std::string timeAMString = "AM"; // from the user's regional settings
    std::string timePMString = "PM";
    int twoDigitYearCenturyWindow = 50;
};

} // namespace kivo
