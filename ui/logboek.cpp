#include "ui/logboek.h"

#include <algorithm>
#include <chrono>

#include "platform/errors.h"
#include "platform/files.h"

namespace kivo {

namespace {

constexpr int FormWidth = 440, FormHeight = 322; // outer size
constexpr int StripHeight = 41;
constexpr int OkLeft = 179, OkTop = 8, OkWidth = 75, OkHeight = 25;
// A long log goes into the control in parts, as many per timer tick as fit in FillTime, so that
// the program answers its messages meanwhile. Each part costs the control a pass over all it
// holds, so parts are large; one that takes longer than PartTime halves the next, one that is
// quick doubles it again.
constexpr std::size_t FirstPart = 128 * 1024, SmallestPart = 8 * 1024;
constexpr auto FillTime = std::chrono::milliseconds(50);
constexpr auto PartTime = std::chrono::milliseconds(150);

} // namespace

std::string ViewerText(std::string_view content) {
    if (auto eof = content.find('\x1a'); eof != std::string_view::npos)
        content = content.substr(0, eof);
    std::string text;
    text.reserve(content.size() + 2);
    std::size_t pos = 0;
    do {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        std::size_t cut = end;
        if (cut > pos && content[cut - 1] == '\r') --cut;
        if (pos > 0) text += "\r\n";
        // A NUL would end the control's text there: it is shown as a mark instead.
        for (std::size_t i = pos; i < cut; ++i) text += content[i] == '\0' ? NulMark : content[i];
        pos = end + 1;
    } while (pos < content.size());
    return text;
}

TLogboekForm::TLogboekForm(std::string appDir, FileSystem& files)
    : appDir_(std::move(appDir)), files_(files) {}

TLogboekForm* TLogboekForm::Open(const std::string& appDir, FileSystem& files) {
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
    case WM_TIMER:
        if (wParam == FillTimerId) {
            FillSome();
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        // Read-only, yet white like any text to read.
        if (reinterpret_cast<HWND>(lParam) == edit_) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
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
    // A plain multi-line edit: Wine's rich edit takes about 300 bytes of memory per character
    // and grows slower with every part added, this one a few bytes and steadily.
    edit_ = CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
            ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL,
        0, 0, 0, 0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(LogboekEditId)), instance,
        nullptr);
    if (edit_) {
        // No word wrap (ES_AUTOHSCROLL): each log line is one visual line.
        SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
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
    KillTimer(Hwnd(), FillTimerId);
    opened_ = false;
    text_.clear();
    filled_ = 0;
    part_ = FirstPart;
    SetWindowTextA(edit_, "");
    std::string content;
    try {
        content = files_.ReadAll(appDir_ + "kivoklok.log");
    } catch (const FileOpenError&) {
        return; // a missing or locked log gives an empty viewer, silently
    }
    opened_ = true;
    text_ = ViewerText(content);
    content = std::string();
    // The control must hold the whole file, however long (up to its largest limit; a count
    // cut to its low bits would make a tiny one).
    SendMessageA(edit_, EM_SETLIMITTEXT,
                 std::clamp<std::size_t>(text_.size() + 1024, 65536, 0x7FFFFFFE), 0);
    // A short log is there at once; a long one follows from the timer.
    FillSome();
    if (!Filled()) SetTimer(Hwnd(), FillTimerId, USER_TIMER_MINIMUM, nullptr);
}

// Appends parts of the text for a moment. Each part ends after a line break where it can, and
// the user's place in the text (selection and scroll position) stays where it was.
void TLogboekForm::FillSome() {
    const auto start = std::chrono::steady_clock::now();
    DWORD selStart = 0, selEnd = 0;
    SendMessageA(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                 reinterpret_cast<LPARAM>(&selEnd));
    const LRESULT firstLine = SendMessageA(edit_, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageA(edit_, WM_SETREDRAW, FALSE, 0);
    std::string part;
    while (!Filled() && std::chrono::steady_clock::now() - start < FillTime) {
        const auto partStart = std::chrono::steady_clock::now();
        std::size_t end = std::min(text_.size(), filled_ + part_);
        if (end < text_.size()) {
            std::size_t lf = text_.rfind('\n', end - 1);
            if (lf != std::string::npos && lf >= filled_) end = lf + 1;
        }
        part.assign(text_, filled_, end - filled_);
        SendMessageA(edit_, EM_SETSEL, 0x7FFFFFFE, 0x7FFFFFFE);
        SendMessageA(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(part.c_str()));
        filled_ = end;
        const auto took = std::chrono::steady_clock::now() - partStart;
        if (took > PartTime)
            part_ = std::max(SmallestPart, part_ / 2);
        else if (took < PartTime / 3)
            part_ = std::min(FirstPart, part_ * 2);
    }
    SendMessageA(edit_, EM_SETSEL, selStart, selEnd);
    SendMessageA(edit_, EM_LINESCROLL, 0,
                 firstLine - SendMessageA(edit_, EM_GETFIRSTVISIBLELINE, 0, 0));
    SendMessageA(edit_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(edit_, nullptr, TRUE);
    if (Filled()) KillTimer(Hwnd(), FillTimerId);
}

std::vector<std::string> TLogboekForm::Lines() const {
    std::vector<std::string> lines;
    if (!opened_) return lines;
    std::size_t pos = 0;
    for (;;) {
        std::size_t end = text_.find("\r\n", pos);
        if (end == std::string::npos) break;
        lines.push_back(text_.substr(pos, end - pos));
        pos = end + 2;
    }
    lines.push_back(text_.substr(pos));
    return lines;
}

void TLogboekForm::BBOkClick() {
    PostMessageA(Hwnd(), WM_CLOSE, 0, 0);
}

} // namespace kivo
