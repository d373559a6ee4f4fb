#pragma once
// Small building blocks shared by the program's windows: the pictures and the shaped push
// button of the main window.
#include <windows.h>

#include <string>
#include <vector>

#include "win32/contrast.h"
#include "win32/fonts.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace kivo {

// The pale green of the main window's header strip, its edit panel and the start-time dialog
// (palette::PanelFace outside high contrast).
inline constexpr COLORREF PaleGreen = palette::PanelFace.own; // 12639424

// Pictures on the shaped buttons and in the tray menu.
enum class Glyph { Instellen, Verwijderen, Toevoegen, Ok, Annuleren, Logboek, Informatie };

// A rounded, gradient-filled push button with a shadow and a small picture. It never takes the
// keyboard focus: clicking it leaves the focus where it was. A click (mouse or BM_CLICK) sends
// WM_COMMAND with BN_CLICKED to the parent.
class TShapedButton : public Window {
public:
    static constexpr const char* ClassName = "TShapedButton";
    TShapedButton() = default;

    void Create(HWND parent, int id, const std::string& caption, Glyph glyph);
    bool Hot() const { return hot_; }
    void SetFont(HFONT font) { font_ = font; }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc, const RECT& client) const;
    void Click();

    std::string caption_;
    Glyph glyph_ = Glyph::Ok;
    HFONT font_ = nullptr;
    bool hot_ = false;
    bool pressed_ = false;
};

// A pair of arrows, up above down. A press sends WM_COMMAND to the parent with SpinUp or SpinDown
// as its code; held down, it sends again after 400 ms and then every 100 ms until released. With
// the focus, the up and down keys press the arrows.
class TSpinButton : public Window {
public:
    static constexpr const char* ClassName = "TSpinButton";
    enum : WORD { SpinUp = 1, SpinDown = 2 };
    static constexpr UINT_PTR RepeatTimerId = 1;
    static constexpr UINT FirstRepeatMs = 400, RepeatMs = 100;

    void Create(HWND parent, int id);

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Press(WORD arrow);
    void Paint(HDC dc);

    WORD held_ = 0; // the arrow held down with the mouse
};

// The panels of a status bar: each at least its width and as wide as its text in the font in
// use (a leading tab centres it), the last running to the right edge, so no text is cut.
class StatusPanels {
public:
    void Attach(HWND bar) { bar_ = bar; }
    HWND Hwnd() const { return bar_; }
    // Widths in pixels, the font the bar draws with; set again after a change of DPI.
    void Fit(std::vector<int> least, HFONT font, int gap);
    void SetText(int panel, const std::string& text);
    std::string Text(int panel) const;

private:
    void Size();

    HWND bar_ = nullptr;
    std::vector<int> least_;
    HFONT font_ = nullptr;
    int gap_ = 0;
};

// Draws one of the pictures into a 16x16 (at 96 DPI) square; greyed for the disabled state.
void DrawGlyph(HDC dc, Glyph glyph, const RECT& box, bool enabled);
// The same picture as a menu bitmap (16x16 at the given DPI).
UniqueBitmap MakeGlyphBitmap(Glyph glyph, int dpi, int background = COLOR_MENU);
// The icon with a small red dot at its lower right: the tray's sign that something wants a look.
// Null when the icon cannot be read.
UniqueIcon MarkedIcon(HICON base);

} // namespace kivo
