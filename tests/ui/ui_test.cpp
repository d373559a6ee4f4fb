// The main window's life in-process under Wine: its start-up, closing, hiding and exit, and the
// ticks that sleep and clock changes bring.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "support/log_text.h"
#include "support/temp_dir.h"
#include "ui/form_fixture.h"

namespace kivo::test {
namespace {

using namespace std::string_literals;

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

// A task file or log book that another program holds for 300 ms (a virus scanner, a backup)
// while a tick notes and saves a start costs a short wait: no failure and no box.
TEST(HeldFiles, AFileHeldForAMomentByAnotherProgramGivesNoFailureAndNoBox) {
    InitApp();
    for (const char* held : {"kivoklok.csv", "kivoklok.log"}) {
        SCOPED_TRACE(held);
        TempDir dir;
        FakeClock clock{2024, 3, 7, 9, 0};
        FakeShell shell;
        dir.Write("kivoklok.csv", TaskFileText({{"Back-up", "08:55"}}, UserCollator(), clock));
        TInstelForm form(FormatSettings{},
                         TInstelForm::Services{clock, SystemFileSystem(), UserCollator(), shell,
                                               dir.File("kivoklok.exe")});
        std::vector<std::string> boxes;
        form.OnReport = form.OnErrorDisplay = [&](const std::string& m) { boxes.push_back(m); };
        form.FormCreate();

        std::string command = "\"" KIVO_POST_PATH "\" hold 300 \"" + dir.File(held) + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION holder{};
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &holder));
        // Held once nobody else can open it.
        for (int ms = 0; ms < 10000 && dir.Read(held).size() > 0; ms += 5) Sleep(5);
        form.Timer1.PostTick(form.Timer1.ArmingId());
        EXPECT_TRUE(PumpUntil([&] { return !shell.calls.empty(); }, 5000));
        WaitForSingleObject(holder.hProcess, 10000);
        CloseHandle(holder.hProcess);
        CloseHandle(holder.hThread);
        PumpFor(100); // boxes come after the tick
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        EXPECT_EQ(Count(dir.Read("kivoklok.log"), "(automatisch)"), 1);
        EXPECT_EQ(Count(dir.Read("kivoklok.log"), "Timer1Timer:"), 0);
        EXPECT_NE(dir.Read("kivoklok.csv").find("\"07-03-24\""), std::string::npos);
    }
}

} // namespace
} // namespace kivo::test
