#include "ui/about.h"

#include <memory>

#include "win32/application.h"
#include "win32/dialogs.h"
#include "win32/fonts.h"
#include "win32/modal.h"

namespace kivo {

namespace {

// The window's outer size and its controls, in design units.
constexpr int FormWidth = 304, FormHeight = 242;
constexpr Box OKButtonBox{111, 180, 75, 25};
constexpr Box CreditsPanelBox{8, 8, 281, 161};
constexpr DWORD FormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

} // namespace

const std::vector<std::string>& TAboutBox::CreditLines() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> all(10); // ten empty lines first; they never show
        all.insert(all.end(),
                   {"KIVO Schakelklok", "voor Windows 9x/ME/XP/2000", "versie 2.0", "",
                    "Auteur : Ing. A. Voorbeeld", "", "KIVO Software", "Voorbeeldstraat 1",
                    "1234 AB  Voorbeeldstad", "", "Tel. 000-0000000", "Fax 000-0000001",
                    "E-Mail : info@example.invalid", "", ""});
        return all;
    }();
    return lines;
}

int TAboutBox::Execute(HWND owner) {
    auto box = std::make_unique<TAboutBox>(owner);
    return box->ShowModal();
}

TAboutBox::TAboutBox(HWND owner) : Window(owner) {
    font_ = MakeFont("MS Sans Serif", 11, Dpi());
    panelFont_ = MakeFont("MS Sans Serif", 13, Dpi(), true);

    WindowClassInfo info;
    info.name = ClassName;
    info.iconResource = "MAINICON";
    CreateWindowOf(info, WS_EX_CONTROLPARENT, Caption, FormStyle, 0, 0, Scale(FormWidth),
                   Scale(FormHeight), owner);

    okButton_ = CreateChild({.className = "BUTTON",
                             .text = "OK",
                             .style = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                             .id = OKButtonId,
                             .box = OKButtonBox,
                             .font = font_.get()});

    CreditsPanel1.Create(Hwnd(), CreditsPanel1Id, CreditsPanelBox, WS_TABSTOP);
    CreditsPanel1.SetCycled(true);
    CreditsPanel1.SetFont(panelFont_.get());
    OnColorsChanged();
    CreditsPanel1.SetLines(CreditLines());
    CreditsPanel1.OnClick = [this] { CreditsPanel1Click(); };
}

void TAboutBox::OnDpiChanged() {
    font_ = MakeFont("MS Sans Serif", 11, Dpi());
    // The panel takes the new font before the old one goes: its thread may be drawing.
    UniqueFont panelFont = MakeFont("MS Sans Serif", 13, Dpi(), true);
    CreditsPanel1.SetFont(panelFont.get());
    panelFont_ = std::move(panelFont);
    SendMessageA(okButton_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    Place(okButton_, OKButtonBox);
    Place(CreditsPanel1.Hwnd(), CreditsPanelBox);
}

void TAboutBox::OnColorsChanged() {
    CreditsPanel1.SetColor(GetSysColor(COLOR_BTNFACE));
    CreditsPanel1.SetFontColor(GetSysColor(HighContrast() ? COLOR_BTNTEXT : COLOR_WINDOWTEXT));
}

TAboutBox::~TAboutBox() {
    DestroyHwnd(); // the panel's thread ends while this object is still whole
}

int TAboutBox::ShowModal() {
    modalResult_ = 0;
    RECT frame{};
    GetWindowRect(Hwnd(), &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(Hwnd(), HWND_TOP, std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2),
                 std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2), 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);

    FormShow();
    auto closed = [this] { return modalResult_ != 0; };
    // The loop shows the window, keeps the others from input, and hands a quit message on.
    const bool quit = !RunModalLoop(Hwnd(), okButton_, closed);
    if (quit || modalResult_ == 0) modalResult_ = mrCancel;
    CreditsPanel1.SetActive(false);
    return modalResult_;
}

void TAboutBox::FormShow() {
    CreditsPanel1.SetActive(true);
}

void TAboutBox::CreditsPanel1Click() {
    CreditsPanel1.SetInterval(CreditsPanel1.Interval() == 0 ? ScrollInterval : 0);
}

void TAboutBox::OKButtonClick() {
    modalResult_ = mrOk;
}

LRESULT TAboutBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        // Escape arrives as IDCANCEL: there is no cancel button, so it does nothing.
        static constexpr CommandRoute<TAboutBox> Commands[] = {
            {OKButtonId, BN_CLICKED, &TAboutBox::OKButtonClick},
        };
        RouteCommand(*this, Commands, wParam);
        return 0;
    }
    case DM_GETDEFID:
        return MAKELRESULT(OKButtonId, DC_HASDEFID);
    case WM_CLOSE:
        modalResult_ = mrCancel;
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

} // namespace kivo
