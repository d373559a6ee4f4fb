#include "ui/controls.h"

#include <windowsx.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>

namespace kivo {

namespace {

COLORREF Blend(COLORREF a, COLORREF b, int step, int steps) {
    auto mix = [&](int x, int y) { return x + (y - x) * step / std::max(steps, 1); };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
               mix(GetBValue(a), GetBValue(b)));
}

// Maps the 16-unit design grid of a picture onto its box.
struct GlyphGrid {
    const RECT& box;
    int X(int u) const { return box.left + MulDiv(u, box.right - box.left, 16); }
    int Y(int u) const { return box.top + MulDiv(u, box.bottom - box.top, 16); }
    int Len(int u) const { return std::max(1, MulDiv(u, box.right - box.left, 16)); }
};

void Line(HDC dc, const GlyphGrid& g, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, g.X(x1), g.Y(y1), nullptr);
    LineTo(dc, g.X(x2), g.Y(y2));
}

} // namespace

void DrawGlyph(HDC dc, Glyph glyph, const RECT& box, bool enabled) {
    GlyphGrid g{box};
    const COLORREF disabled = Resolve(palette::DisabledText);
    auto ink = [&](COLORREF colour) { return enabled ? colour : disabled; };
    auto pen = [&](COLORREF colour, int width) {
        return UniquePen(CreatePen(PS_SOLID, g.Len(width), ink(colour)));
    };
    switch (glyph) {
    case Glyph::Instellen: { // a pencil
        auto thick = pen(RGB(0, 64, 192), 3);
        SelectedObject s(dc, thick.get());
        Line(dc, g, 4, 12, 12, 4);
        auto tip = pen(RGB(0, 0, 0), 1);
        SelectedObject t(dc, tip.get());
        Line(dc, g, 2, 14, 4, 12);
        break;
    }
    case Glyph::Verwijderen:
    case Glyph::Annuleren: { // a red cross
        auto thick = pen(RGB(208, 0, 0), glyph == Glyph::Verwijderen ? 3 : 2);
        SelectedObject s(dc, thick.get());
        Line(dc, g, 3, 3, 13, 13);
        Line(dc, g, 13, 3, 3, 13);
        break;
    }
    case Glyph::Toevoegen: { // a green plus
        auto thick = pen(RGB(0, 144, 0), 3);
        SelectedObject s(dc, thick.get());
        Line(dc, g, 8, 2, 8, 14);
        Line(dc, g, 2, 8, 14, 8);
        break;
    }
    case Glyph::Ok: { // a tick
        auto thick = pen(RGB(0, 144, 0), 3);
        SelectedObject s(dc, thick.get());
        MoveToEx(dc, g.X(2), g.Y(8), nullptr);
        LineTo(dc, g.X(6), g.Y(12));
        LineTo(dc, g.X(14), g.Y(3));
        break;
    }
    case Glyph::Logboek: { // a page with lines
        auto border = pen(RGB(0, 0, 0), 1);
        SelectedObject s(dc, border.get());
        SelectedObject b(dc, GetStockObject(WHITE_BRUSH));
        Rectangle(dc, g.X(3), g.Y(1), g.X(13), g.Y(15));
        auto lines = pen(RGB(0, 0, 160), 1);
        SelectedObject l(dc, lines.get());
        for (int y = 4; y <= 12; y += 3) Line(dc, g, 5, y, 11, y);
        break;
    }
    case Glyph::Informatie: { // a blue disc with an i
        UniqueBrush disc(CreateSolidBrush(ink(RGB(0, 64, 192))));
        SelectedObject b(dc, disc.get());
        SelectedObject p(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, g.X(1), g.Y(1), g.X(15), g.Y(15));
        UniquePen white(CreatePen(PS_SOLID, g.Len(2), RGB(255, 255, 255)));
        SelectedObject w(dc, white.get());
        Line(dc, g, 8, 7, 8, 12);
        Line(dc, g, 8, 4, 8, 5);
        break;
    }
    }
}

UniqueBitmap MakeGlyphBitmap(Glyph glyph, int dpi, int background) {
    int size = Scaled(16, dpi);
    WindowDC screen(nullptr);
    MemoryDC dc(screen.get());
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), size, size));
    {
        SelectedObject s(dc.get(), bitmap.get());
        RECT box{0, 0, size, size};
        FillRect(dc.get(), &box, GetSysColorBrush(background));
        DrawGlyph(dc.get(), glyph, box, true);
    }
    return bitmap;
}

UniqueIcon MarkedIcon(HICON base) {
    ICONINFO info{};
    if (!base || !GetIconInfo(base, &info)) return UniqueIcon();
    UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    if (!color || !GetObject(color.get(), sizeof bm, &bm)) return UniqueIcon();
    const int d = std::max(5, static_cast<int>(bm.bmWidth * 7 / 16));
    WindowDC screen(nullptr);
    MemoryDC dc(screen.get());
    // Drawn into both pictures: red where the dot is, and the mask opaque there. The icon has no
    // alpha channel (256 colours), so plain drawing keeps it so.
    UniqueBrush red(CreateSolidBrush(RGB(220, 0, 0)));
    for (HBITMAP picture : {color.get(), mask.get()}) {
        SelectedObject s(dc.get(), picture);
        SelectedObject b(dc.get(),
                         picture == color.get() ? red.get() : GetStockObject(BLACK_BRUSH));
        SelectedObject p(dc.get(), GetStockObject(picture == color.get() ? WHITE_PEN : BLACK_PEN));
        Ellipse(dc.get(), bm.bmWidth - d, bm.bmHeight - d, bm.bmWidth, bm.bmHeight);
    }
    ICONINFO marked{TRUE, 0, 0, mask.get(), color.get()};
    return UniqueIcon(CreateIconIndirect(&marked));
}

void TShapedButton::Create(HWND parent, int id, const std::string& caption, Glyph glyph) {
    caption_ = caption;
    glyph_ = glyph;
    WindowClassInfo info;
    info.name = ClassName;
    info.style = CS_HREDRAW | CS_VREDRAW;
    info.background = nullptr;
    CreateWindowOf(info, 0, caption.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

LRESULT TShapedButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = Hwnd();
    switch (message) {
    case WM_PAINT: {
        PaintScope paint(window);
        RECT client;
        GetClientRect(window, &client);
        // Drawn off screen first so a hover does not flicker.
        MemoryDC memory(paint.get());
        UniqueBitmap bitmap(CreateCompatibleBitmap(paint.get(), client.right, client.bottom));
        SelectedObject s(memory.get(), bitmap.get());
        Paint(memory.get(), client);
        BitBlt(paint.get(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        if (!hot_) {
            hot_ = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_MOUSELEAVE:
        hot_ = false;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        pressed_ = true;
        SetCapture(window);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        if (!pressed_) return 0;
        pressed_ = false;
        ReleaseCapture();
        InvalidateRect(window, nullptr, FALSE);
        RECT client;
        GetClientRect(window, &client);
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (PtInRect(&client, at)) Click();
        return 0;
    }
    case WM_CAPTURECHANGED:
        pressed_ = false;
        return 0;
    case BM_CLICK:
        Click();
        return 0;
    case WM_ENABLE:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_SETTEXT: {
        LRESULT r = DefaultMessage(message, wParam, lParam);
        caption_ = reinterpret_cast<const char*>(lParam);
        InvalidateRect(window, nullptr, FALSE);
        return r;
    }
    }
    return DefaultMessage(message, wParam, lParam);
}

void TShapedButton::Click() {
    HWND window = Hwnd();
    if (!IsWindowEnabled(window)) return;
    int id = GetDlgCtrlID(window);
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window));
}

void TShapedButton::Paint(HDC dc, const RECT& client) const {
    HWND window = Hwnd();
    HWND parent = GetParent(window);
    // The corners outside the rounded shape show the parent's face colour.
    HBRUSH face = reinterpret_cast<HBRUSH>(SendMessageA(
        parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
    FillRect(dc, &client, face ? face : GetSysColorBrush(COLOR_BTNFACE));

    int depth = Scale(3);
    int press = pressed_ && hot_ ? Scale(2) : 0;
    RECT body{client.left + press, client.top + press, client.right - depth + press,
              client.bottom - depth + press};
    int bodyW = body.right - body.left, bodyH = body.bottom - body.top;
    int round = std::min(bodyW, bodyH) * 80 / 100;

    // Shadow, then the gradient clipped to the rounded body, then the outline.
    if (!press) {
        UniqueBrush shadow(CreateSolidBrush(Resolve(palette::ButtonShadow)));
        SelectedObject b(dc, shadow.get());
        SelectedObject p(dc, GetStockObject(NULL_PEN));
        RoundRect(dc, body.left + depth, body.top + depth, body.right + depth + 1,
                  body.bottom + depth + 1, round, round);
    }
    bool enabled = IsWindowEnabled(window);
    const bool hot = hot_ && enabled;
    COLORREF from = Resolve(hot ? palette::HotFrom : palette::ButtonFrom);
    COLORREF to = Resolve(hot ? palette::HotTo : palette::ButtonTo);
    UniqueRegion shape(
        CreateRoundRectRgn(body.left, body.top, body.right + 1, body.bottom + 1, round, round));
    SelectClipRgn(dc, shape.get());
    int steps = bodyW + bodyH;
    for (int d = 0; d <= steps; ++d) {
        UniquePen pen(CreatePen(PS_SOLID, 2, Blend(from, to, d, steps)));
        SelectedObject p(dc, pen.get());
        MoveToEx(dc, body.left + d, body.top, nullptr);
        LineTo(dc, body.left + d - bodyH - 1, body.top + bodyH + 1);
    }
    SelectClipRgn(dc, nullptr);
    {
        UniquePen outline(CreatePen(PS_SOLID, hot ? 2 : 1, Resolve(palette::ButtonOutline)));
        SelectedObject p(dc, outline.get());
        SelectedObject b(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, body.left, body.top, body.right, body.bottom, round, round);
    }

    // Picture and caption, centred together.
    HFONT font = font_ ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SelectedObject f(dc, font);
    SIZE text{};
    GetTextExtentPoint32A(dc, caption_.c_str(), static_cast<int>(caption_.size()), &text);
    int glyphSize = Scale(16), gap = Scale(4);
    int left = body.left + (bodyW - glyphSize - gap - text.cx) / 2;
    RECT glyphBox{left, body.top + (bodyH - glyphSize) / 2, left + glyphSize,
                  body.top + (bodyH - glyphSize) / 2 + glyphSize};
    DrawGlyph(dc, glyph_, glyphBox, enabled);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Resolve(!enabled ? palette::DisabledText
                             : hot    ? palette::HotText
                                      : palette::ButtonText));
    RECT textBox{glyphBox.right + gap, body.top, body.right, body.bottom};
    DrawTextA(dc, caption_.c_str(), static_cast<int>(caption_.size()), &textBox,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void TSpinButton::Create(HWND parent, int id) {
    WindowClassInfo info;
    info.name = ClassName;
    info.style = CS_HREDRAW | CS_VREDRAW;
    CreateWindowOf(info, 0, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, parent,
                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

void TSpinButton::Press(WORD arrow) {
    if (!IsWindowEnabled(Hwnd())) return;
    SendMessageA(GetParent(Hwnd()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Hwnd()), arrow),
                 reinterpret_cast<LPARAM>(Hwnd()));
}

void TSpinButton::Paint(HDC dc) {
    RECT client;
    GetClientRect(Hwnd(), &client);
    int middle = client.bottom / 2;
    RECT up{0, 0, client.right, middle};
    RECT down{0, middle, client.right, client.bottom};
    UINT disabled = IsWindowEnabled(Hwnd()) ? 0 : DFCS_INACTIVE;
    DrawFrameControl(dc, &up, DFC_SCROLL,
                     DFCS_SCROLLUP | disabled | (held_ == SpinUp ? DFCS_PUSHED : 0));
    DrawFrameControl(dc, &down, DFC_SCROLL,
                     DFCS_SCROLLDOWN | disabled | (held_ == SpinDown ? DFCS_PUSHED : 0));
    if (GetFocus() == Hwnd()) {
        InflateRect(&client, -2, -2);
        DrawFocusRect(dc, &client);
    }
}

LRESULT TSpinButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        Paint(paint.get());
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        RECT client;
        GetClientRect(Hwnd(), &client);
        held_ = GET_Y_LPARAM(lParam) < client.bottom / 2 ? SpinUp : SpinDown;
        SetCapture(Hwnd());
        InvalidateRect(Hwnd(), nullptr, FALSE);
        SetTimer(Hwnd(), RepeatTimerId, FirstRepeatMs, nullptr);
        Press(held_);
        return 0;
    }
    case WM_TIMER:
        if (wParam == RepeatTimerId && held_) {
            SetTimer(Hwnd(), RepeatTimerId, RepeatMs, nullptr);
            Press(held_);
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (held_) {
            held_ = 0;
            KillTimer(Hwnd(), RepeatTimerId);
            if (message == WM_LBUTTONUP) ReleaseCapture();
            InvalidateRect(Hwnd(), nullptr, FALSE);
        }
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_UP) Press(SpinUp);
        if (wParam == VK_DOWN) Press(SpinDown);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        InvalidateRect(Hwnd(), nullptr, TRUE);
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

void StatusPanels::Fit(std::vector<int> least, HFONT font, int gap) {
    least_ = std::move(least);
    font_ = font;
    gap_ = gap;
    SendMessageA(bar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Size();
}

void StatusPanels::SetText(int panel, const std::string& text) {
    SendMessageA(bar_, SB_SETTEXTA, panel, reinterpret_cast<LPARAM>(text.c_str()));
    if (font_) Size();
}

std::string StatusPanels::Text(int panel) const {
    LRESULT info = SendMessageA(bar_, SB_GETTEXTLENGTHA, panel, 0);
    std::string text(LOWORD(info) + 1, '\0');
    SendMessageA(bar_, SB_GETTEXTA, panel, reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(info));
    return text;
}

void StatusPanels::Size() {
    std::vector<int> edges;
    int right = 0;
    WindowDC dc(bar_);
    SelectedObject f(dc.get(), font_);
    for (std::size_t i = 0; i < least_.size(); ++i) {
        std::string text = Text(static_cast<int>(i));
        if (!text.empty() && text[0] == '\t') text.erase(0, 1);
        SIZE size{};
        GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        edges.push_back(right += std::max(least_[i], static_cast<int>(size.cx) + gap_));
    }
    if (edges.empty()) return;
    edges.back() = -1;
    SendMessageA(bar_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

} // namespace kivo
