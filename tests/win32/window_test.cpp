// The window base's own rules: a failure in a handler is shown once and the window goes on; a
// control that cannot be made fails as a window that cannot be made does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "support/win32_test_util.h"
#include "win32/window.h"

namespace kivo::test {
namespace {

constexpr UINT kFail = WM_APP;
constexpr UINT kAnswer = WM_APP + 1;
constexpr UINT kMakeMissing = WM_APP + 2;
constexpr int kMissingId = 7;

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

class Throwing : public Window {
public:
    Throwing() {
        WindowClassInfo info;
        info.name = "KivoThrowingTestWindow";
        CreateWindowOf(info, 0, "", WS_POPUP, 0, 0, 10, 10, nullptr);
        HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 10, 10, Hwnd(), nullptr, nullptr,
                                    nullptr);
        hook.Attach(edit, [this](UINT m, WPARAM w, LPARAM l) {
            return m == kFail || m == kAnswer ? OnMessage(m, w, l) : hook.Default(m, w, l);
        });
    }
    ControlHook hook;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kFail) throw KivoError("Handler failed");
        if (message == kAnswer) return 42;
        if (message == kMakeMissing)
            CreateChild({.className = "KivoNoSuchControlClass", .id = kMissingId});
        return DefaultMessage(message, wParam, lParam);
    }
};

TEST(Window, HandlerFailureIsShownOnceAndTheWindowStaysUsable) {
    InitApp();
    BoxesAnsweredOk boxes;
    std::vector<std::string>& shown = boxes.shown;
    Throwing window;
    // The window itself, then a control hooked through the base.
    for (HWND target : {window.Hwnd(), window.hook.Hwnd()}) {
        shown.clear();
        EXPECT_EQ(SendMessageA(target, kFail, 0, 0), 0);
        EXPECT_EQ(shown, std::vector<std::string>{"Handler failed."});
        EXPECT_EQ(SendMessageA(target, kAnswer, 0, 0), 42) << "still handles its messages";
        EXPECT_TRUE(IsWindow(target));
        EXPECT_EQ(shown.size(), 1u);
    }
    EXPECT_EQ(Window::FromHwnd(window.Hwnd()), &window);
}

TEST(Window, AControlIsMadeAtItsBoxOrFailsAsAWindowDoes) {
    InitApp();
    BoxesAnsweredOk boxes;
    std::vector<std::string>& shown = boxes.shown;
    Throwing window;
    const std::string failure = "Error creating window: ";

    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HWND button = window.CreateChild({.className = "BUTTON",
                                      .text = "OK",
                                      .style = WS_VISIBLE,
                                      .id = 8,
                                      .box = {10, 20, 30, 40},
                                      .font = font});
    RECT place;
    GetWindowRect(button, &place);
    MapWindowPoints(nullptr, window.Hwnd(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, window.Scale(10));
    EXPECT_EQ(place.top, window.Scale(20));
    EXPECT_EQ(place.right - place.left, window.Scale(30));
    EXPECT_EQ(place.bottom - place.top, window.Scale(40));
    EXPECT_EQ(GetDlgItem(window.Hwnd(), 8), button);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)), font);

    try {
        window.CreateChild({.className = "KivoNoSuchControlClass"});
        ADD_FAILURE() << "a control of a class that does not exist was made";
    } catch (const KivoError& e) {
        EXPECT_TRUE(StartsWith(e.what(), failure)) << e.what();
    }
    // Made by a handler, the failure is shown once and the window goes on.
    EXPECT_EQ(SendMessageA(window.Hwnd(), kMakeMissing, 0, 0), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(StartsWith(shown[0], failure)) << shown[0];
    EXPECT_EQ(GetDlgItem(window.Hwnd(), kMissingId), nullptr);
    EXPECT_EQ(SendMessageA(window.Hwnd(), kAnswer, 0, 0), 42);

    // A class Windows refuses to register fails the same way.
    const std::string tooLong(300, 'K');
    WindowClassInfo refused;
    refused.name = tooLong.c_str();
    try {
        RegisterWindowClass(refused, DefWindowProcA);
        ADD_FAILURE() << "a class name of 300 characters was registered";
    } catch (const KivoError& e) {
        EXPECT_TRUE(StartsWith(e.what(), failure)) << e.what();
    }
}

// A top-level window with two fields, the first its default for the keyboard.
class TwoFields : public Window {
public:
    TwoFields() {
        WindowClassInfo info;
        info.name = "KivoFocusTestWindow";
        CreateWindowOf(info, 0, "", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr);
        first = CreateChild({.className = "EDIT", .style = WS_VISIBLE, .box = {0, 0, 50, 20}});
        second = CreateChild({.className = "EDIT", .style = WS_VISIBLE, .box = {0, 30, 50, 20}});
    }
    HWND first = nullptr, second = nullptr;

protected:
    HWND DefaultFocus() const override { return first; }
};

TEST(Window, TheKeyboardComesBackToTheControlThatHadItElseToTheDefault) {
    InitApp();
    TwoFields window;
    auto leaveAndComeBack = [&] {
        SendMessageA(window.Hwnd(), WM_ACTIVATE, WA_INACTIVE, 0);
        SetFocus(nullptr);
        SendMessageA(window.Hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
        return GetFocus();
    };
    SetFocus(window.second);
    EXPECT_EQ(leaveAndComeBack(), window.second);
    EnableWindow(window.second, FALSE);
    EXPECT_EQ(leaveAndComeBack(), window.first) << "a disabled control is not given it";
    SetFocus(window.Hwnd());
    EXPECT_EQ(GetFocus(), window.first) << "the window itself passes it on";
}

} // namespace
} // namespace kivo::test
