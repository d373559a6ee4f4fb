#pragma once
// High contrast: whether the user's theme is on, and for each colour of our own the system colour
// that takes its place while it is. Outside high contrast our colours stay as they are.
#include <windows.h>

#include <optional>

namespace kivo {

// True while a high-contrast theme is on (asked of the system each time).
bool HighContrast();
// For tests where the system cannot switch it (Wine refuses SPI_SETHIGHCONTRAST): stands in for
// the system's answer; none gives the system's back.
void OverrideHighContrast(std::optional<bool> on);

// A colour of our own and the system colour of the same part of a window.
struct OwnColor {
    COLORREF own;
    int system; // COLOR_*
};
// The colour to paint with now.
COLORREF Resolve(OwnColor color);

// Under high contrast only, text in a DC the system prepared (a control's WM_CTLCOLOR*) takes
// the system pair; outside it the DC keeps what it has.
void ContrastColors(HDC dc, int face, int text);

// Our colours, by what they colour; a face goes with the text of the same system pair.
namespace palette {
// The main window's header strip, its edit panel and the start-time dialog.
inline constexpr OwnColor PanelFace{RGB(192, 220, 192), COLOR_BTNFACE};
inline constexpr OwnColor PanelText{RGB(0, 0, 0), COLOR_BTNTEXT};
// The drop-down calendar of the edit panel's date.
inline constexpr OwnColor CalendarFace{RGB(255, 255, 0), COLOR_WINDOW};
// The shaped buttons: a gradient from top left to bottom right, lighter under the mouse.
inline constexpr OwnColor ButtonFrom{RGB(255, 255, 128), COLOR_BTNFACE};
inline constexpr OwnColor ButtonTo{RGB(192, 192, 192), COLOR_BTNFACE};
inline constexpr OwnColor HotFrom{RGB(255, 255, 208), COLOR_HIGHLIGHT};
inline constexpr OwnColor HotTo{RGB(224, 224, 224), COLOR_HIGHLIGHT};
inline constexpr OwnColor ButtonText{RGB(0, 0, 0), COLOR_BTNTEXT};
inline constexpr OwnColor HotText{RGB(0, 0, 0), COLOR_HIGHLIGHTTEXT};
inline constexpr OwnColor ButtonOutline{RGB(0, 0, 0), COLOR_BTNTEXT};
inline constexpr OwnColor ButtonShadow{RGB(96, 96, 96), COLOR_BTNSHADOW};
inline constexpr OwnColor DisabledText{RGB(128, 128, 128), COLOR_GRAYTEXT};
} // namespace palette

} // namespace kivo
