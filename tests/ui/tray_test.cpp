// The tray icon, its menu and the main menu in-process under Wine: clicks on the icon, the
// marks for missed runs and failures, and the log viewer the menus open.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "logbook/logbook.h"
#include "store/memtable.h"
#include "support/log_text.h"
#include "ui/form_fixture.h"

namespace kivo::test {
namespace {

// The items of a menu, and whether their access keys differ.
std::vector<std::string> Items(HMENU menu) {
    std::vector<std::string> items;
    char text[64];
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        items.push_back(text);
    }
    return items;
}
bool UniqueAccessKeys(const std::vector<std::string>& items) {
    std::set<char> keys;
    for (const std::string& item : items)
        if (auto at = item.find('&'); at != std::string::npos && at + 1 < item.size())
            if (!keys.insert(static_cast<char>(std::toupper(item[at + 1]))).second) return false;
    return true;
}

// The icon's events as the shell of the fourth version sends them: the mouse's messages with a
// click's NIN_SELECT, the keyboard's NIN_KEYSELECT (Win+B, arrows, Enter; often twice) and
// WM_CONTEXTMENU at the icon's place (after the right button's release, or the menu key).
TEST_F(Form, TrayClicksKeysAndMenu) {
    Start();
    form->OpstartTimerTimer();
    ASSERT_FALSE(Visible());
    ASSERT_TRUE(form->WinTaskbar->Version4());
    struct Row {
        const char* what;
        std::vector<UINT> events;
        bool opensWindow;
        int menus;
        bool dblClickSeen = false; // waits for the left button's next release
    };
    const Row rows[] = {
        {"a left click", {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_MOUSEMOVE}, false, 0},
        {"a left double click",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
         true,
         0},
        {"Win+B and Enter", {NIN_KEYSELECT, NIN_KEYSELECT}, true, 0},
        {"a right click", {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}, false, 1},
        {"the menu key or Shift+F10", {WM_CONTEXTMENU}, false, 1},
        {"a middle double click", {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}, true, 0, true},
    };
    static int menus;
    static RECT menuAt;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
        PumpFor(300); // the hide's activation changes would close a menu at once
        menus = 0;
        // A menu that opens is closed by this timer, in the menu's own loop.
        UINT_PTR closer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
            HWND menu = FindWindowA("#32768", nullptr);
            if (!menu || !IsWindowVisible(menu)) return;
            ++menus;
            GetWindowRect(menu, &menuAt);
            EndMenu();
        });
        for (UINT event : row.events) Tray(event, {200, 150});
        KillTimer(nullptr, closer);
        EXPECT_EQ(Visible(), row.opensWindow);
        EXPECT_EQ(menus, row.menus);
        if (row.menus) {
            EXPECT_EQ(std::make_pair(menuAt.left, menuAt.top), (std::pair<LONG, LONG>(200, 150)))
                << "at the icon";
        }
        EXPECT_EQ(form->WinTaskbar->DblClickSeen(), row.dblClickSeen);
    }

    const std::vector<std::string> items = Items(form->TaskbarPopup());
    EXPECT_EQ(items,
              (std::vector<std::string>{"&Openen", "&Sluiten", "", "&Logboek bekijken",
                                        "O&verzicht", "&Informatie", "&Gemiste taken uitvoeren"}));
    EXPECT_TRUE(UniqueAccessKeys(items));
    const NOTIFYICONDATAA& data = form->WinTaskbar->NotifyData();
    EXPECT_STREQ(data.szTip, "KIVO Schakelklok");
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP));
    EXPECT_EQ(data.uCallbackMessage, 1147u);
    EXPECT_EQ(data.uID, 0u);
    EXPECT_EQ(data.cbSize, sizeof(NOTIFYICONDATAA));
    EXPECT_EQ(data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
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
    const std::vector<std::string> items = Items(GetSubMenu(menu, 0));
    EXPECT_EQ(items, (std::vector<std::string>{"&Taak uitvoeren", "&Logboek bekijken", "&Overzicht",
                                               "", "&Afsluiten"}));
    EXPECT_TRUE(UniqueAccessKeys(items));

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
        EXPECT_TRUE(tray.Version4());

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

        // A shell that keeps the first version: the icon stays, told as before.
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