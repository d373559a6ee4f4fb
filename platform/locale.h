#pragma once
// The user's regional settings that the date and time texts depend on.
#include "platform/formatsettings.h"

namespace kivo {

// The program's fixed formats, with the user's time separator and AM/PM markers.
FormatSettings UserFormatSettings();

} // namespace kivo
