#pragma once
// The main window's layout in design units (pixels at 96 DPI), for the files of that window.
#include <windows.h>

#include "win32/window.h"

namespace kivo::instel {

constexpr int FormLeft = 100, FormTop = 50;
constexpr int FormWidth = 272; // inside
constexpr int BrowseHeight = 170, EditHeight = 382;
constexpr DWORD FormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Drawn by the window itself. The header strip runs the full width; "Taken" is drawn from the
// top left of its box.
constexpr Box Panel1Box{0, 0, FormWidth, 30};
constexpr Box Label8Box{6, 0, 262, 27};
constexpr Box Bevel1Box{3, 32, 102, 117};
constexpr Box Label7Box{112, 30, 0, 0};

// Its controls; the status bar runs along the bottom edge.
constexpr Box BBinstellenBox{10, 40, 92, 28};
constexpr Box BBverwijderBox{10, 78, 92, 28};
constexpr Box BBtoevoegenBox{10, 116, 92, 28};
constexpr Box DBGtakenBox{112, 47, 155, 102};
constexpr int StatusHeight = 19;
constexpr int StatusWidths[] = {120, 30, 50}; // the least each panel gets

} // namespace kivo::instel
