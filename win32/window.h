#pragma once
// The one window base of the program: every window class registers through it, gets its object
// back from GWLP_USERDATA and handles its messages in one member, under one exception policy.
#include <windows.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "win32/contrast.h"
#include "win32/fonts.h"

namespace kivo {

// ---- Exception policy ----

// Where a failure that no handler caught goes. The application installs its top-level error
// display (TApplication does so when it is made); before that a plain stop box stands in.
using UncaughtExceptionHandler = void (*)(const std::exception&);
void SetUncaughtExceptionHandler(UncaughtExceptionHandler handler);
void HandleUncaughtException(const std::exception& e) noexcept;

// Runs a handler where exceptions must not cross Win32 frames: a failure goes once to the
// top-level error display, and the caller goes on.
template <typename F> void GuardedCall(F&& f) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        HandleUncaughtException(e);
    } catch (...) {
        HandleUncaughtException(std::runtime_error("Unknown error"));
    }
}

// ---- Window classes and objects ----

// What a window class erases with: a system colour or nothing (the window erases itself). Never
// a brush a window made: the class is registered once, with the first window, and outlives it. A
// window of its own colour says so with Window::SetBackgroundColor.
class ClassBackground {
public:
    constexpr ClassBackground(std::nullptr_t) {}
    static constexpr ClassBackground SystemColor(int index) { return ClassBackground(index); }
    // The index plus one, not the colour's brush: the class erases in the colour of the moment,
    // whatever changed it since (a brush of the system's may be made anew then).
    HBRUSH Brush() const {
        return index_ < 0 ? nullptr : reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(index_ + 1));
    }

private:
    constexpr explicit ClassBackground(int index) : index_(index) {}
    int index_ = -1;
};

// How a window class looks; registered once per class name and module.
struct WindowClassInfo {
    const char* name = nullptr;
    UINT style = 0;
    ClassBackground background = ClassBackground::SystemColor(COLOR_BTNFACE);
    HCURSOR cursor = nullptr;           // null: the arrow
    const char* iconResource = nullptr; // e.g. "MAINICON" (else the system's); null: no icon
};

// Registers the class unless this module already has it (a second registration is harmless).
// Throws KivoError "Error creating window: <reason>" when Windows refuses it.
void RegisterWindowClass(const WindowClassInfo& info, WNDPROC proc);

// ---- Layout ----

// A place and size in design units (pixels at 96 DPI): left, top, width, height. Every window
// gives its layout as a table of these.
struct Box {
    int left = 0, top = 0, width = 0, height = 0;
};

// A system control (button, edit, list box, ...) to make as a child of a window.
struct ChildControl {
    const char* className = nullptr;
    const char* text = "";
    DWORD style = 0; // WS_CHILD is always added
    DWORD exStyle = 0;
    int id = 0;
    Box box{};            // empty: placed later
    HFONT font = nullptr; // not owned; null: the control's own
};

// A window's text (a control's caption or contents).
std::string WindowText(HWND window);
// The outer size of a window of these styles whose inside is `client`, at a DPI.
SIZE OuterSize(SIZE client, DWORD style, DWORD exStyle, bool menu, int dpi);

// Base of every window object. The object owns its HWND: destroying the object destroys the
// window. The window's own destruction (DestroyWindow, WM_CLOSE's default) detaches the object:
// no message reaches it after WM_NCDESTROY, and OnFinalMessage runs last. A derived class whose
// handlers must see the window's last messages calls DestroyHwnd in its own destructor.
//
// Exception policy: a failure escaping OnMessage goes once to the top-level error display
// (GuardedCall) and the message counts as handled with the result 0; the window stays usable.
//
// What every window needs from Windows is kept here, so that no window handles it itself:
// - DPI: a window is laid out at Dpi(), which is its owner's when it is made (the screen's for
//   a window without one), what Windows says once it exists, and follows WM_DPICHANGED: the
//   base applies the suggested rectangle, then calls OnDpiChanged of each window of ours inside
//   it and of the window itself, to remake fonts and lay out the boxes.
// - Background: the class erases with a system colour at most; SetBackgroundColor gives a window
//   a colour of its own, erased by the base, with BackgroundBrush for WM_CTLCOLOR* answers.
// - Colours: a top-level window told that the system's colours or its high contrast changed
//   (WM_SYSCOLORCHANGE, WM_SETTINGCHANGE) tells the system controls inside it, takes its own
//   colour again, calls OnColorsChanged of each window of ours inside it and of itself, and
//   repaints all of it.
// - Focus memory: a top-level window gives the keyboard back, when it is activated again, to the
//   control that had it, else to DefaultFocus().
class Window {
public:
    Window() = default;
    // Made at the owner's DPI (a dialog comes up over its owner); null: the screen's.
    explicit Window(HWND owner);
    // Made at a DPI the caller knows: that of the monitor the window comes up on.
    Window(HWND /*owner*/, int dpi) : dpi_(dpi) {}
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Hwnd() const { return hwnd_; }

    // The object of a window made through this base; null for other windows.
    static Window* FromHwnd(HWND hwnd);

    // The dots per inch the window is laid out for (see above).
    int Dpi() const { return dpi_; }
    // Design units in pixels at the window's DPI.
    int Scale(int units) const { return Scaled(units, dpi_); }
    // A box in pixels at the window's DPI, as left, top, right, bottom.
    RECT Pixels(const Box& box) const;
    // Moves a child window to its box.
    void Place(HWND child, const Box& box, bool repaint = true) const;
    // Sizes the window so that its inside is width by height pixels; its top left stays.
    void SetClientSize(int width, int height);
    // Makes a system control as a child of this window at its box (scaled), with its font.
    // Throws KivoError "Error creating window: <reason>" when Windows refuses, as CreateWindowOf.
    HWND CreateChild(const ChildControl& control);

protected:
    // Registers `info` (once) and creates the window with this object attached. Throws KivoError
    // "Error creating window: <reason>" when Windows refuses.
    HWND CreateWindowOf(const WindowClassInfo& info, DWORD exStyle, const char* caption,
                        DWORD style, int x, int y, int width, int height, HWND parent,
                        HMENU menu = nullptr);

    // The one message handler of the window; the default passes everything to DefaultMessage.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What Windows does with a message the window does not handle itself.
    LRESULT DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the window's last message (WM_NCDESTROY); a window that frees itself
    // (`delete this`) does it here.
    virtual void OnFinalMessage() {}

    // Destroys the window now (no-op without one).
    void DestroyHwnd();

    // After the window's DPI changed (Dpi() is the new one): remake fonts, pictures and the
    // boxes. The window's own size is set already; windows of ours inside it had theirs first.
    virtual void OnDpiChanged() {}
    // Where the keyboard goes when the window is activated and no control of it had it.
    virtual HWND DefaultFocus() const { return nullptr; }
    // After the system's colours or its high contrast changed: remake what holds colours (pictures
    // with a background, a control's own colours). The window repaints afterwards.
    virtual void OnColorsChanged() {}

    // Gives the window a colour of its own (the system's under high contrast), erased by the base
    // instead of the class's.
    void SetBackgroundColor(OwnColor color);
    // A brush of that colour while the window lives (for WM_CTLCOLOR* answers); the system's
    // button face without one.
    HBRUSH BackgroundBrush() const;

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The messages the base answers itself; false to pass one on to OnMessage.
    bool BaseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void ApplyDpi(int dpi, const RECT& suggested);
    void FollowColors();
    void MakeBackgroundBrush();
    bool RestoreFocus();

    HWND hwnd_ = nullptr;
    int dpi_ = SystemDpi();
    HWND lastFocus_ = nullptr;
    std::optional<OwnColor> background_;
    COLORREF backgroundColor_ = 0; // background_ as painted now
    UniqueBrush backgroundBrush_;
};

// ---- Commands ----

// A command table row that answers every notification code of its id, or every id.
inline constexpr int AnyCode = -1;
inline constexpr int AnyId = -1;

// One row of a window's command table: a WM_COMMAND with this id and notification code runs
// the handler.
template <typename W> struct CommandRoute {
    int id;
    int code;
    void (W::*handler)();
};

// Runs the handler of the first row that matches a WM_COMMAND; false when no row does.
template <typename W, std::size_t N>
bool RouteCommand(W& window, const CommandRoute<W> (&routes)[N], WPARAM wParam) {
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    for (const CommandRoute<W>& route : routes) {
        if ((route.id == AnyId || route.id == id) &&
            (route.code == AnyCode || route.code == code)) {
            (window.*route.handler)();
            return true;
        }
    }
    return false;
}

// A system control (list box, edit, ...) whose messages pass through a handler of ours first,
// under the same exception policy as Window. The handler calls Default for the control's own
// behaviour. Detaches when the control is destroyed or the hook goes.
class ControlHook {
public:
    using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
    ControlHook() = default;
    ~ControlHook() { Detach(); }
    ControlHook(const ControlHook&) = delete;
    ControlHook& operator=(const ControlHook&) = delete;

    void Attach(HWND control, Handler handler);
    void Detach();
    // The control's own handling of a message; only from inside the handler.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    HWND Hwnd() const { return control_; }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);
    HWND control_ = nullptr;
    Handler handler_;
};

// ---- Message pumping ----

// Translates and dispatches one message; a top-level window with the WS_EX_CONTROLPARENT style
// gets dialog keys (Tab, Alt+letter) through IsDialogMessage.
void DispatchWithDialogKeys(MSG& msg);
// Handles every waiting message without blocking. Returns false once the quit message was seen;
// it is posted again for the loop that owns the program's end.
bool PumpWaitingMessages();

} // namespace kivo
