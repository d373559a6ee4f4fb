// The window base's own rule: a failure in a handler is shown once and the window goes on.
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
        return DefaultMessage(message, wParam, lParam);
    }
};

TEST(Window, HandlerFailureIsShownOnceAndTheWindowStaysUsable) {
    InitApp();
    std::vector<std::string> shown;
    DialogHook dialogs([&](HWND dialog) {
        shown.push_back(ReadBox(dialog).message);
        Click(dialog, IDOK);
    });
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

} // namespace
} // namespace kivo::test
