// What every window takes from the window base: it follows a change of DPI to the boxes of its
// layout and back, a dialog comes up at its owner's DPI, and a window's own colour survives the
// windows of its class that went before.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/collation.h"
#include "support/fake_clock.h"
#include "support/fake_shell.h"
#include "support/mem_files.h"
#include "support/win32_test_util.h"
#include "ui/about.h"
#include "ui/instel.h"
#include "ui/instellayout.h"
#include "ui/logboek.h"
#include "ui/taakoverzicht.h"
#include "ui/tijdinst.h"

namespace kivo::test {
namespace {

const std::string Dir = "C:\\kivo\\";

struct Dpi : ::testing::Test {
    FakeClock clock{2024, 3, 7, 9, 0};
    MemFiles files;
    FakeShell shell;
    std::unique_ptr<TInstelForm> form;

    void SetUp() override {
        InitApp();
        form = std::make_unique<TInstelForm>(
            FormatSettings{},
            TInstelForm::Services{clock, files, UserCollator(), shell, Dir + "kivoklok.exe"});
        form->OnTerminate = [] {};
        form->OnReport = [](const std::string&) {};
        form->FormCreate();
        form->Show();
    }
    void TearDown() override { OnDialogShown = nullptr; }
};

// A control's box, in design units, in its parent's client area; Inside: the window's own client
// area. A box in a strip along the bottom edge (stripHeight) has its top from the strip's.
constexpr int Inside = -1;
struct Row {
    int id;
    Box box;
    int stripHeight = 0;
};

HWND Descendant(HWND window, int id) {
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(c) == id) return c;
        if (HWND inner = Descendant(c, id)) return inner;
    }
    return nullptr;
}

using Corners = std::array<LONG, 4>;
Corners Of(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

RECT InParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::map<HWND, Corners> Places(HWND window) {
    std::map<HWND, Corners> places;
    std::function<void(HWND)> walk = [&](HWND parent) {
        for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            places[c] = Of(InParent(c));
            walk(c);
        }
    };
    walk(window);
    return places;
}

// As Windows tells a window that it moved to a monitor of this DPI.
void SendDpiChanged(HWND window, int from, int to) {
    RECT r;
    GetWindowRect(window, &r);
    RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, to, from),
                   r.top + MulDiv(r.bottom - r.top, to, from)};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
}

// The rows at the window's DPI, to 144 and back to the first DPI: the rows at each, and every
// control back where it was.
void CheckFollowsDpi(const char* name, HWND window, const std::vector<Row>& rows) {
    SCOPED_TRACE(name);
    const int first = Window::FromHwnd(window)->Dpi();
    const std::map<HWND, Corners> before = Places(window);
    for (int dpi : {first, 144, first}) {
        if (dpi != Window::FromHwnd(window)->Dpi())
            SendDpiChanged(window, Window::FromHwnd(window)->Dpi(), dpi);
        EXPECT_EQ(Window::FromHwnd(window)->Dpi(), dpi);
        for (const Row& row : rows) {
            RECT inside;
            GetClientRect(window, &inside);
            if (row.id == Inside) {
                EXPECT_EQ(Of(inside), Of(Window::FromHwnd(window)->Pixels(row.box))) << dpi;
                continue;
            }
            HWND control = Descendant(window, row.id);
            ASSERT_NE(control, nullptr) << row.id;
            RECT parent;
            GetClientRect(GetParent(control), &parent);
            const int top = row.stripHeight ? parent.bottom - Scaled(row.stripHeight, dpi) +
                                                  Scaled(row.box.top, dpi)
                                            : Scaled(row.box.top, dpi);
            const RECT expected{Scaled(row.box.left, dpi), top,
                                Scaled(row.box.left, dpi) + Scaled(row.box.width, dpi),
                                top + Scaled(row.box.height, dpi)};
            EXPECT_EQ(Of(InParent(control)), Of(expected)) << "control " << row.id << " at " << dpi;
        }
    }
    EXPECT_EQ(Places(window), before);
}

TEST_F(Dpi, EveryWindowFollowsAChangeOfDpiAndADialogComesUpAtItsOwners) {
    using namespace instel;
    using P = TInstelPanel;
    using T = TFTijdinstellen;
    CheckFollowsDpi("main window", form->Hwnd(),
                    {{Inside, {0, 0, FormWidth, BrowseHeight}},
                     {TInstelForm::IdBBinstellen, BBinstellenBox},
                     {TInstelForm::IdBBtoevoegen, BBtoevoegenBox},
                     {TInstelForm::IdDBGtaken, DBGtakenBox},
                     {P::IdEditOmschrijving, {96, 5, 161, 21}},
                     {P::IdInstelButton, {182, 98, 75, 21}},
                     {P::IdSBFrekwentie, {129, 123, 17, 21}},
                     {P::IdAnnuleerButton, {146, 174, 92, 28}}});
    {
        TFTijdinstellen dialog(form->Hwnd());
        CheckFollowsDpi("start time", dialog.Hwnd(),
                        {{Inside, {0, 0, 193, 123}},
                         {T::IdEditUren, {32, 32, 41, 40}},
                         {T::IdUpDownMinuten, {145, 32, 15, 40}},
                         {T::IdBitBtn2, {104, 88, 80, 25}}});
    }
    {
        TAboutBox about(nullptr);
        CheckFollowsDpi("information", about.Hwnd(),
                        {{TAboutBox::OKButtonId, {111, 180, 75, 25}},
                         {TAboutBox::CreditsPanel1Id, {8, 8, 281, 161}}});
    }
    TLogboekForm* viewer = TLogboekForm::Open(Dir, files);
    CheckFollowsDpi("log viewer", viewer->Hwnd(), {{TLogboekForm::BBOkId, {179, 8, 75, 25}, 41}});
    DestroyWindow(viewer->Hwnd());
    form->Overzicht1Click();
    TTaakoverzichtForm* overview = form->Overview();
    ASSERT_NE(overview, nullptr);
    CheckFollowsDpi("overview", overview->Hwnd(), {});
    SendDpiChanged(overview->Hwnd(), overview->Dpi(), 144);
    EXPECT_EQ(SendMessageA(overview->List(), LVM_GETCOLUMNWIDTH, 0, 0), 270); // 180 at 96
    DestroyWindow(overview->Hwnd());

    // The question lays itself out in its font's units: bigger at 144, as it was at the first.
    int widths[2] = {};
    {
        DialogHook hook([&](HWND question) {
            const int first = Window::FromHwnd(question)->Dpi();
            RECT yes = InParent(GetDlgItem(question, mrYes));
            widths[0] = yes.right - yes.left;
            CheckFollowsDpi("question", question, {});
            SendDpiChanged(question, first, 144);
            yes = InParent(GetDlgItem(question, mrYes));
            widths[1] = yes.right - yes.left;
            Click(question, mrNo);
        });
        ShowMessageDialog(nullptr, "", "Wilt u?", mtConfirmation, mbYes | mbNo, 0, "");
    }
    EXPECT_GT(widths[1], widths[0] * 5 / 4);

    // The tray's icon at the small icons' size, made again with the tray menu's pictures.
    auto iconAndPicture = [&] {
        ICONINFO icon{};
        GetIconInfo(form->WinTaskbar->NotifyData().hIcon, &icon);
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_BITMAP;
        GetMenuItemInfoA(form->TaskbarPopup(), TInstelForm::IdSluiten1, FALSE, &item);
        BITMAP shown[2] = {};
        GetObject(icon.hbmColor, sizeof shown[0], &shown[0]);
        GetObject(item.hbmpItem, sizeof shown[1], &shown[1]);
        for (HBITMAP b : {icon.hbmColor, icon.hbmMask}) DeleteObject(b);
        return std::make_pair(static_cast<int>(shown[0].bmWidth),
                              static_cast<int>(shown[1].bmWidth));
    };
    const int small = GetSystemMetrics(SM_CXSMICON);
    EXPECT_EQ(iconAndPicture(), std::make_pair(Scaled(small, form->Dpi()), form->Scale(16)));

    // On a monitor of 144 DPI the main window's dialogs come up at 144.
    SendDpiChanged(form->Hwnd(), form->Dpi(), 144);
    EXPECT_EQ(iconAndPicture(), std::make_pair(Scaled(small, 144), 24));
    TFTijdinstellen dialog(form->Hwnd());
    EXPECT_EQ(dialog.Dpi(), 144);
    EXPECT_EQ(Of(InParent(dialog.Control(T::IdEditUren))), (Corners{48, 48, 48 + 62, 48 + 60}));
    int questionDpi = 0;
    DialogHook hook([&](HWND question) {
        questionDpi = Window::FromHwnd(question)->Dpi();
        Click(question, IDOK);
    });
    ShowPlainMessage(form->Hwnd(), "Kivoklok", "Klaar");
    EXPECT_EQ(questionDpi, 144);
}

// The pixel a window shows at a place of its client area, drawn afresh above the others.
COLORREF PixelOf(HWND window, int x, int y) {
    SetWindowPos(GetAncestor(window, GA_ROOT), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return GetPixel(WindowDC(window).get(), x, y);
}

// High contrast switched on as Windows does it (the setting, the theme's colours, and
// WM_SYSCOLORCHANGE to every window; Wine refuses the setting, then the helper stands in) while
// every window is open: each repaints in the system's colours, and in its own once it is off.
TEST_F(Dpi, HighContrastRepaintsEveryWindowInTheSystemsColours) {
    static constexpr int Parts[] = {COLOR_BTNFACE, COLOR_WINDOW};
    const COLORREF theme[] = {RGB(0, 0, 64), RGB(0, 0, 0)};
    const COLORREF before[] = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOW)};
    auto highContrast = [&](bool on) {
        HIGHCONTRASTA setting{};
        setting.cbSize = sizeof setting;
        setting.dwFlags = on ? HCF_HIGHCONTRASTON : 0;
        if (!SystemParametersInfoA(SPI_SETHIGHCONTRAST, sizeof setting, &setting, 0))
            OverrideHighContrast(on ? std::optional<bool>(true) : std::nullopt);
        SetSysColors(2, Parts, on ? theme : before);
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM) -> BOOL {
                SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
                return TRUE;
            },
            0);
    };
    form->OpstartTimer.SetEnabled(false);
    form->BBToevoegenClick(); // the edit panel open
    TFTijdinstellen startTime(form->Hwnd());
    TAboutBox about(nullptr);
    for (HWND w : {startTime.Hwnd(), about.Hwnd()}) ShowWindow(w, SW_SHOWNA);
    TLogboekForm* viewer = TLogboekForm::Open(Dir, files);
    form->Overzicht1Click();
    RECT client;
    GetClientRect(form->Hwnd(), &client);
    const POINT strip{client.right - 4, 15};
    EXPECT_EQ(PixelOf(form->Hwnd(), strip.x, strip.y), PaleGreen);

    highContrast(true);
    const std::tuple<const char*, HWND, POINT, int> rows[] = {
        {"header strip", form->Hwnd(), strip, COLOR_BTNFACE},
        {"shaped button", form->Button(TInstelForm::IdBBinstellen), {6, 12}, COLOR_BTNFACE},
        {"edit panel", form->InstelPanel.Hwnd(), {2, 200}, COLOR_BTNFACE},
        {"start-time dialog", startTime.Hwnd(), {2, 2}, COLOR_BTNFACE},
        {"credits", about.CreditsPanel1.Hwnd(), {4, 4}, COLOR_BTNFACE},
        {"log viewer", viewer->LogboekEdit(), {4, 60}, COLOR_WINDOW},
    };
    for (const auto& [what, window, at, color] : rows)
        EXPECT_EQ(PixelOf(window, at.x, at.y), GetSysColor(color)) << what;
    HWND date = form->InstelPanel.Control(TInstelPanel::IdEditlaatstekeer);
    EXPECT_EQ(SendMessageA(date, DTM_GETMCCOLOR, MCSC_MONTHBK, 0), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ListView_GetBkColor(form->Overview()->List()), GetSysColor(COLOR_WINDOW));

    highContrast(false);
    EXPECT_EQ(PixelOf(form->Hwnd(), strip.x, strip.y), PaleGreen);
    DestroyWindow(viewer->Hwnd());
    DestroyWindow(form->Overview()->Hwnd());
    form->AnnuleerButtonClick();
}

// Each opening of the start-time dialog is pale green, and the class erases with a brush that no
// window frees; the edit panel likewise.
TEST_F(Dpi, AWindowsOwnColourSurvivesTheWindowsOfItsClassBeforeIt) {
    auto erasedColour = [](HWND window) {
        WindowDC screen(nullptr);
        MemoryDC dc(screen.get());
        UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 4, 4));
        SelectedObject s(dc.get(), bitmap.get());
        RECT all{0, 0, 4, 4};
        FillSolid(dc.get(), all, RGB(0, 0, 0));
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
        return GetPixel(dc.get(), 1, 1);
    };
    auto systemOrNone = [](HWND window) {
        auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
        return brush == nullptr || brush == reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    };
    for (int opening = 1; opening <= 3; ++opening) {
        SCOPED_TRACE(opening);
        TFTijdinstellen dialog(form->Hwnd());
        EXPECT_EQ(erasedColour(dialog.Hwnd()), PaleGreen);
        EXPECT_TRUE(systemOrNone(dialog.Hwnd()));
    }
    // A second main window's panel, after the first has gone.
    form.reset();
    SetUp();
    EXPECT_EQ(erasedColour(form->InstelPanel.Hwnd()), PaleGreen);
    EXPECT_TRUE(systemOrNone(form->InstelPanel.Hwnd()));
}

} // namespace
} // namespace kivo::test
