#pragma once
// Screen resolution, scaling and the fonts every window is drawn with.
#include <windows.h>

#include "win32/handles.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace kivo {

// A function of a system library, looked up at run time: older Windows lack many of them.
// Null when it is not there.
template <typename F> F SystemFunction(const char* module, const char* name) {
    HMODULE loaded = LoadLibraryA(module);
    FARPROC f = loaded ? GetProcAddress(loaded, name) : nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(f));
}

// Dots per inch of the screen's device context.
int ScreenDpi();
// The system's DPI for this process (GetDpiForSystem where Windows has it, else the screen's):
// what a window without an owner is first laid out at.
int SystemDpi();
// What Windows says a window's DPI is (GetDpiForWindow where it has it, else the system's).
int WindowsDpi(HWND window);
// A monitor's DPI (GetDpiForMonitor where Windows has it, else the system's).
int MonitorDpi(HMONITOR monitor);
// A length in pixels at 96 DPI, scaled to the given DPI.
inline int Scaled(int pixels, int dpi) {
    return MulDiv(pixels, dpi, 96);
}

// A font by face name and character height in pixels at 96 DPI (points x 96 / 72).
UniqueFont MakeFont(const char* face, int heightPx96, int dpi, bool bold = false,
                    BYTE charset = DEFAULT_CHARSET);
// The program's dialog font: MS Sans Serif, 8 points; the system's GUI font where that face
// cannot be made.
UniqueFont DialogFont(int dpi);

} // namespace kivo
