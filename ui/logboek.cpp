#include "ui/logboek.h"

#include "algemeen/scopeexit.h"
#include "logbook/logsnapshot.h"
#include "platform/files.h"
#include "ui/controls.h"
#include "win32/fonts.h"

namespace kivo {

namespace {

// The layout in design units. The text fills the window above the strip along the bottom edge;
// OK stands in the strip, its top from the strip's.
constexpr int FormWidth = 440, FormHeight = 322; // outer size
constexpr int StripHeight = 41;
constexpr Box OkBox{179, 8, 75, 25};
static_assert(TLogboekForm::BBOkId == IDOK, "Enter in the text presses OK");

// "Courier New", 13 pixels at 96 DPI; where that face is missing another of fixed pitch, as the
// text's columns need.
UniqueFont TextFont(int dpi) {
    return UniqueFont(CreateFontA(-Scaled(13, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New"));
}

} // namespace

TLogboekForm::TLogboekForm(std::string appDir, FileSystem& files)
    : appDir_(std::move(appDir)), files_(files) {}

TLogboekForm* TLogboekForm::Open(const std::string& appDir, FileSystem& files) {
    auto* form = new TLogboekForm(appDir, files);
    int width = form->Scale(FormWidth), height = form->Scale(FormHeight);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int left = work.left + (work.right - work.left - width) / 2;
    int top = work.top + (work.bottom - work.top - height) / 2;
    WindowClassInfo info;
    info.name = ClassName;
    info.style = CS_HREDRAW | CS_VREDRAW;
    info.iconResource = "MAINICON";
    ScopeExit failed([form] { delete form; });
    // Tab goes from the text to OK and back.
    HWND window = form->CreateWindowOf(info, WS_EX_CONTROLPARENT, "Logboek",
                                       WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, left, top, width,
                                       height, nullptr);
    // A control that cannot be made fails the viewer as its window would.
    form->CreateControls();
    // From here on the window owns the viewer: it frees it on its last message.
    failed.Dismiss();
    form->freesItself_ = true;
    ShowWindow(window, SW_SHOWNORMAL);
    SetFocus(form->LogboekEdit());
    // The newest lines at once, not after whatever else waits in the queue.
    UpdateWindow(window);
    return form;
}

LRESULT TLogboekForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        break;
    case WM_MOUSEWHEEL:
        // Turned over the button: the text scrolls all the same.
        return SendMessageA(LogboekEdit(), message, wParam, lParam);
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        RECT client;
        GetClientRect(Hwnd(), &client);
        RECT strip{0, client.bottom - Scale(StripHeight), client.right, client.bottom};
        DrawEdge(paint.get(), &strip, BDR_RAISEDINNER, BF_RECT);
        return 0;
    }
    case WM_COMMAND: {
        static constexpr CommandRoute<TLogboekForm> Commands[] = {
            {BBOkId, AnyCode, &TLogboekForm::BBOkClick}, // Enter's IDOK too: the same id
        };
        if (RouteCommand(*this, Commands, wParam)) return 0;
        break;
    }
    case WM_CLOSE:
        // Closing frees the viewer, whichever way it is closed.
        DestroyHwnd();
        return 0;
    }
    return DefaultMessage(message, wParam, lParam);
}

void TLogboekForm::OnDpiChanged() {
    MakeFonts();
    Layout();
}

void TLogboekForm::CreateControls() {
    LogboekView.Create(Hwnd(), LogboekEditId, BBOkId);
    ok_ = CreateChild({.className = "BUTTON",
                       .text = "OK",
                       .style = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                       .id = BBOkId});
    MakeFonts();
    Layout();
}

// The text's font and the button's font and picture, for the window's DPI.
void TLogboekForm::MakeFonts() {
    font_ = TextFont(Dpi());
    buttonFont_ = DialogFont(Dpi());
    LogboekView.SetFont(font_.get());
    SendMessageA(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), TRUE);
    MakePicture();
}

void TLogboekForm::MakePicture() {
    okPicture_ = MakeGlyphBitmap(Glyph::Ok, Dpi(), COLOR_BTNFACE);
    SendMessageA(ok_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(okPicture_.get()));
}

void TLogboekForm::Layout() {
    if (!ok_) return; // the window is still being made
    RECT client;
    GetClientRect(Hwnd(), &client);
    int strip = Scale(StripHeight);
    int textHeight = client.bottom - strip;
    if (textHeight < 0) textHeight = 0;
    MoveWindow(LogboekEdit(), 0, 0, client.right, textHeight, TRUE);
    MoveWindow(ok_, Scale(OkBox.left), textHeight + Scale(OkBox.top), Scale(OkBox.width),
               Scale(OkBox.height), TRUE);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

// Reads the log once, as it is now, and shows it at its newest line. The file is closed again
// before anything is drawn.
void TLogboekForm::FormShow() {
    LogboekView.SetLines(LogLines()); // the last reading goes before the next comes in
    LogSnapshot snapshot = ReadLogSnapshot(files_, appDir_ + "kivoklok.log");
    LogboekView.SetLines(std::move(snapshot.lines));
    // A read error goes to the top-level error display; the lines before it stay.
    if (snapshot.failure) std::rethrow_exception(snapshot.failure);
}

std::vector<std::string> TLogboekForm::Lines() const {
    std::vector<std::string> lines;
    const LogLines& shown = LogboekView.Lines();
    for (std::size_t i = 0; i < shown.Count(); ++i) lines.emplace_back(shown.Line(i));
    return lines;
}

void TLogboekForm::BBOkClick() {
    PostMessageA(Hwnd(), WM_CLOSE, 0, 0);
}

} // namespace kivo
