// The main window's life, the tray icon and the log viewer, in-process under Wine.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "logbook/logbook.h"
#include "platform/collation.h"
#include "platform/locale.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/fake_process_watch.h"
#include "support/fake_shell.h"
#include "support/log_text.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/win32_test_util.h"
#include "ui/instel.h"
#include "ui/logboek.h"
#include "ui/taskbar.h"

namespace kivo::test {
namespace {

using namespace std::string_literals;

const std::string Dir = "C:\\kivo\\";
const std::string LogPath = Dir + "kivoklok.log";
const std::string CsvPath = Dir + "kivoklok.csv";

struct Form : ::testing::Test {
    FakeClock clock{2024, 3, 7, 9, 0};
    MemFiles files;
    FakeShell shell;
    FakeProcessWatch watch;
    std::unique_ptr<TInstelForm> form;
    std::vector<std::string> reports;
    bool terminated = false;

    void SetUp() override { InitApp(); }
    void TearDown() override {
        OnDialogShown = nullptr;
        form.reset();
        // A viewer left open by a failed test must not leak into the next.
        while (HWND viewer = FindWindowA(TLogboekForm::ClassName, nullptr)) DestroyWindow(viewer);
    }

    // A task file with the given tasks, written as the program writes it.
    void WriteTasks(const std::vector<TaskSpec>& tasks) {
        files.files[CsvPath] = TaskFileText(tasks, UserCollator(), clock);
    }

    void Build() {
        form = std::make_unique<TInstelForm>(
            FormatSettings{}, TInstelForm::Services{clock, files, UserCollator(), shell,
                                                    Dir + "kivoklok.exe", &watch});
        form->OnTerminate = [this] { terminated = true; };
        form->OnReport = [this](const std::string& m) { reports.push_back(m); };
    }
    void Start() {
        Build();
        form->FormCreate();
        form->Show();
        PumpFor(50);
    }
    std::string Log() const {
        auto it = files.files.find(LogPath);
        return it == files.files.end() ? "" : it->second;
    }
    bool Visible() const { return IsWindowVisible(form->Hwnd()); }
    void SendCommand(int id) { SendMessageA(form->Hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Tray(LPARAM mouse) {
        SendMessageA(form->WinTaskbar->CallbackWindow(), TWinTaskbar::CallbackMessage, 0, mouse);
    }
};

TEST_F(Form, StartUpLoadsLogsShowsAndHidesAfterTheStartTimer) {
    WriteTasks({{"Back-up"}, {"Archief", "06:30"}});
    files.files[LogPath] = "[01-01-23] [10:00] oud\r\n";
    Start();

    EXPECT_EQ(form->AppDir(), Dir);
    EXPECT_EQ(Log().find("oud"), std::string::npos) << "lines older than 90 days are purged";
    EXPECT_EQ(Count(Log(), "KIVO Schakelklok gestart"), 1);
    EXPECT_TRUE(reports.empty());

    // Shown in browse mode at 100, 50, 272 by 170 inside, with the tasks in description order.
    ASSERT_TRUE(Visible());
    RECT outer, client;
    GetWindowRect(form->Hwnd(), &outer);
    GetClientRect(form->Hwnd(), &client);
    int dpi = ScreenDpi();
    EXPECT_EQ(outer.left, Scaled(100, dpi));
    EXPECT_EQ(outer.top, Scaled(50, dpi));
    EXPECT_EQ(client.right, Scaled(272, dpi));
    EXPECT_EQ(client.bottom, Scaled(170, dpi));
    EXPECT_EQ(SendMessageA(form->DBGtaken(), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(WindowText(form->Hwnd()), "KIVO Schakelklok");
    char first[64] = {};
    SendMessageA(form->DBGtaken(), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_STREQ(first, "Archief");
    EXPECT_EQ(form->StatusText(0), "Laatste controle");
    EXPECT_EQ(form->StatusText(1), "\tv2.1");
    EXPECT_EQ(form->StatusText(2), "Starttijd 06:30");

    // Clicking the second row makes it current and shows its start time.
    RECT row;
    SendMessageA(form->DBGtaken(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    LPARAM at = MAKELPARAM(row.left + 2, row.top + 2);
    SendMessageA(form->DBGtaken(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(form->DBGtaken(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(form->memKivoKlok.AsString(Field::Omschrijving), "Back-up");
    EXPECT_EQ(form->StatusText(2), "Starttijd 12:00");

    // The list takes no typing.
    SendMessageA(form->DBGtaken(), WM_CHAR, 'A', 0);
    EXPECT_EQ(form->memKivoKlok.AsString(Field::Omschrijving), "Back-up");

    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_TRUE(form->OpstartTimer.Enabled());
    EXPECT_FALSE(form->ControleTimer.Enabled());
    form->OpstartTimerTimer();
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(form->OpstartTimer.Enabled());
    EXPECT_TRUE(form->WinTaskbar->IconAdded());
    EXPECT_FALSE(terminated);
}

// No box holds the start-up up: each step runs, and what failed is shown once it has ended, one
// box per message (the purge, the load's note and the start line fail alike here).
TEST_F(Form, StartUpErrorsAreShownAfterTheStartUpAndTheRestRuns) {
    WriteTasks({{"Back-up"}});
    files.files[LogPath] = "";
    files.unwritable.insert(LogPath);
    std::vector<std::string> shown;
    OnDialogShown = [&](HWND dialog) {
        shown.push_back(ReadBox(dialog).message);
        Click(dialog, IDOK);
    };
    Build();
    form->FormCreate();
    EXPECT_TRUE(shown.empty());
    form->Show();
    PumpFor(100);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("Cannot create file"), std::string::npos) << shown[0];
    EXPECT_EQ(SendMessageA(form->DBGtaken(), LB_GETCOUNT, 0, 0), 1) << "the tasks are loaded";
    EXPECT_TRUE(form->OpstartTimer.Enabled()) << "the window hides itself as after any start";
    EXPECT_TRUE(form->Timer1.Enabled());
}

// A task file that cannot be read at start-up (locked by a backup, say) is not replaced: the
// table stays closed, what needs it is disabled, and a later tick reads the file.
TEST_F(Form, ALockedTaskFileIsReadByALaterTickAndNothingReplacesItMeanwhile) {
    WriteTasks({{"Back-up", "08:55"}});
    const std::string tasks = files.files[CsvPath];
    files.unreadable.insert(CsvPath);
    files.files[Dir + "kivoklok.tkn"] = "KIVO TAAK x\r\n06:30\r\n1\r\nx.exe\r\nC:\\\r\nend\r\n";
    Start();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Cannot open file"), std::string::npos);
    for (int id :
         {TInstelForm::IdBBinstellen, TInstelForm::IdBBverwijder, TInstelForm::IdBBtoevoegen})
        EXPECT_FALSE(IsWindowEnabled(form->Button(id)));
    EXPECT_FALSE(IsWindowEnabled(form->DBGtaken()));
    HMENU programma = GetSubMenu(form->MainMenu1(), 0);
    EXPECT_TRUE(GetMenuState(programma, TInstelForm::IdTaakuitvoeren1, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(programma, TInstelForm::IdLogboekbekijken1, MF_BYCOMMAND) &
                 MF_GRAYED);
    SendCommand(TInstelForm::IdBBverwijder); // as a keyboard shortcut would
    SendCommand(TInstelForm::IdBBtoevoegen);
    EXPECT_FALSE(form->EditMode());

    form->Timer1.PostTick(form->Timer1.ArmingId());
    PumpFor(300);
    EXPECT_EQ(files.files[CsvPath], tasks);
    EXPECT_TRUE(files.files.count(Dir + "kivoklok.tkn"));
    EXPECT_EQ(reports.size(), 1u) << "quiet while it stays locked";

    files.unreadable.clear();
    form->Timer1.PostTick(form->Timer1.ArmingId());
    PumpUntil([&] { return SendMessageA(form->DBGtaken(), LB_GETCOUNT, 0, 0) == 2; });
    EXPECT_EQ(SendMessageA(form->DBGtaken(), LB_GETCOUNT, 0, 0), 2) << "loaded and imported";
    EXPECT_FALSE(files.files.count(Dir + "kivoklok.tkn"));
    EXPECT_TRUE(IsWindowEnabled(form->Button(TInstelForm::IdBBinstellen)));
    EXPECT_TRUE(IsWindowEnabled(form->DBGtaken()));
    EXPECT_TRUE(form->Timer1.Enabled());
}

// The exit confirmed while a box of the start-up is open ends the program there: the closing
// line is the last, and no tick runs afterwards.
TEST_F(Form, AnExitConfirmedInAStartUpBoxEndsTheProgram) {
    WriteTasks({{"Back-up"}});
    files.unreadable.insert(CsvPath);
    OnDialogShown = [&](HWND dialog) { Click(dialog, mrYes); };
    Build();
    // The load's message box is open: the user ends the program from the tray menu.
    form->OnReport = [this](const std::string&) { SendCommand(TInstelForm::IdSluiten1); };
    form->FormCreate();
    form->Show();
    PumpFor(100);
    EXPECT_TRUE(terminated);
    files.unreadable.clear();
    form->Timer1.PostTick(form->Timer1.ArmingId());
    PumpFor(100);
    const std::string log = Log();
    const std::string last = "KIVO Schakelklok afgesloten\r\n";
    ASSERT_GE(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last) << log;
}

// Once the exit is confirmed, nothing shows the window again before the program has ended.
TEST_F(Form, AWindowWhoseEndIsDecidedIsNotShown) {
    OnDialogShown = [&](HWND dialog) { Click(dialog, mrYes); };
    Build();
    form->FormCreate();
    SendCommand(TInstelForm::IdSluiten1);
    ASSERT_TRUE(terminated);
    form->Show();
    SendCommand(TInstelForm::IdOpenen1);
    Tray(WM_LBUTTONDBLCLK);
    PumpFor(50);
    EXPECT_FALSE(Visible());
}

TEST_F(Form, CloseHidesMinimizeHidesAndShowingPutsTheWindowBack) {
    Start();
    SetWindowPos(form->Hwnd(), nullptr, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(terminated);
    EXPECT_EQ(Count(Log(), "afgesloten"), 0);

    SendCommand(TInstelForm::IdOpenen1);
    ASSERT_TRUE(Visible());
    RECT outer;
    GetWindowRect(form->Hwnd(), &outer);
    EXPECT_EQ(outer.left, Scaled(100, ScreenDpi()));

    SendMessageA(form->Hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(Visible());
    SendCommand(TInstelForm::IdOpenen1);
    EXPECT_TRUE(Visible());
    EXPECT_FALSE(IsIconic(form->Hwnd()));
    GetWindowRect(form->Hwnd(), &outer);
    EXPECT_EQ(outer.left, Scaled(100, ScreenDpi()));

    // With the edit panel open nothing closes, hides or minimizes the window.
    SendCommand(TInstelForm::IdBBtoevoegen);
    ASSERT_TRUE(form->EditMode());
    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Visible());
    SendMessageA(form->Hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(Visible());
    EXPECT_FALSE(IsIconic(form->Hwnd()));
    form->OpstartTimerTimer();
    EXPECT_TRUE(Visible());
}

TEST_F(Form, ExitAskedRefusedConfirmedAndSticky) {
    Start();
    std::vector<ShownBox> boxes;
    int answer = mrNo;
    OnDialogShown = [&](HWND dialog) {
        boxes.push_back(ReadBox(dialog));
        Click(dialog, answer);
    };
    SendCommand(TInstelForm::IdAfsluiten1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "KIVO Klok - Waarschuwing");
    EXPECT_EQ(boxes[0].message, TInstelForm::ExitQuestion);
    EXPECT_FALSE(form->ExitConfirmed());
    EXPECT_TRUE(Visible());
    EXPECT_FALSE(terminated);

    // Yes from the tray menu while the edit panel is open: refused, but the flag stays set.
    answer = mrYes;
    SendCommand(TInstelForm::IdBBtoevoegen);
    SendCommand(TInstelForm::IdSluiten1);
    EXPECT_TRUE(form->ExitConfirmed());
    EXPECT_TRUE(Visible());
    EXPECT_FALSE(terminated);
    EXPECT_EQ(Count(Log(), "afgesloten"), 0);

    // The next close in browse mode ends the program without asking.
    SendCommand(IDCANCEL); // Escape closes the panel
    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(terminated);
    EXPECT_EQ(Count(Log(), "KIVO Schakelklok afgesloten"), 1);
}

TEST_F(Form, ExitEndsEvenWhenTheLogCannotBeWritten) {
    Start();
    files.unwritable.insert(LogPath);
    int shown = 0;
    OnDialogShown = [&](HWND dialog) {
        ++shown;
        Click(dialog, shown == 1 ? mrYes : IDOK);
    };
    SendCommand(TInstelForm::IdAfsluiten1);
    EXPECT_EQ(shown, 2) << "the question, then the error display";
    EXPECT_TRUE(terminated);
}

TEST_F(Form, TrayClicksDoubleClicksAndMenu) {
    Start();
    form->OpstartTimerTimer();
    ASSERT_FALSE(Visible());

    Tray(WM_LBUTTONDOWN);
    Tray(WM_LBUTTONUP);
    Tray(WM_MOUSEMOVE);
    Tray(WM_RBUTTONUP);
    EXPECT_FALSE(Visible()) << "a single click does nothing";

    Tray(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(Visible());
    EXPECT_TRUE(form->WinTaskbar->DblClickSeen());
    Tray(WM_LBUTTONUP);
    EXPECT_FALSE(form->WinTaskbar->DblClickSeen()) << "the release after a double click";

    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    Tray(WM_MBUTTONDBLCLK);
    EXPECT_TRUE(Visible());

    // A right press opens the tray menu while the window stays hidden; a timer closes it.
    SendMessageA(form->Hwnd(), WM_CLOSE, 0, 0);
    PumpFor(300); // the hide's activation changes would close a menu at once
    static bool menuSeen;
    menuSeen = false;
    UINT_PTR closer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND menu = FindWindowA("#32768", nullptr);
        if (menu && IsWindowVisible(menu)) menuSeen = true;
        EndMenu();
    });
    Tray(WM_RBUTTONDOWN);
    KillTimer(nullptr, closer);
    EXPECT_TRUE(menuSeen);
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
                                        "&Overzicht", "&Informatie", "&Gemiste taken uitvoeren"}));
    const NOTIFYICONDATAA& data = form->WinTaskbar->NotifyData();
    EXPECT_STREQ(data.szTip, "KIVO Schakelklok");
    EXPECT_EQ(data.uFlags, 7u);
    EXPECT_EQ(data.uCallbackMessage, 1147u);
    EXPECT_EQ(data.uID, 0u);
    EXPECT_EQ(data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
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

// Back from sleep, or the clock changed: a tick at once, which begins a new period, so the tick
// that was due is not run as well; one asked for during a tick comes after it. The two messages
// of a resume give one tick: a task started by every tick of its window starts once.
TEST_F(Form, ResumeAndClockChangeTickAtOnce) {
    WriteTasks({{.omschrijving = "Dagelijks", .starttijd = "08:55", .frekwentie = 0},
                {.omschrijving = "Uurlijks", .starttijd = "08:10", .uren = true, .dagen = false}});
    clock.Set(2024, 3, 7, 8, 50);
    Start();
    clock.Advance(6 * 60'000); // 08:56: asleep through the start of its window
    const unsigned arming = form->Timer1.ArmingId();
    SendMessageA(form->Hwnd(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    SendMessageA(form->Hwnd(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    ASSERT_TRUE(PumpUntil([&] { return shell.calls.size() == 1; }, 3000));
    PumpFor(100);
    EXPECT_EQ(shell.calls.size(), 1u) << "one tick for the two messages";
    EXPECT_EQ(shell.calls[0].file, "prog.exe");
    EXPECT_EQ(form->StatusText(0), "Laatste controle 08:56");
    EXPECT_NE(form->Timer1.ArmingId(), arming) << "a new period";
    form->Timer1.PostTick(arming); // the tick that was due: dropped
    PumpFor(100);
    EXPECT_EQ(shell.calls.size(), 1u);

    // The clock set an hour ahead: the hourly task's 09:10 slot has just opened.
    clock.Advance(20 * 60'000);
    SendMessageA(form->Hwnd(), WM_TIMECHANGE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return shell.calls.size() == 2; }, 3000));
    EXPECT_EQ(form->StatusText(0), "Laatste controle 09:16");
    EXPECT_NE(Log().find("Taak \"Dagelijks\" (automatisch)"), std::string::npos);
    EXPECT_NE(Log().find("Taak \"Uurlijks\" (automatisch)"), std::string::npos);
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
    {
        TWinTaskbar tray(owner);
        tray.NotifyIcon = [&](DWORD message, NOTIFYICONDATAA*) {
            calls.push_back(message);
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
        EXPECT_EQ(calls, std::vector<DWORD>{NIM_ADD});
        EXPECT_TRUE(tray.IconAdded());

        // A refused add (and modify) leaves the icon out until a retry succeeds.
        calls.clear();
        refuse = 2;
        SendMessageA(tray.CallbackWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_FALSE(tray.IconAdded());
        SendMessageA(tray.CallbackWindow(), WM_TIMER, TWinTaskbar::RetryTimerId, 0);
        EXPECT_TRUE(tray.IconAdded());
        EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD}));

        // An add that timed out but happened: the modify succeeds and counts.
        calls.clear();
        refuse = 1;
        SendMessageA(tray.CallbackWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_TRUE(tray.IconAdded());
        EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
        calls.clear();
    }
    EXPECT_EQ(calls, std::vector<DWORD>{NIM_DELETE}) << "the icon leaves with the component";
    DestroyWindow(owner);
}

} // namespace
} // namespace kivo::test
