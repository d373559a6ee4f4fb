#include "win32/application.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/errors.h"
#include "support/win32_test_util.h"

namespace kivo {
namespace {

TEST(ApplicationTitle, FileNameUpToTheFirstDotWithTheRestLowerCase) {
    EXPECT_EQ(ApplicationTitleFromPath("C:\\Program Files\\KIVO\\kivoklok.exe"), "kivoklok");
    EXPECT_EQ(ApplicationTitleFromPath("C:\\KIVO\\KIVOKLOK.EXE"), "Kivoklok");
    EXPECT_EQ(ApplicationTitleFromPath("c:\\a.b\\Kivo.Klok.exe"), "Kivo");
    EXPECT_EQ(ApplicationTitleFromPath("d:Schakel-KLOK"), "Schakel-klok");
    EXPECT_EQ(ApplicationTitleFromPath("kivoklok"), "kivoklok");
    EXPECT_EQ(ApplicationTitleFromPath("c:\\x\\.exe"), "");
    EXPECT_EQ(ApplicationTitleFromPath("X.EXE"), "X");
    EXPECT_EQ(ApplicationTitleFromPath(""), "");
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::vector<UINT> received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || message == WM_APP) {
        received.push_back(message);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMainWindow() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TTestMainForm";
    RegisterClassExA(&wc);
    return CreateWindowExA(0, "TTestMainForm", "Hoofdscherm",
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE,
                           100, 50, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
}

TEST(Application, HiddenWindowCarriesTheTitle) {
    test::InitApp();
    TApplication& app = TApplication::Instance();
    HWND handle = app.Hwnd();
    ASSERT_NE(handle, nullptr);
    test::InitApp(); // a second call changes nothing
    EXPECT_EQ(app.Hwnd(), handle);
    EXPECT_EQ(app.Title(), "win32_test");
    EXPECT_EQ(WindowText(handle), app.Title());
    char cls[64] = {};
    GetClassNameA(handle, cls, sizeof cls);
    EXPECT_STREQ(cls, "TApplication");
    EXPECT_FALSE(IsWindowVisible(handle));
    EXPECT_EQ(GetParent(handle), nullptr);
    EXPECT_EQ(FindWindowA("TApplication", app.Title().c_str()), handle);

    // Log-off and shut-down are always agreed to.
    EXPECT_EQ(SendMessageA(handle, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(SendMessageA(handle, WM_ENDSESSION, FALSE, 0), 0); // cancelled: nothing happens
}

TEST(Application, MinimizeActsOnTheMainWindowThenCallsTheHandler) {
    test::InitApp();
    TApplication& app = TApplication::Instance();
    HWND main = CreateMainWindow();
    ASSERT_NE(main, nullptr);
    app.SetMainWindow(main);
    int calls = 0;
    bool iconicInHandler = false;
    app.OnMinimize = [&] {
        ++calls;
        iconicInHandler = IsIconic(main) != FALSE;
    };
    EXPECT_FALSE(app.IsMinimized());
    app.Restore(); // not minimized: nothing
    EXPECT_FALSE(app.IsMinimized());

    app.Minimize();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(iconicInHandler);
    EXPECT_TRUE(app.IsMinimized());
    app.Restore();
    EXPECT_FALSE(app.IsMinimized());
    EXPECT_FALSE(IsIconic(main));

    // A close request for the application goes to the main window, which decides.
    received.clear();
    SendMessageA(app.Hwnd(), WM_CLOSE, 0, 0);
    test::PumpFor(20);
    EXPECT_EQ(received, std::vector<UINT>{WM_CLOSE});
    EXPECT_TRUE(IsWindow(app.Hwnd()));

    app.OnMinimize = nullptr;
    app.SetMainWindow(nullptr);
    DestroyWindow(main);
}

TEST(Application, RunHandlesMessagesUntilTerminated) {
    test::InitApp();
    TApplication& app = TApplication::Instance();
    HWND main = CreateMainWindow();
    received.clear();
    PostMessageA(main, WM_APP, 0, 0);
    app.Terminate();
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(received, std::vector<UINT>{WM_APP}) << "messages already waiting are handled";
    DestroyWindow(main);
}

TEST(Application, ProcessMessagesLeavesTheQuitMessageForTheMainLoop) {
    test::InitApp();
    TApplication& app = TApplication::Instance();
    PostQuitMessage(3);
    EXPECT_FALSE(app.ProcessMessages());
    EXPECT_EQ(app.Run(), 3);
}

TEST(Application, HandleExceptionShowsTheErrorDisplay) {
    test::InitApp();
    std::vector<test::ShownBox> shown;
    test::DialogHook hook([&](HWND dialog) {
        shown.push_back(test::ReadBox(dialog));
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    });
    TApplication::Instance().HandleException(KivoError("Cannot open file \"a.log\"."));
    GuardedCall([] { throw KivoError("List index out of bounds (3)"); });
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].message, "Cannot open file \"a.log\".");
    EXPECT_EQ(shown[1].message, "List index out of bounds (3)"); // ')' sorts before '.'
    EXPECT_EQ(shown[1].caption, "win32_test");
}

TEST(ApplicationDeathTest, EndSessionEndsTheProcessAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            test::InitApp();
            SendMessageA(TApplication::Instance().Hwnd(), WM_ENDSESSION, TRUE, 0);
            std::exit(5);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace kivo
