// The information window and its scrolling panel, in-process under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/collation.h"
#include "support/fake_clock.h"
#include "support/fake_shell.h"
#include "support/mem_files.h"
#include "support/win32_test_util.h"
#include "ui/about.h"
#include "ui/instel.h"

namespace kivo::test {
namespace {

TAboutBox* AboutBoxOf(HWND window) {
    return dynamic_cast<TAboutBox*>(Window::FromHwnd(window));
}

void ClickPanel(TAboutBox& box) {
    HWND panel = box.CreditsPanel1.Hwnd();
    SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
}

// Waits for what the scroll thread does: it sends no message that would end a wait for one.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        PumpFor(5);
    }
    return true;
}

// Wine answers GetGuiResources with 0. How many more GDI objects the process can make tells the
// objects in use there as well: each one left behind leaves room for one less.
int GdiRoom() {
    std::vector<UniqueGdiObject> all;
    while (all.size() < 200000) {
        HBRUSH brush = CreateSolidBrush(0);
        if (!brush) break;
        all.emplace_back(brush);
    }
    return static_cast<int>(all.size());
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

int ThreadWindowCount() {
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

struct About : ::testing::Test {
    void SetUp() override { InitApp(); }
    void TearDown() override { OnDialogShown = nullptr; }
};

TEST_F(About, FirstFrameIsEmptyAndTheFirstLineRisesFromTheBottom) {
    TAboutBox box(nullptr);
    TCreditsPanel& panel = box.CreditsPanel1;
    panel.SetInterval(0); // no step yet
    box.FormShow();
    ASSERT_TRUE(panel.Active());

    const int dpi = ScreenDpi();
    const credits::Box text = panel.TextArea();
    EXPECT_EQ(text.Width(), Scaled(281, dpi) - 8);
    EXPECT_EQ(text.Height(), Scaled(161, dpi) - 8);
    EXPECT_EQ(panel.FirstTextLine(), 10);
    ASSERT_GT(panel.LineStep(), 10);
    EXPECT_EQ(panel.ScrollLimit(), text.Height() + 15 * panel.LineStep());
    EXPECT_EQ(panel.ScrollPos(), 0);

    const int width = text.Width(), height = text.Height();
    const std::uint32_t background = [] {
        COLORREF c = GetSysColor(COLOR_BTNFACE);
        return static_cast<std::uint32_t>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
    }();
    auto inkRows = [&](int from, int to) { // rows [from, to) holding anything but background
        std::vector<std::uint32_t> pixels = panel.FramePixels();
        int rows = 0;
        for (int y = std::max(0, from); y < to && y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (pixels[y * width + x] != background) {
                    ++rows;
                    break;
                }
        return rows;
    };
    EXPECT_EQ(inkRows(0, height), 0) << "the text area starts empty";

    panel.SetInterval(TAboutBox::ScrollInterval);
    ASSERT_TRUE(WaitFor([&] { return panel.ScrollPos() >= panel.LineStep() + 4; }));
    panel.SetInterval(0);
    const int pos = panel.ScrollPos();
    EXPECT_EQ(inkRows(0, height - pos), 0) << "nothing above the rising text, at " << pos;
    EXPECT_GT(inkRows(height - pos, height), 4) << "the first line shows at the bottom";
    Sleep(150);
    EXPECT_EQ(panel.ScrollPos(), pos) << "paused between steps";

    box.CreditsPanel1.SetActive(false);
    EXPECT_EQ(panel.ScrollPos(), 0);
    EXPECT_TRUE(panel.FramePixels().empty()) << "the frame image is freed";
    EXPECT_EQ(TCreditsPanel::RunningThreads(), 0);
}

TEST_F(About, APanelThatIsNotCycledStopsItselfAfterTheLastLine) {
    TAboutBox box(nullptr);
    TCreditsPanel& panel = box.CreditsPanel1;
    panel.SetCycled(false);
    panel.SetLines({"a", "b"});
    panel.SetInterval(1);
    int started = 0, stopped = 0;
    panel.OnStartPlay = [&] { ++started; };
    panel.OnStopPlay = [&] { ++stopped; };
    panel.SetActive(true);
    EXPECT_TRUE(WaitFor([&] { return !panel.Active(); }, 10000));
    EXPECT_EQ(started, 1);
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(TCreditsPanel::RunningThreads(), 0);

    // Drawn on the user-interface thread instead: the steps still come, and the end too.
    panel.AsyncDrawing = false;
    panel.SetActive(true);
    EXPECT_TRUE(WaitFor([&] { return !panel.Active(); }, 10000));
    EXPECT_EQ(stopped, 2);
}

TEST_F(About, StoppingMidStepOrWhilePausedIsPrompt) {
    TAboutBox box(nullptr);
    TCreditsPanel& panel = box.CreditsPanel1;
    DWORD slowest = 0;
    for (int i = 0; i < 200; ++i) {
        panel.SetInterval(1);
        panel.SetActive(true);
        Sleep(i % 4);
        if (i % 3 == 0) panel.SetInterval(0);                     // paused, perhaps inside a step
        if (i % 5 == 0) panel.SetLines(TAboutBox::CreditLines()); // the layout again, meanwhile
        const DWORD start = GetTickCount();
        panel.SetActive(false);
        slowest = std::max(slowest, GetTickCount() - start);
    }
    EXPECT_LT(slowest, 500u);
    EXPECT_EQ(TCreditsPanel::RunningThreads(), 0);
}

TEST_F(About, ClickPausesAndResumesEscapeKeepsItOpenEnterClosesIt) {
    int shown = 0, paused = -1, stillPaused = -1, resumed = -1;
    HWND shownWindow = nullptr;
    DialogHook hook([&](HWND window) {
        ++shown;
        shownWindow = window;
        TAboutBox* box = AboutBoxOf(window);
        ASSERT_NE(box, nullptr);
        TCreditsPanel& panel = box->CreditsPanel1;
        ASSERT_TRUE(WaitFor([&] { return panel.ScrollPos() >= 5; }));
        ClickPanel(*box);
        EXPECT_EQ(panel.Interval(), 0u);
        paused = panel.ScrollPos();
        PumpFor(150);
        stillPaused = panel.ScrollPos();
        ClickPanel(*box);
        EXPECT_EQ(panel.Interval(), TAboutBox::ScrollInterval);
        WaitFor([&] { return panel.ScrollPos() > paused; });
        resumed = panel.ScrollPos();
        SendMessageA(panel.Hwnd(), WM_KEYDOWN, VK_SPACE, 0);
        EXPECT_EQ(panel.Interval(), 0u) << "Space clicks the focused panel";
        // Keys go through the modal loop: Escape first, then Enter.
        HWND focus = GetFocus() ? GetFocus() : box->OKButton();
        PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(TAboutBox::Execute(nullptr), mrOk) << "Escape did not close it, Enter pressed OK";
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(stillPaused, paused);
    EXPECT_GT(resumed, paused);
    EXPECT_LE(resumed, paused + 5) << "resumed where it stood, not from the start";
    EXPECT_FALSE(IsWindow(shownWindow)) << "destroyed after closing";
}

struct AboutFromTheMenus : About {
    FakeClock clock{2024, 3, 7, 9, 0};
    MemFiles files;
    FakeShell shell;
};

TEST_F(AboutFromTheMenus, BothMenuItemsOpenItModallyCentredAndSized) {
    TInstelForm form(FormatSettings{},
                     TInstelForm::Services{clock, files, UserCollator(), shell, "C:\\kivo\\k.exe"});
    form.OnReport = [](const std::string&) {};
    form.FormCreate();
    form.Show();
    PumpFor(50);

    std::vector<std::string> captions;
    bool formDisabled = false;
    RECT outer{};
    DialogHook hook([&](HWND window) {
        captions.push_back(WindowText(window));
        formDisabled = !IsWindowEnabled(form.Hwnd());
        GetWindowRect(window, &outer);
        ASSERT_NE(AboutBoxOf(window), nullptr);
        SendMessageA(AboutBoxOf(window)->OKButton(), BM_CLICK, 0, 0);
    });
    SendMessageA(form.Hwnd(), WM_COMMAND, MAKEWPARAM(TInstelForm::IdInformatie1, 0), 0);
    EXPECT_TRUE(formDisabled);
    EXPECT_TRUE(IsWindowEnabled(form.Hwnd())) << "input given back";
    SendMessageA(form.Hwnd(), WM_COMMAND, MAKEWPARAM(TInstelForm::IdInformatie2, 0), 0);
    EXPECT_EQ(captions, (std::vector<std::string>{"Informatie", "Informatie"}));

    const int dpi = ScreenDpi();
    EXPECT_EQ(outer.right - outer.left, Scaled(304, dpi));
    EXPECT_EQ(outer.bottom - outer.top, Scaled(242, dpi));
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - Scaled(304, dpi)) / 2);
    EXPECT_EQ(TCreditsPanel::RunningThreads(), 0);
}

TEST_F(About, HundredOpeningsLeaveNoObjectsAndNoThreadsBehind) {
    auto cycle = [](int i) {
        DialogHook hook([i](HWND window) {
            TAboutBox* box = AboutBoxOf(window);
            if (!box) return;
            if (i % 2) WaitFor([&] { return box->CreditsPanel1.ScrollPos() > 0; });
            if (i % 3 == 0) ClickPanel(*box); // closed while paused
            if (i % 5 == 0)
                SendMessageA(window, WM_CLOSE, 0, 0); // the close box
            else
                SendMessageA(box->OKButton(), BM_CLICK, 0, 0);
        });
        TAboutBox::Execute(nullptr);
    };
    // Classes registered, fonts cached, the system's helper threads started: what stays.
    for (int i = 0; i < 6; ++i) cycle(i);
    PumpFor(50);
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const int room = GdiRoom();
    const int windows = ThreadWindowCount();
    const int threads = ThreadsOfThisProcess();
    {
        UniqueGdiObject kept(CreateSolidBrush(0));
        EXPECT_EQ(GdiRoom(), room - 1) << "the room sees a single object left behind";
    }

    for (int i = 0; i < 100; ++i) cycle(i);
    PumpFor(50);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
    EXPECT_EQ(GdiRoom(), room);
    EXPECT_EQ(ThreadWindowCount(), windows);
    EXPECT_EQ(TCreditsPanel::RunningThreads(), 0);
    EXPECT_TRUE(WaitFor([&] { return ThreadsOfThisProcess() <= threads; }, 2000))
        << ThreadsOfThisProcess() << " threads, " << threads << " before";
}

} // namespace
} // namespace kivo::test
