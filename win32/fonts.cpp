#include "win32/fonts.h"

namespace kivo {

int ScreenDpi() {
    WindowDC screen(nullptr);
    int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
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
