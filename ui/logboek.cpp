#include "ui/logboek.h"

#include <commctrl.h>
#include <richedit.h>

#include "algemeen/errors.h"
#include "platform/files.h"

namespace kivo {

namespace {

constexpr int FormWidth = 440, FormHeight = 322; // outer size
constexpr int StripHeight = 41;
constexpr int OkLeft = 179, OkTop = 8, OkWidth = 75, OkHeight = 25;

} // namespace

std::vector<std::string> ViewerLines(std::string_view content) {
    if (auto eof = content.find('\x1a'); eof != std::string_view::npos)
        content = content.substr(0, eof);
    std::vector<std::string> lines;
    std::size_t pos = 0;
    do {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        std::size_t cut = end;
        if (cut > pos && content[cut - 1] == '\r') --cut;
        lines.emplace_back(content.substr(pos, cut - pos));
        pos = end + 1;
    } while (pos < content.size());
    return lines;
}

TLogboekForm::TLogboekForm(std::string appDir, FileSystem& files)
    : appDir_(std::move(appDir)), files_(files) {}

TLogboekForm* TLogboekForm::Open(const std::string& appDir, FileSystem& files) {
    static HMODULE richEdit = LoadLibraryA("riched20.dll");
    (void)richEdit;

    auto* form = new TLogboekForm(appDir, files);
    form->dpi_ = ScreenDpi();
    int width = Scaled(FormWidth, form->dpi_), height = Scaled(FormHeight, form->dpi_);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int left = work.left + (work.right - work.left - width) / 2;
    int top = work.top + (work.bottom - work.top - height) / 2;
    WindowClassInfo info;
    info.name = ClassName;
    info.style = CS_HREDRAW | CS_VREDRAW;
    info.iconResource = "MAINICON";
    HWND window = nullptr;
    try {
        window = form->CreateWindowOf(info, 0, "Logboek", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                      left, top, width, height, nullptr);
    } catch (...) {
        delete form;
        throw;
    }
    // From here on the window owns the viewer: it frees it on its last message.
    form->freesItself_ = true;
    ShowWindow(window, SW_SHOWNORMAL);
    SetFocus(form->edit_);
    return form;
}

LRESULT TLogboekForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        break;
    case WM_SETFOCUS:
        SetFocus(edit_);
        return 0;
    case WM_PAINT: {
        PaintScope paint(Hwnd());
        RECT client;
        GetClientRect(Hwnd(), &client);
        RECT strip{0, client.bottom - Scaled(StripHeight, dpi_), client.right, client.bottom};
        DrawEdge(paint.get(), &strip, BDR_RAISEDINNER, BF_RECT);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == BBOkId || LOWORD(wParam) == IDOK) {
            BBOkClick();
            return 0;
        }
        break;
    case WM_CLOSE:
        // Closing frees the viewer, whichever way it is closed.
        DestroyHwnd();
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        font_ = MakeFont("Courier New", 13, dpi_, false, ANSI_CHARSET);
        buttonFont_ = DialogFont(dpi_);
        SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
        SendMessageA(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), TRUE);
        auto* r = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Hwnd(), nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    }
    return DefaultMessage(message, wParam, lParam);
}

void TLogboekForm::CreateControls() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    font_ = MakeFont("Courier New", 13, dpi_, false, ANSI_CHARSET);
    buttonFont_ = DialogFont(dpi_);
    edit_ = CreateWindowExA(
        WS_EX_CLIENTEDGE, "RichEdit20A", "",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
            ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL,
        0, 0, 0, 0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(LogboekEditId)), instance,
        nullptr);
    if (edit_) {
        SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        // No word wrap: each log line is one visual line.
        SendMessageA(edit_, EM_SETTARGETDEVICE, 0, 1);
        editHook_.Attach(edit_,
                         [this](UINT m, WPARAM w, LPARAM l) { return EditMessage(m, w, l); });
    }
    ok_ = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                          0, 0, 0, 0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(BBOkId)),
                          instance, nullptr);
    SendMessageA(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);
    Layout();
}

void TLogboekForm::Layout() {
    RECT client;
    GetClientRect(Hwnd(), &client);
    int strip = Scaled(StripHeight, dpi_);
    int editHeight = client.bottom - strip;
    if (editHeight < 0) editHeight = 0;
    if (edit_) MoveWindow(edit_, 0, 0, client.right, editHeight, TRUE);
    MoveWindow(ok_, Scaled(OkLeft, dpi_), editHeight + Scaled(OkTop, dpi_), Scaled(OkWidth, dpi_),
               Scaled(OkHeight, dpi_), TRUE);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

// Enter anywhere in the text presses the default button.
LRESULT TLogboekForm::EditMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        PostMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(BBOkId, BN_CLICKED), 0);
        return 0;
    }
    if (message == WM_CHAR && (wParam == '\r' || wParam == '\n')) return 0;
    return editHook_.Default(message, wParam, lParam);
}

void TLogboekForm::FormShow() {
    lines_.clear();
    SetWindowTextA(edit_, "");
    std::string content;
    try {
        content = files_.ReadAll(appDir_ + "kivoklok.log");
    } catch (const FileOpenError&) {
        return; // a missing or locked log gives an empty viewer, silently
    }
    lines_ = ViewerLines(content);
    std::string text;
    text.reserve(content.size() + lines_.size() + 1);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i) text += "\r\n";
        text += lines_[i];
    }
    // The control must hold the whole file, however long.
    SendMessageA(edit_, EM_EXLIMITTEXT, 0,
                 static_cast<LPARAM>(std::max<std::size_t>(text.size() + 1024, 65536)));
    SetWindowTextA(edit_, text.c_str());
    SendMessageA(edit_, EM_SETSEL, 0, 0);
}

void TLogboekForm::BBOkClick() {
    PostMessageA(Hwnd(), WM_CLOSE, 0, 0);
}

} // namespace kivo
