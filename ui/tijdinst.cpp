#include "ui/tijdinst.h"

#include <commctrl.h>

#include <algorithm>

#include "algemeen/text.h"
#include "ui/controls.h"
#include "win32/modal.h"

namespace kivo {

namespace {

constexpr int InnerWidth = 193, InnerHeight = 123;
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD ExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;

// The layout in design units. The two texts are drawn from their top left.
constexpr Box StarttijdLabel{64, 8, 0, 0};
constexpr Box Colon{91, 31, 0, 0};
constexpr Box UrenBox{32, 32, 41, 40};
constexpr Box MinutenBox{104, 32, 41, 40};

using T = TFTijdinstellen;
enum class FontOf { Own, Big, Button };
struct Part {
    ChildControl control;
    FontOf font;
};
constexpr DWORD Digits = WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_CENTER;
constexpr DWORD Arrow = WS_VISIBLE | UDS_ARROWKEYS;
constexpr DWORD Default = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD Push = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD Edge = WS_EX_CLIENTEDGE;
// Created in the tab order.
constexpr Part Parts[] = {
    {{UPDOWN_CLASSA, "", Arrow, 0, T::IdUpDownUren, {73, 32, 15, 40}}, FontOf::Own},
    {{"EDIT", "", Digits, Edge, T::IdEditUren, UrenBox}, FontOf::Big},
    {{"EDIT", "", Digits, Edge, T::IdEditMinuten, MinutenBox}, FontOf::Big},
    {{UPDOWN_CLASSA, "", Arrow, 0, T::IdUpDownMinuten, {145, 32, 15, 40}}, FontOf::Own},
    {{"BUTTON", "OK", Default, 0, T::IdBitBtn1, {10, 88, 80, 25}}, FontOf::Button},
    {{"BUTTON", "Annuleren", Push, 0, T::IdBitBtn2, {104, 88, 80, 25}}, FontOf::Button},
};

struct Arrows {
    int editId;
    int max;
    int step;
};
constexpr Arrows Hours{TFTijdinstellen::IdEditUren, 23, 1};
constexpr Arrows Minutes{TFTijdinstellen::IdEditMinuten, 59, 5};

} // namespace

TFTijdinstellen::TFTijdinstellen(HWND owner) : Window(owner) {
    SetBackgroundColor(palette::PanelFace);
    WindowClassInfo info;
    info.name = ClassName;
    const SIZE outer =
        OuterSize({Scale(InnerWidth), Scale(InnerHeight)}, Style, ExStyle, false, Dpi());
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner) GetWindowRect(owner, &over);
    const int x = std::max<int>(0, over.left + (over.right - over.left - outer.cx) / 2);
    const int y = std::max<int>(0, over.top + (over.bottom - over.top - outer.cy) / 2);
    CreateWindowOf(info, ExStyle, " ", Style, x, y, outer.cx, outer.cy, owner);

    for (const Part& part : Parts) CreateChild(part.control);
    HWND uren = Control(IdEditUren), minuten = Control(IdEditMinuten);
    HWND upUren = Control(IdUpDownUren), upMinuten = Control(IdUpDownMinuten);
    SendMessageA(upUren, UDM_SETBUDDY, reinterpret_cast<WPARAM>(uren), 0);
    SendMessageA(upUren, UDM_SETRANGE32, 0, Hours.max);
    SendMessageA(upMinuten, UDM_SETBUDDY, reinterpret_cast<WPARAM>(minuten), 0);
    SendMessageA(upMinuten, UDM_SETRANGE32, 0, Minutes.max);
    OnDpiChanged();
}

void TFTijdinstellen::OnDpiChanged() {
    SetClientSize(Scale(InnerWidth), Scale(InnerHeight));
    // Two digits must fit their field; where Arial is missing, a wider font is made smaller.
    for (int height = 27; height >= 12; --height) {
        bigFont_ = MakeFont("Arial", height, Dpi(), true);
        WindowDC dc(Hwnd());
        SelectedObject f(dc.get(), bigFont_.get());
        SIZE digits{};
        GetTextExtentPoint32A(dc.get(), "00", 2, &digits);
        if (digits.cx <= Scale(UrenBox.width) - 8) break; // the field's edges and inner margin
    }
    labelFont_ = MakeFont("Arial", 16, Dpi(), true);
    buttonFont_ = MakeFont("MS Sans Serif", 11, Dpi());
    for (const Part& part : Parts) {
        HFONT font = part.font == FontOf::Big      ? bigFont_.get()
                     : part.font == FontOf::Button ? buttonFont_.get()
                                                   : nullptr;
        if (font)
            SendMessageA(Control(part.control.id), WM_SETFONT, reinterpret_cast<WPARAM>(font),
                         FALSE);
        // The arrows stand where the layout puts them, not beside their buddies.
        Place(Control(part.control.id), part.control.box, false);
    }
    OnColorsChanged();
    // The two big digits need the whole width of their fields.
    for (int id : {IdEditUren, IdEditMinuten})
        SendMessageA(Control(id), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

// The buttons' pictures hold the button face.
void TFTijdinstellen::OnColorsChanged() {
    okPicture_ = MakeGlyphBitmap(Glyph::Ok, Dpi(), COLOR_BTNFACE);
    cancelPicture_ = MakeGlyphBitmap(Glyph::Annuleren, Dpi(), COLOR_BTNFACE);
    SendMessageA(Control(IdBitBtn1), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(okPicture_.get()));
    SendMessageA(Control(IdBitBtn2), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(cancelPicture_.get()));
}

std::string TFTijdinstellen::UrenText() const {
    return WindowText(Control(IdEditUren));
}

std::string TFTijdinstellen::MinutenText() const {
    return WindowText(Control(IdEditMinuten));
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
    std::string text = WindowText(edit);
    if (text.size() >= 2) return;
    std::string padded = "0";
    padded += text;
    SetWindowTextA(edit, padded.c_str());
}

// A step stops at the limit, without wrapping round.
void TFTijdinstellen::Step(int editId, int direction) {
    const Arrows& arrows = editId == IdEditUren ? Hours : Minutes;
    HWND edit = Control(editId);
    int value = SafeStrToInt(WindowText(edit)) + direction * arrows.step;
    value = std::clamp(value, 0, arrows.max);
    std::string text(value < 10 ? 1 : 0, '0');
    text += std::to_string(value);
    SetWindowTextA(edit, text.c_str());
}

void TFTijdinstellen::Paint(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Resolve(palette::PanelText));
    {
        SelectedObject f(dc, labelFont_.get());
        TextOutA(dc, Scale(StarttijdLabel.left), Scale(StarttijdLabel.top), "Starttijd", 9);
    }
    SelectedObject f(dc, bigFont_.get());
    TextOutA(dc, Scale(Colon.left), Scale(Colon.top), ":", 1);
}

void TFTijdinstellen::UrenChange() {
    EditChange(Control(IdEditUren));
}

void TFTijdinstellen::MinutenChange() {
    EditChange(Control(IdEditMinuten));
}

void TFTijdinstellen::BitBtn1Click() {
    result_ = ResultOk;
}

void TFTijdinstellen::BitBtn2Click() {
    result_ = ResultCancel; // "Annuleren" and Escape
}

LRESULT TFTijdinstellen::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        Paint(paint.get());
        return 0;
    }
    case WM_COMMAND: {
        static constexpr CommandRoute<TFTijdinstellen> Commands[] = {
            {IdEditUren, EN_CHANGE, &TFTijdinstellen::UrenChange},
            {IdEditMinuten, EN_CHANGE, &TFTijdinstellen::MinutenChange},
            {IdBitBtn1, AnyCode, &TFTijdinstellen::BitBtn1Click},
            {IdBitBtn2, AnyCode, &TFTijdinstellen::BitBtn2Click},
        };
        RouteCommand(*this, Commands, wParam);
        return 0;
    }
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
        ContrastColors(reinterpret_cast<HDC>(wParam), COLOR_WINDOW, COLOR_WINDOWTEXT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_CLOSE:
        result_ = ResultCancel;
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

} // namespace kivo
