#include "win32/fonts.h"

namespace kivo {

int ScreenDpi() {
    WindowDC screen(nullptr);
    int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

int SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    // Windows before 10 (1607) has neither this nor GetDpiForWindow.
    static const auto getDpiForSystem =
        SystemFunction<GetDpiForSystemFn>("user32.dll", "GetDpiForSystem");
    const int dpi = getDpiForSystem ? static_cast<int>(getDpiForSystem()) : 0;
    return dpi > 0 ? dpi : ScreenDpi();
}

int WindowsDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        SystemFunction<GetDpiForWindowFn>("user32.dll", "GetDpiForWindow");
    const int dpi = getDpiForWindow && window ? static_cast<int>(getDpiForWindow(window)) : 0;
    return dpi > 0 ? dpi : SystemDpi();
}

int MonitorDpi(HMONITOR monitor) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    // Windows 8.1 and later.
    static const auto getDpiForMonitor =
        SystemFunction<GetDpiForMonitorFn>("shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    constexpr int EffectiveDpi = 0; // MDT_EFFECTIVE_DPI
    if (getDpiForMonitor && monitor && SUCCEEDED(getDpiForMonitor(monitor, EffectiveDpi, &x, &y)) &&
        y > 0)
        return static_cast<int>(y);
    return SystemDpi();
}

UniqueFont MakeFont(const char* face, int heightPx96, int dpi, bool bold, BYTE charset) {
    return UniqueFont(CreateFontA(-Scaled(heightPx96, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                                  FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  face));
}

UniqueFont DialogFont(int dpi) {
    UniqueFont font = MakeFont("MS Sans Serif", 11, dpi);
    // A stock object: DeleteObject leaves it alone.
    if (!font) font.reset(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    return font;
}

} // namespace kivo
