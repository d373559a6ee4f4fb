// The tray icon, its menu and the main menu in-process under Wine: clicks on the icon, the
// marks for missed runs and failures, and the log viewer the menus open.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "logbook/logbook.h"
#include "store/memtable.h"
#include "support/log_text.h"
#include "ui/form_fixture.h"

namespace kivo::test {
namespace {

// Told as the shell of the fourth version tells it: a click's NIN_SELECT after its release,
// WM_CONTEXTMENU at the icon after the right button's release or for the menu key, and
// NIN_KEYSELECT (often twice) for Win+B and Enter.
TEST_F(Form, TrayClicksDoubleClicksKeysAndMenu) {
    Start();
    form->OpstartTimerTimer();
    ASSERT_FALSE(Visible());
    ASSERT_TRUE(form->WinTaskbar->Version4());

    Tray(WM_LBUTTONDOWN);
    Tray(WM_LBUTTONUP);
    Tray(NIN_SELECT);
    Tray(WM_MOUSEMOVE);
    EXPECT_FALSE(Visible()) << "a single click does nothing";

    Tray(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(Visible());
    EXPECT_TRUE(form->WinTaskbar->DblClickSeen());
    Tray(WM_LBUTTONUP);
    EXPECT_FALSE(form->WinTaskbar->DblClickSeen()) << "the release after a double click";

    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    Tray(NIN_KEYSELECT);
    Tray(NIN_KEYSELECT);
    EXPECT_TRUE(Visible()) << "Win+B and Enter";

    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    Tray(WM_MBUTTONDBLCLK);
    EXPECT_TRUE(Visible());

    // A right click and the menu key each open the tray menu once, at the icon, while the window
    // stays hidden; a timer closes it.
    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    PumpFor(300); // the hide's activation changes would close a menu at once
    static int menus;
    static RECT menu;
    menus = 0;
    UINT_PTR closer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND shown = FindWindowA("#32768", nullptr);
        if (shown && IsWindowVisible(shown)) {
            ++menus;
            GetWindowRect(shown, &menu);
        }
        EndMenu();
    });
    Tray(WM_RBUTTONDOWN);
    Tray(WM_RBUTTONUP);
    Tray(WM_CONTEXTMENU, {200, 150});
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(std::make_pair(menu.left, menu.top), (std::pair<LONG, LONG>(200, 150)));
    Tray(WM_CONTEXTMENU, {200, 150});
    KillTimer(nullptr, closer);
    EXPECT_EQ(menus, 2);
    EXPECT_FALSE(Visible());

    HMENU tray = form->TaskbarPopup();
    ASSERT_EQ(GetMenuItemCount(tray), 7);
    char text[64];
    std::vector<std::string> items;
    for (int i = 0; i < 7; ++i) {
        GetMenuStringA(tray, i, text, sizeof text, MF_BYPOSITION);
        items.push_back(text);
    }
    EXPECT_EQ(items,
              (std::vector<std::string>{"&Openen", "&Sluiten", "", "&Logboek bekijken",
                                        "O&verzicht", "&Informatie", "&Gemiste taken uitvoeren"}));
    const NOTIFYICONDATAA& data = form->WinTaskbar->NotifyData();
    EXPECT_STREQ(data.szTip, "KIVO Schakelklok");
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP));
    EXPECT_EQ(data.uCallbackMessage, 1147u);
    EXPECT_EQ(data.uID, 0u);
    EXPECT_EQ(data.cbSize, sizeof(NOTIFYICONDATAA));
}

TEST_F(Form, MainMenuAndMinuteTick) {
    WriteTasks({{"Back-up", "08:55"}});
    Start();
    HMENU menu = form->MainMenu1();
    char text[64];
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Programma");
    GetMenuStringA(menu, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Help");
    HMENU programma = GetSubMenu(menu, 0);
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(programma); ++i) {
        GetMenuStringA(programma, i, text, sizeof text, MF_BYPOSITION);
        items.push_back(text);
    }
    EXPECT_EQ(items, (std::vector<std::string>{"&Taak uitvoeren", "&Logboek bekijken", "&Overzicht",
                                               "", "&Afsluiten"}));

    // The tick of Timer1 runs the scheduler: the task is due and started, the status updated.
    form->Timer1.PostTick(form->Timer1.ArmingId());
    ASSERT_TRUE(PumpUntil([&] { return !shell.calls.empty(); }, 3000));
    EXPECT_EQ(shell.calls[0].file, "prog.exe");
    EXPECT_EQ(form->StatusText(0), "Laatste controle 09:00");
    EXPECT_EQ(form->StatusText(2), "Starttijd 08:55");
    EXPECT_EQ(Count(Log(), "(automatisch)"), 1);

    // "Taak uitvoeren" asks, and on Yes runs the task through the command interpreter.
    std::string caption;
    OnDialogShown = [&](HWND dialog) {
        caption = WindowText(dialog);
        Click(dialog, mrYes);
    };
    SendCommand(TInstelForm::IdTaakuitvoeren1);
    EXPECT_EQ(caption, "KIVO Klok - Waarschuwing");
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_TRUE(shell.calls[1].ex);
    EXPECT_EQ(Count(Log(), "(handmatig)"), 1);
}

// What happened to the tasks, shown in the tray: a mark and a count for missed runs and codes
// other than 0 until the log viewer is opened, and the menu item that runs the missed tasks.
TEST_F(Form, TheTrayShowsMissedRunsAndFailuresUntilTheLogIsOpened) {
    const std::int32_t yesterday = DayNumber({2024, 3, 6});
    WriteTasks({{.omschrijving = "Gemist",
                 .starttijd = "08:00",
                 .laatstekeer = yesterday,
                 .programma = "gemist.exe"},
                {.omschrijving = "Straks",
                 .starttijd = "09:25",
                 .laatstekeer = yesterday,
                 .programma = "straks.exe"}});
    clock.Set(2024, 3, 7, 9, 30);
    Start();
    auto tip = [&] { return std::string(form->WinTaskbar->NotifyData().szTip); };
    const HICON marked = form->WinTaskbar->NotifyData().hIcon;
    auto item = [&] {
        return !(GetMenuState(form->TaskbarPopup(), TInstelForm::IdGemistetakenuitvoeren2,
                              MF_BYCOMMAND) &
                 MF_GRAYED);
    };
    EXPECT_EQ(tip(), "KIVO Schakelklok - 1 keer gemist of mislukt");
    EXPECT_TRUE(item());

    // "Straks" starts at the tick; its program ends with code 3.
    form->Timer1.PostTick(form->Timer1.ArmingId());
    ASSERT_TRUE(PumpUntil([&] { return watch.watched.size() == 1; }, 3000));
    clock.Advance(61'000);
    watch.End(watch.watched.begin()->first, 3);
    EXPECT_NE(Log().find("Taak \"Straks\" klaar: code 3, duur 0:01:01"), std::string::npos);
    EXPECT_EQ(tip(), "KIVO Schakelklok - 2 keer gemist of mislukt");

    SendCommand(TInstelForm::IdLogboekbekijken2);
    EXPECT_EQ(tip(), "KIVO Schakelklok");
    EXPECT_NE(form->WinTaskbar->NotifyData().hIcon, marked) << "the plain icon again";
    while (HWND viewer = FindWindowA(TLogboekForm::ClassName, nullptr)) DestroyWindow(viewer);
    EXPECT_TRUE(item()) << "the missed run is not made up by looking";

    std::string question;
    OnDialogShown = [&](HWND dialog) {
        question = ReadBox(dialog).message;
        Click(dialog, mrYes);
    };
    SendCommand(TInstelForm::IdGemistetakenuitvoeren2);
    EXPECT_EQ(question, "Gemiste taken nu uitvoeren (1 taak)?");
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].file, "gemist.exe");
    EXPECT_FALSE(item());
    SendCommand(TInstelForm::IdGemistetakenuitvoeren2);
    EXPECT_EQ(shell.calls.size(), 2u) << "once";
}

TEST_F(Form, OneLogViewerAtATime) {
    files.files[LogPath] = "";
    Start();
    files.files[LogPath] = "regel een\r\nregel twee\n";
    SendCommand(TInstelForm::IdLogboekbekijken1);
    SendCommand(TInstelForm::IdLogboekbekijken2);
    int viewers = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM n) {
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (lstrcmpA(cls, TLogboekForm::ClassName) == 0) ++*reinterpret_cast<int*>(n);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&viewers));
    EXPECT_EQ(viewers, 1);
    EXPECT_TRUE(IsFormOpen("tlogboekform"));
    HWND viewer = FindWindowA(TLogboekForm::ClassName, nullptr);
    ASSERT_TRUE(viewer);
    EXPECT_EQ(WindowText(viewer), "Logboek");
    auto shown = [](HWND window) { return static_cast<TLogboekForm*>(Window::FromHwnd(window)); };
    EXPECT_EQ(shown(viewer)->Lines(), (std::vector<std::string>{"regel een", "regel twee"}));

    // OK closes and frees the viewer; the next one shows the log as it is then.
    SendMessageA(GetDlgItem(viewer, TLogboekForm::BBOkId), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return !IsFormOpen(TLogboekForm::ClassName); }, 2000));
    files.files[LogPath] += "regel drie\n";
    SendCommand(TInstelForm::IdLogboekbekijken1);
    viewer = FindWindowA(TLogboekForm::ClassName, nullptr);
    ASSERT_TRUE(viewer);
    EXPECT_EQ(shown(viewer)->Lines().back(), "regel drie");
    SendMessageA(viewer, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsFormOpen(TLogboekForm::ClassName));
}

// A log of a hundred megabytes opens at once, so a question asked meanwhile is not kept waiting.
TEST_F(Form, AHundredMegabyteLogOpensWhileAQuestionWaits) {
    const std::string line = "[07-03-24] [09:00] Taak \"Back-up\" (automatisch)" +
                             std::string(19, ' ') + "C:\\Data\\backup.exe";
    Start();
    std::string log;
    log.reserve(100'100'000);
    std::size_t count = 0;
    for (; log.size() < 100'000'000; ++count) log += line + "\r\n";
    log += "nieuwste regel\r\n";
    files.files[LogPath] = std::move(log);
    std::vector<ShownBox> boxes;
    OnDialogShown = [&](HWND dialog) {
        boxes.push_back(ReadBox(dialog));
        Click(dialog, mrNo);
    };
    PostMessageA(form->Hwnd(), WM_COMMAND, MAKEWPARAM(TInstelForm::IdAfsluiten1, 0), 0);
    SendCommand(TInstelForm::IdLogboekbekijken1);
    HWND window = FindWindowA(TLogboekForm::ClassName, nullptr);
    ASSERT_TRUE(window);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }, 10000));
    EXPECT_EQ(boxes[0].message, TInstelForm::ExitQuestion);
    EXPECT_FALSE(terminated);
    const TLogView& view = static_cast<TLogboekForm*>(Window::FromHwnd(window))->LogboekView;
    ASSERT_EQ(view.Lines().Count(), count + 1);
    EXPECT_EQ(view.Lines().Line(0), line);
    EXPECT_EQ(view.Lines().Line(count), "nieuwste regel");
    EXPECT_EQ(view.Place().top, count + 1 - view.Place().rows);
    EXPECT_GT(view.Paints(), 0);
    DestroyWindow(window);
}

// The tray icon comes back when the shell's taskbar is recreated and when an add was refused.
TEST(TrayIcon, ReaddedAfterTaskbarRecreatedAndRetriedAfterRefusal) {
    InitApp();
    HWND owner =
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    std::vector<DWORD> calls;
    int refuse = 0;
    bool firstVersionOnly = false;
    {
        TWinTaskbar tray(owner);
        tray.NotifyIcon = [&](DWORD message, NOTIFYICONDATAA*) {
            calls.push_back(message);
            if (message == NIM_SETVERSION && firstVersionOnly) return FALSE;
            if (message != NIM_DELETE && refuse > 0) {
                --refuse;
                return FALSE;
            }
            return TRUE;
        };
        tray.SetHint("KIVO Schakelklok");
        EXPECT_EQ(calls, std::vector<DWORD>{NIM_DELETE}) << "the hint alone shows nothing";
        tray.SetIcon(LoadIcon(nullptr, IDI_APPLICATION));
        tray.SetShowIcon(true);
        EXPECT_TRUE(tray.IconAdded());

        calls.clear();
        SendMessageA(tray.CallbackWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
        EXPECT_TRUE(tray.IconAdded());

        // A refused add (and modify) leaves the icon out until a retry succeeds.
        calls.clear();
        refuse = 2;
        SendMessageA(tray.CallbackWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_FALSE(tray.IconAdded());
        SendMessageA(tray.CallbackWindow(), WM_TIMER, TWinTaskbar::RetryTimerId, 0);
        EXPECT_TRUE(tray.IconAdded());
        EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_SETVERSION}));

        // An add that timed out but happened: the modify succeeds and counts.
        calls.clear();
        refuse = 1;
        SendMessageA(tray.CallbackWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_TRUE(tray.IconAdded());
        EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_SETVERSION}));
        EXPECT_TRUE(tray.Version4());

        // A shell that keeps the first version keeps the icon, told as before.
        firstVersionOnly = true;
        SendMessageA(tray.CallbackWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_TRUE(tray.IconAdded());
        EXPECT_FALSE(tray.Version4());
        calls.clear();
    }
    EXPECT_EQ(calls, std::vector<DWORD>{NIM_DELETE}) << "the icon leaves with the component";
    DestroyWindow(owner);
}

} // namespace
} // namespace kivo::test