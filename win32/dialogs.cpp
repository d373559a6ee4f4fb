#include "win32/dialogs.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "algemeen/text.h"
#include "win32/fonts.h"
#include "win32/handles.h"
#include "win32/modal.h"
#include "win32/window.h"

namespace kivo {

namespace {

constexpr char kDialogClass[] = "TMessageForm";
constexpr int kImageId = 100;
constexpr int kMessageId = 101;

struct ButtonKind {
    MsgDlgBtn button;
    const char* name;
    int id;
    const char* caption;
};

// Left to right as they stand in the dialog.
constexpr ButtonKind kButtons[] = {
    {mbYes, "Yes", mrYes, "&Ja"},
    {mbNo, "No", mrNo, "&Nee"},
    {mbOK, "OK", mrOk, "OK"},
    {mbCancel, "Cancel", mrCancel, "Annuleren"},
    {mbAbort, "Abort", mrAbort, "&Afbreken"},
    {mbRetry, "Retry", mrRetry, "&Opnieuw"},
    {mbIgnore, "Ignore", mrIgnore, "&Ignore"},
    {mbAll, "All", mrAll, "&All"},
    {mbNoToAll, "NoToAll", mrNoToAll, "N&ee voor Alle"},
    {mbYesToAll, "YesToAll", mrYesToAll, "Ja voor &Alle"},
    {mbHelp, "Help", kDialogHelpButtonId, "&Help"},
};

constexpr const char* kCaptionWords[] = {"Waarschuwing", "Fout", "Informatie", "Bevestiging"};

// What a dialog shows; the three kinds of box differ only in these.
struct DialogRequest {
    HWND owner = nullptr;
    std::string caption;
    std::string message;
    LPCSTR icon = nullptr; // a system icon, or none
    unsigned buttons = mbOK;
    std::string focusName;
    bool englishCancel = false; // "Cancel" instead of "Annuleren"
    std::function<void()> closed;
};

const char* ButtonCaption(const DialogRequest& request, const ButtonKind& b) {
    return request.englishCancel && b.id == mrCancel ? "Cancel" : b.caption;
}

struct DialogState {
    int result = mrNone;
    bool done = false;
    int defaultId = 0;
    int cancelId = 0; // 0: Escape does nothing
    // Told once, when the box is answered: a box under another one cannot return before that
    // one does.
    std::function<void()> closed;

    void Finish(int answer) {
        result = answer;
        done = true;
        if (auto told = std::exchange(closed, nullptr)) told();
    }
};

bool IsOurButton(HWND dialog, HWND control) {
    if (!control || GetParent(control) != dialog) return false;
    int id = GetDlgCtrlID(control);
    return std::any_of(std::begin(kButtons), std::end(kButtons),
                       [id](const ButtonKind& b) { return b.id == id; });
}

void Press(HWND dialog, DialogState& state, int id) {
    if (id == kDialogHelpButtonId || id <= 0) return; // help does not close the dialog
    if (!GetDlgItem(dialog, id)) return;
    state.Finish(id);
}

// The dialog window: it lays out what it shows at its DPI and records which button answered.
class MessageForm : public Window {
public:
    MessageForm(DialogState& state, const DialogRequest& request, int dpi)
        : Window(request.owner, dpi), state_(state), request_(request) {}
    ~MessageForm() override { DestroyHwnd(); }
    void DestroyNow() { DestroyHwnd(); }

    // Made at `at`, on the monitor it is shown on. Throws as CreateWindowOf when the window or
    // one of its controls cannot be made.
    void Create(POINT at) {
        WindowClassInfo info;
        info.name = kDialogClass;
        CreateWindowOf(info, kExStyle, request_.caption.c_str(), kStyle, at.x, at.y, 0, 0,
                       request_.owner);
        if (request_.icon) {
            HWND image =
                CreateChild({.className = "STATIC", .style = WS_VISIBLE | SS_ICON, .id = kImageId});
            SendMessageA(image, STM_SETICON,
                         reinterpret_cast<WPARAM>(LoadIconA(nullptr, request_.icon)), 0);
        }
        CreateChild({.className = "STATIC",
                     .text = request_.message.c_str(),
                     .style = WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                     .id = kMessageId});
        for (const ButtonKind& b : kButtons) {
            if (!(request_.buttons & b.button)) continue;
            const DWORD kind = b.id == state_.defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            HWND button = CreateChild({.className = "BUTTON",
                                       .text = ButtonCaption(request_, b),
                                       .style = WS_VISIBLE | WS_TABSTOP | kind,
                                       .id = b.id});
            if (!firstButton_) firstButton_ = button;
        }
        OnDpiChanged();
    }
    HWND FirstButton() const { return firstButton_; }

protected:
    // Layout in dialog units of the font, as the system's own message boxes do it.
    void OnDpiChanged() override {
        font_ = DialogFont(Dpi());
        SIZE unit{};
        RECT textRect{};
        int buttonTextWidth = 0;
        {
            WindowDC dc(Hwnd());
            SelectedObject selected(dc.get(), font_.get());
            const char sample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
            SIZE size{};
            GetTextExtentPoint32A(dc.get(), sample, 52, &size);
            TEXTMETRICA metrics{};
            GetTextMetricsA(dc.get(), &metrics);
            unit.cx = std::max<LONG>(1, (size.cx / 26 + 1) / 2);
            unit.cy = std::max<LONG>(1, metrics.tmHeight);
            textRect = {0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
            DrawTextA(dc.get(), request_.message.c_str(), static_cast<int>(request_.message.size()),
                      &textRect, DT_EXPANDTABS | DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            for (const ButtonKind& b : kButtons) {
                if (!(request_.buttons & b.button)) continue;
                RECT r{};
                DrawTextA(dc.get(), ButtonCaption(request_, b), -1, &r,
                          DT_CALCRECT | DT_SINGLELINE);
                buttonTextWidth = std::max<int>(buttonTextWidth, r.right);
            }
        }
        const int horzMargin = MulDiv(8, unit.cx, 4);
        const int vertMargin = MulDiv(8, unit.cy, 8);
        const int horzSpacing = MulDiv(10, unit.cx, 4);
        const int vertSpacing = MulDiv(10, unit.cy, 8);
        const int buttonSpacing = MulDiv(4, unit.cx, 4);
        const int buttonHeight = MulDiv(14, unit.cy, 8);
        const int buttonWidth =
            std::max(MulDiv(50, unit.cx, 4), buttonTextWidth + 2 * buttonSpacing);
        const int iconSize = request_.icon ? Scale(32) : 0;

        int buttonCount = 0;
        for (const ButtonKind& b : kButtons)
            if (request_.buttons & b.button) ++buttonCount;
        const int groupWidth =
            buttonCount * buttonWidth + std::max(0, buttonCount - 1) * buttonSpacing;
        const int iconTextWidth = textRect.right + (request_.icon ? iconSize + horzSpacing : 0);
        const int iconTextHeight = std::max<int>(iconSize, textRect.bottom);
        const int clientWidth = std::max(iconTextWidth, groupWidth) + 2 * horzMargin;
        const int clientHeight = iconTextHeight + vertSpacing + buttonHeight + 2 * vertMargin;

        // The layout is in pixels of the font's own units.
        int x = horzMargin;
        if (request_.icon) {
            MoveWindow(GetDlgItem(Hwnd(), kImageId), x, vertMargin, iconSize, iconSize, FALSE);
            x += iconSize + horzSpacing;
        }
        HWND text = GetDlgItem(Hwnd(), kMessageId);
        SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        MoveWindow(text, x, vertMargin, textRect.right, textRect.bottom, FALSE);
        int bx = (clientWidth - groupWidth) / 2;
        const int by = vertMargin + iconTextHeight + vertSpacing;
        for (const ButtonKind& b : kButtons) {
            if (!(request_.buttons & b.button)) continue;
            HWND button = GetDlgItem(Hwnd(), b.id);
            SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
            MoveWindow(button, bx, by, buttonWidth, buttonHeight, FALSE);
            bx += buttonWidth + buttonSpacing;
        }
        SetClientSize(clientWidth, clientHeight);
        InvalidateRect(Hwnd(), nullptr, TRUE);
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL && !lParam) {
                // Escape through the dialog manager.
                if (state_.cancelId) Press(Hwnd(), state_, state_.cancelId);
            } else if (HIWORD(wParam) == BN_CLICKED) {
                Press(Hwnd(), state_, LOWORD(wParam));
            }
            return 0;
        case DM_GETDEFID:
            if (state_.defaultId) return MAKELRESULT(state_.defaultId, DC_HASDEFID);
            return 0;
        case WM_CLOSE:
            state_.Finish(mrCancel);
            return 0;
        case WM_CTLCOLORSTATIC:
            ContrastColors(reinterpret_cast<HDC>(wParam), COLOR_BTNFACE, COLOR_BTNTEXT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return DefaultMessage(message, wParam, lParam);
    }

private:
    static constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    static constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

    DialogState& state_;
    const DialogRequest& request_;
    UniqueFont font_;
    HWND firstButton_ = nullptr;
};

HWND FocusTarget(HWND dialog, const std::string& focusName) {
    std::string name = focusName.substr(0, 255);
    if (name.size() >= 2 && SameTextAZ(name.substr(0, 2), "MB")) name.erase(0, 2);
    if (name.empty()) return nullptr;
    for (const ButtonKind& b : kButtons)
        if (SameTextAZ(name, b.name)) return GetDlgItem(dialog, b.id);
    return nullptr;
}

int RunDialog(const DialogRequest& request) {
    // Step one: whatever waits in the queue is handled before the question appears.
    if (!PumpWaitingMessages()) return mrCancel;

    DialogState state;
    state.closed = request.closed;
    // However the dialog ends, the caller hears it once.
    struct TellClosed {
        DialogState& state;
        ~TellClosed() {
            if (auto told = std::exchange(state.closed, nullptr)) told();
        }
    } tellClosed{state};
    for (const ButtonKind& b : kButtons) {
        if (!(request.buttons & b.button)) continue;
        if (!state.defaultId && (b.button == mbOK)) state.defaultId = b.id;
    }
    if (!state.defaultId && (request.buttons & mbYes)) state.defaultId = mrYes;
    if (!state.defaultId && (request.buttons & mbRetry)) state.defaultId = mrRetry;
    if (request.buttons & mbCancel)
        state.cancelId = mrCancel;
    else if (request.buttons & mbNo)
        state.cancelId = mrNo;
    else if (request.buttons & mbOK)
        state.cancelId = mrOk;

    // On the owner's monitor (the main one without an owner), laid out at its DPI: an owner of
    // ours knows it, having followed every change.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    const HMONITOR shownOn = MonitorFromWindow(request.owner, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoA(shownOn, &monitor))
        monitor.rcWork = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const Window* ours = Window::FromHwnd(GetAncestor(request.owner, GA_ROOT));
    MessageForm form(state, request, ours ? ours->Dpi() : MonitorDpi(shownOn));
    try {
        form.Create({monitor.rcWork.left, monitor.rcWork.top});
    } catch (const std::exception&) {
        return mrCancel;
    }
    HWND dialog = form.Hwnd();
    HWND firstButton = form.FirstButton();

    RECT frame;
    GetWindowRect(dialog, &frame);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Centred, but never with the caption off the monitor.
    SetWindowPos(dialog, HWND_TOP,
                 std::max<int>(area.left, area.left + (area.right - area.left - width) / 2),
                 std::max<int>(area.top, area.top + (area.bottom - area.top - height) / 2), 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);

    HWND focus = FocusTarget(dialog, request.focusName);
    const bool ended = RunModalLoop(
        dialog, focus ? focus : firstButton, [&] { return state.done; },
        [&](const MSG& msg) {
            if (msg.message != WM_KEYDOWN || (msg.hwnd != dialog && !IsChild(dialog, msg.hwnd)))
                return false;
            if (msg.wParam == VK_RETURN) {
                // Enter presses the focused button, else the default one.
                HWND focused = GetFocus();
                Press(dialog, state,
                      IsOurButton(dialog, focused) ? GetDlgCtrlID(focused) : state.defaultId);
                return true;
            }
            if (msg.wParam == VK_ESCAPE) {
                if (state.cancelId) Press(dialog, state, state.cancelId);
                return true;
            }
            return false;
        });
    if (!ended) state.result = mrCancel;
    form.DestroyNow();
    return state.result == mrNone ? mrCancel : state.result;
}

} // namespace

int ShowMessageDialog(HWND owner, const std::string& title, const std::string& message, int type,
                      unsigned buttons, int /*helpContext*/, const std::string& focusName) {
    static const LPCSTR kIcons[] = {IDI_EXCLAMATION, IDI_HAND, IDI_ASTERISK, IDI_QUESTION};
    DialogRequest request;
    request.owner = owner;
    const bool known = type >= mtWarning && type <= mtConfirmation;
    std::string word = known ? kCaptionWords[type] : "";
    request.caption = title.empty() ? word : title + " - " + word;
    request.message = message;
    request.icon = known ? kIcons[type] : nullptr;
    request.buttons = buttons;
    request.focusName = focusName;
    return RunDialog(request);
}

void ShowPlainMessage(HWND owner, const std::string& title, const std::string& message,
                      const std::function<void()>& closed) {
    DialogRequest request;
    request.owner = owner;
    request.closed = closed;
    request.caption = title;
    request.message = message;
    RunDialog(request);
}

int ShowConfirmation(HWND owner, const std::string& caption, const std::string& message) {
    DialogRequest request;
    request.owner = owner;
    request.caption = caption;
    request.message = message;
    request.icon = IDI_QUESTION;
    request.buttons = mbOK | mbCancel;
    request.englishCancel = true;
    return RunDialog(request);
}

std::string ErrorDisplayText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

void ShowErrorDisplay(HWND owner, const std::string& title, const std::string& message,
                      const std::function<void()>& closed) {
    DialogRequest request;
    request.owner = owner;
    request.closed = closed;
    request.caption = title;
    request.message = ErrorDisplayText(message);
    request.icon = IDI_HAND;
    RunDialog(request);
}

namespace {

struct ClassSearch {
    std::string name;
    bool found = false;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ClassSearch*>(param);
    char className[256] = {};
    int length = GetClassNameA(window, className, sizeof className);
    if (length > 0 && SameTextAZ(std::string_view(className, length), search->name)) {
        search->found = true;
        return FALSE; // first match is enough
    }
    return TRUE;
}

} // namespace

bool IsFormOpen(const std::string& className) {
    ClassSearch search{className.substr(0, 255)};
    EnumThreadWindows(GetCurrentThreadId(), MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace kivo
