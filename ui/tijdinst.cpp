#include "ui/tijdinst.h"

#include <commctrl.h>

#include <algorithm>

#include "algemeen/text.h"
#include "ui/controls.h"
#include "win32/modal.h"

namespace kivo {

namespace {

constexpr int InnerWidth = 193, InnerHeight = 123;
constexpr COLORREF PaleGreen = RGB(192, 220, 192); // 12639424
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD ExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;

struct Arrows {
    int editId;
    int max;
    int step;
};
constexpr Arrows Hours{TFTijdinstellen::IdEditUren, 23, 1};
constexpr Arrows Minutes{TFTijdinstellen::IdEditMinuten, 59, 5};

std::string Text(HWND window) {
    char buffer[64] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

} // namespace

TFTijdinstellen::TFTijdinstellen(HWND owner) {
    dpi_ = ScreenDpi();
    auto s = [&](int px) { return Scaled(px, dpi_); };
    background_.reset(CreateSolidBrush(PaleGreen));
    WindowClassInfo info;
    info.name = ClassName;
    info.background = static_cast<HBRUSH>(background_.get());
    RECT frame{0, 0, s(InnerWidth), s(InnerHeight)};
    AdjustWindowRectEx(&frame, Style, FALSE, ExStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner) GetWindowRect(owner, &over);
    const int x = std::max<int>(0, over.left + (over.right - over.left - width) / 2);
    const int y = std::max<int>(0, over.top + (over.bottom - over.top - height) / 2);
    CreateWindowOf(info, ExStyle, " ", Style, x, y, width, height, owner);

    // Two digits must fit their field; where Arial is missing, a wider font is made smaller.
    for (int height = 27; height >= 12; --height) {
        bigFont_ = MakeFont("Arial", height, dpi_, true);
        WindowDC dc(Hwnd());
        SelectedObject f(dc.get(), bigFont_.get());
        SIZE digits{};
        GetTextExtentPoint32A(dc.get(), "00", 2, &digits);
        if (digits.cx <= s(41) - 8) break; // the field's edges and inner margin
    }
    labelFont_ = MakeFont("Arial", 16, dpi_, true);
    buttonFont_ = MakeFont("MS Sans Serif", 11, dpi_);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto make = [&](const char* cls, const char* text, DWORD style, int id, int l, int t, int w,
                    int h, HFONT font) {
        HWND c =
            CreateWindowExA(cls[0] == 'E' ? WS_EX_CLIENTEDGE : 0, cls, text,
                            WS_CHILD | WS_VISIBLE | style, s(l), s(t), s(w), s(h), Hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (font) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
    };
    // Created in the tab order.
    HWND upUren = make(UPDOWN_CLASSA, "", UDS_ARROWKEYS, IdUpDownUren, 73, 32, 15, 40, nullptr);
    HWND uren = make("EDIT", "", WS_TABSTOP | ES_READONLY | ES_CENTER, IdEditUren, 32, 32, 41, 40,
                     bigFont_.get());
    HWND minuten = make("EDIT", "", WS_TABSTOP | ES_READONLY | ES_CENTER, IdEditMinuten, 104, 32,
                        41, 40, bigFont_.get());
    HWND upMinuten =
        make(UPDOWN_CLASSA, "", UDS_ARROWKEYS, IdUpDownMinuten, 145, 32, 15, 40, nullptr);
    HWND ok = make("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IdBitBtn1, 10, 88, 80, 25,
                   buttonFont_.get());
    HWND cancel = make("BUTTON", "Annuleren", WS_TABSTOP | BS_PUSHBUTTON, IdBitBtn2, 104, 88, 80,
                       25, buttonFont_.get());
    okPicture_.reset(MakeGlyphBitmap(Glyph::Ok, dpi_, COLOR_BTNFACE));
    cancelPicture_.reset(MakeGlyphBitmap(Glyph::Annuleren, dpi_, COLOR_BTNFACE));
    SendMessageA(ok, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(okPicture_.get()));
    SendMessageA(cancel, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(cancelPicture_.get()));
    // The two big digits need the whole width of their fields.
    for (HWND edit : {uren, minuten})
        SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    SendMessageA(upUren, UDM_SETBUDDY, reinterpret_cast<WPARAM>(uren), 0);
    SendMessageA(upUren, UDM_SETRANGE32, 0, Hours.max);
    SendMessageA(upMinuten, UDM_SETBUDDY, reinterpret_cast<WPARAM>(minuten), 0);
    SendMessageA(upMinuten, UDM_SETRANGE32, 0, Minutes.max);
    // The buddies keep their own places; the arrows stand where the layout puts them.
    MoveWindow(upUren, s(73), s(32), s(15), s(40), FALSE);
    MoveWindow(upMinuten, s(145), s(32), s(15), s(40), FALSE);
    MoveWindow(uren, s(32), s(32), s(41), s(40), FALSE);
    MoveWindow(minuten, s(104), s(32), s(41), s(40), FALSE);
}

std::string TFTijdinstellen::UrenText() const {
    return Text(Control(IdEditUren));
}

std::string TFTijdinstellen::MinutenText() const {
    return Text(Control(IdEditMinuten));
}

int TFTijdinstellen::ShowModal() {
    result_ = 0;
    FormShow();
    RunModalLoop(Hwnd(), Control(IdBitBtn1), [&] { return result_ != 0; });
    return result_ == ResultOk ? ResultOk : ResultCancel;
}

void TFTijdinstellen::FormShow() {
    const TimeOfDay t = TimeOfDayFromValue(Time);
    SetWindowTextA(Control(IdEditUren), std::to_string(t.hour).c_str());
    SetWindowTextA(Control(IdEditMinuten), std::to_string(t.minute).c_str());
}

// Two digits always; the minutes are shown as they are, 59 included.
void TFTijdinstellen::EditChange(HWND edit) {
    std::string text = Text(edit);
    if (text.size() >= 2) return;
    std::string padded = "0";
    padded += text;
    SetWindowTextA(edit, padded.c_str());
}

// A step stops at the limit, without wrapping round.
void TFTijdinstellen::Step(int editId, int direction) {
    const Arrows& arrows = editId == IdEditUren ? Hours : Minutes;
    HWND edit = Control(editId);
    int value = SafeStrToInt(Text(edit)) + direction * arrows.step;
    value = std::clamp(value, 0, arrows.max);
    std::string text(value < 10 ? 1 : 0, '0');
    text += std::to_string(value);
    SetWindowTextA(edit, text.c_str());
}

void TFTijdinstellen::Paint(HDC dc) {
    auto s = [&](int px) { return Scaled(px, dpi_); };
    SetBkMode(dc, TRANSPARENT);
    {
        SelectedObject f(dc, labelFont_.get());
        TextOutA(dc, s(64), s(8), "Starttijd", 9);
    }
    SelectedObject f(dc, bigFont_.get());
    TextOutA(dc, s(91), s(31), ":", 1);
}

LRESULT TFTijdinstellen::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        Paint(paint.get());
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE) {
            EditChange(reinterpret_cast<HWND>(lParam));
        } else if (LOWORD(wParam) == IdBitBtn1) {
            result_ = ResultOk;
        } else if (LOWORD(wParam) == IdBitBtn2) {
            result_ = ResultCancel; // "Annuleren" and Escape
        }
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == UDN_DELTAPOS) {
            auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
            Step(header->idFrom == IdUpDownUren ? IdEditUren : IdEditMinuten,
                 change->iDelta > 0 ? 1 : -1);
            return 1; // the arrows' own position stays out of it
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
        // Read-only fields stay white like fields that can be typed into.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_CLOSE:
        result_ = ResultCancel;
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

} // namespace kivo
