#include "ui/logview.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/errors.h"
#include "win32/handles.h"

#ifndef WM_MOUSEHWHEEL
#define WM_MOUSEHWHEEL 0x020E
#endif

namespace kivo {

namespace {

constexpr int SidewaysPerNotch = 4; // columns per step of a sideways wheel

} // namespace

void TLogView::Create(HWND parent, int id, int defaultButton) {
    defaultButton_ = defaultButton;
    WindowClassInfo info;
    info.name = ClassName;
    info.background = nullptr; // every row paints its whole width
    info.cursor = LoadCursor(nullptr, IDC_IBEAM);
    CreateWindowOf(info, WS_EX_CLIENTEDGE, "",
                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, 0, 0, 0, 0, parent,
                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    Fit();
}

void TLogView::SetFont(HFONT font) {
    font_ = font;
    Measure();
    Fit();
}

void TLogView::SetLines(LogLines lines) {
    lines_ = std::move(lines);
    view_.Reset(lines_.Count(), lines_.Longest());
    Changed();
}

void TLogView::SelectAll() {
    view_.SelectAll();
    Changed();
}

void TLogView::Measure() {
    if (!Hwnd()) return;
    WindowDC dc(Hwnd());
    SelectedObject f(dc.get(), font_ ? font_ : GetStockObject(ANSI_FIXED_FONT));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.get(), &metrics);
    // A fixed-pitch font: one character's width is every character's.
    SIZE size{};
    GetTextExtentPoint32A(dc.get(), "0", 1, &size);
    lineHeight_ = std::max<int>(metrics.tmHeight, 1);
    charWidth_ = std::max<int>(size.cx, 1);
    margin_ = std::max(charWidth_ / 4, 1);
}

// Rows and columns from the window's size.
void TLogView::Fit() {
    if (!Hwnd()) return;
    RECT client;
    GetClientRect(Hwnd(), &client);
    view_.Resize(static_cast<std::size_t>(std::max<LONG>(client.bottom, 0) / lineHeight_),
                 static_cast<std::size_t>(std::max<LONG>(client.right - margin_, 0) / charWidth_));
    Changed();
}

void TLogView::Changed() {
    if (!Hwnd()) return;
    UpdateScrollBars();
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void TLogView::UpdateScrollBars() {
    auto set = [&](int bar, const ScrollRange& range, std::size_t pos) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        info.nMax = range.Max();
        info.nPage = range.Page();
        info.nPos = range.ToBar(pos);
        SetScrollInfo(Hwnd(), bar, &info, TRUE);
    };
    set(SB_VERT, {view_.LastTop(), view_.rows}, view_.top);
    set(SB_HORZ, {view_.LastLeft(), view_.columns}, view_.left);
}

LRESULT TLogView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        Paint(paint.get(), paint.Dirty());
        ++paints_;
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        Fit();
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        ScrollBar(message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_GETDLGCODE:
        // Arrows and characters here; Tab, Enter and Escape stay the window's.
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        KeyDown(wParam);
        return 0;
    case WM_CHAR:
        // Nothing typed changes the text; Ctrl+A and Ctrl+C arrive as these.
        if (wParam == 1) SelectAll();
        if (wParam == 3) Copy();
        return 0;
    case WM_COPY:
        Copy();
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(Hwnd(), nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN: {
        SetFocus(Hwnd());
        const std::int64_t row = RowAt(GET_Y_LPARAM(lParam));
        view_.Click(static_cast<std::size_t>(std::max<std::int64_t>(row, 0)),
                    (wParam & MK_SHIFT) != 0);
        dragging_ = true;
        dragRow_ = row;
        SetCapture(Hwnd());
        SetTimer(Hwnd(), DragTimerId, DragRepeatMs, nullptr);
        Changed();
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dragging_) {
            dragRow_ = RowAt(GET_Y_LPARAM(lParam));
            view_.Drag(dragRow_);
            Changed();
        }
        return 0;
    case WM_TIMER:
        // Held above or below the view, the selection goes on growing.
        if (wParam == DragTimerId && dragging_ &&
            (dragRow_ < 0 || dragRow_ >= static_cast<std::int64_t>(view_.rows))) {
            view_.Drag(dragRow_);
            Changed();
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragging_) ReleaseCapture(); // WM_CAPTURECHANGED ends the drag
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        KillTimer(Hwnd(), DragTimerId);
        return 0;
    case WM_MOUSEWHEEL:
        Wheel(wheelRest_, GET_WHEEL_DELTA_WPARAM(wParam), false);
        return 0;
    case WM_MOUSEHWHEEL:
        Wheel(sidewaysRest_, GET_WHEEL_DELTA_WPARAM(wParam), true);
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

// Rows from the top of the view, negative above it.
std::int64_t TLogView::RowAt(int y) const {
    return y >= 0 ? y / lineHeight_ : -1 - (-1 - y) / lineHeight_;
}

void TLogView::Paint(HDC dc, const RECT& dirty) {
    RECT client;
    GetClientRect(Hwnd(), &client);
    SelectedObject f(dc, font_ ? font_ : GetStockObject(ANSI_FIXED_FONT));
    const bool focused = GetFocus() == Hwnd();
    std::string piece;
    const int firstRow = std::max<int>(dirty.top, 0) / lineHeight_;
    const int endRow = (dirty.bottom + lineHeight_ - 1) / lineHeight_;
    for (int row = firstRow; row < endRow; ++row) {
        RECT box{0, row * lineHeight_, client.right, (row + 1) * lineHeight_};
        const std::size_t line = view_.top + static_cast<std::size_t>(row);
        if (line >= view_.lines) {
            FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
            continue;
        }
        const bool selected = view_.IsSelected(line);
        // The selection stays visible, paler, while the focus is on the button.
        SetTextColor(dc, GetSysColor(!selected ? COLOR_WINDOWTEXT
                                     : focused ? COLOR_HIGHLIGHTTEXT
                                               : COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(!selected ? COLOR_WINDOW
                                   : focused ? COLOR_HIGHLIGHT
                                             : COLOR_BTNFACE));
        // Only the characters in view: a line of many megabytes draws as fast as a short one.
        const std::string_view text = lines_.Line(line);
        piece.assign(text.substr(std::min(view_.left, text.size()), view_.columns + 1));
        // Control characters take their cell as a blank, so every column stays in its place.
        for (char& c : piece)
            if (static_cast<unsigned char>(c) < ' ') c = ' ';
        ExtTextOutA(dc, margin_, box.top, ETO_OPAQUE | ETO_CLIPPED, &box, piece.data(),
                    static_cast<UINT>(piece.size()), nullptr);
        if (focused && line == view_.caret) DrawFocusRect(dc, &box);
    }
}

void TLogView::ScrollBar(int bar, WORD code) {
    const bool vertical = bar == SB_VERT;
    const std::size_t last = vertical ? view_.LastTop() : view_.LastLeft();
    const std::size_t page = vertical ? view_.rows : view_.columns;
    const std::int64_t pageStep = static_cast<std::int64_t>(std::max<std::size_t>(page - 1, 1));
    auto by = [&](std::int64_t delta) {
        vertical ? view_.ScrollBy(delta) : view_.ScrollLeftBy(delta);
    };
    auto to = [&](std::size_t pos) { vertical ? view_.ScrollTo(pos) : view_.ScrollLeftTo(pos); };
    switch (code) {
    case SB_LINEUP:
        by(-1);
        break;
    case SB_LINEDOWN:
        by(1);
        break;
    case SB_PAGEUP:
        by(-pageStep);
        break;
    case SB_PAGEDOWN:
        by(pageStep);
        break;
    case SB_TOP:
        to(0);
        break;
    case SB_BOTTOM:
        to(last);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The 32-bit place, not the 16 bits of the message.
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(Hwnd(), bar, &info);
        to(static_cast<std::size_t>(ScrollRange{last, page}.FromBar(info.nTrackPos)));
        break;
    }
    default:
        return;
    }
    Changed();
}

void TLogView::KeyDown(WPARAM key) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
    ViewKey move;
    switch (key) {
    case VK_UP:
        move = ViewKey::Up;
        break;
    case VK_DOWN:
        move = ViewKey::Down;
        break;
    case VK_PRIOR:
        move = ViewKey::PageUp;
        break;
    case VK_NEXT:
        move = ViewKey::PageDown;
        break;
    case VK_HOME:
        move = ViewKey::Home;
        break;
    case VK_END:
        move = ViewKey::End;
        break;
    case VK_LEFT:
        move = ViewKey::Left;
        break;
    case VK_RIGHT:
        move = ViewKey::Right;
        break;
    case VK_INSERT:
        if (ctrl) Copy();
        return;
    case VK_RETURN:
        // Enter presses the window's default button, as in a dialog.
        PostMessageA(GetParent(Hwnd()), WM_COMMAND, MAKEWPARAM(defaultButton_, BN_CLICKED), 0);
        return;
    default:
        return;
    }
    view_.Key(move, ctrl, shift, [this](std::size_t line) { return lines_.Line(line).size(); });
    Changed();
}

void TLogView::Wheel(int& rest, int delta, bool sideways) {
    UINT perNotch = 3;
    if (!sideways) SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    rest += delta;
    const int notches = rest / WHEEL_DELTA;
    rest %= WHEEL_DELTA;
    if (notches == 0) return;
    if (sideways) {
        view_.ScrollLeftBy(static_cast<std::int64_t>(notches) * SidewaysPerNotch);
    } else {
        const std::int64_t step = perNotch == WHEEL_PAGESCROLL
                                      ? static_cast<std::int64_t>(view_.rows)
                                      : static_cast<std::int64_t>(perNotch);
        view_.ScrollBy(-notches * step); // turned away from the user: towards the start
    }
    Changed();
}

void TLogView::Copy() {
    if (!view_.selected) return;
    const auto [first, last] = view_.Selection();
    std::size_t size = 1;
    for (std::size_t i = first; i <= last; ++i) size += lines_.Line(i).size() + (i < last ? 2 : 0);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) throw KivoError("Out of memory");
    char* out = static_cast<char*>(GlobalLock(memory));
    if (!out) {
        GlobalFree(memory);
        throw KivoError("Out of memory");
    }
    for (std::size_t i = first; i <= last; ++i) {
        const std::string_view line = lines_.Line(i);
        std::memcpy(out, line.data(), line.size());
        out += line.size();
        if (i < last) {
            *out++ = '\r';
            *out++ = '\n';
        }
    }
    *out = '\0';
    GlobalUnlock(memory);
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = OpenClipboard(Hwnd())); ++attempt) Sleep(10);
    if (!open) {
        GlobalFree(memory);
        throw KivoError("Cannot open clipboard");
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
    CloseClipboard();
}

} // namespace kivo
