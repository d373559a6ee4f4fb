#include "win32/contrast.h"

namespace kivo {

namespace {
std::optional<bool> overridden;
}

bool HighContrast() {
    if (overridden) return *overridden;
    HIGHCONTRASTA setting{};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON);
}

void OverrideHighContrast(std::optional<bool> on) {
    overridden = on;
}

COLORREF Resolve(OwnColor color) {
    return HighContrast() ? GetSysColor(color.system) : color.own;
}

void ContrastColors(HDC dc, int face, int text) {
    if (!HighContrast()) return;
    SetBkColor(dc, GetSysColor(face));
    SetTextColor(dc, GetSysColor(text));
}

} // namespace kivo
