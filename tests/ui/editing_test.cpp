// Task editing in the main window, in-process under Wine: adding a task, OK on an incomplete
// one, cancelling, a tick while the panel is open, and the deletion questions.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scheduler/scheduler.h"
#include "support/log_text.h"
#include "ui/editing_fixture.h"
#include "ui/tijdinst.h"

namespace kivo::test {
namespace {

TEST_F(Editing, AddACompleteTaskShowsItInTheListTheFileAndTheLog) {
    Start();
    const int dpi = ScreenDpi();
    EXPECT_EQ(ClientHeight(), Scaled(170, dpi));
    // Once the window is active (the display may take a moment), the list has the focus.
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == form->DBGtaken(); }, 2000))
        << "the list has the focus when the window is shown";
    // On an empty list "Instellen" does nothing and "Verwijderen" only saves.
    int questions = 0;
    OnDialogShown = [&](HWND) { ++questions; };
    Command(TInstelForm::IdBBinstellen);
    EXPECT_FALSE(form->EditMode());
    Command(TInstelForm::IdBBverwijder);
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(Count(Log(), "Instelling opslaan"), 1);
    OnDialogShown = nullptr;

    Command(TInstelForm::IdBBtoevoegen);
    ASSERT_TRUE(form->EditMode());
    EXPECT_EQ(ClientHeight(), Scaled(382, dpi));
    EXPECT_TRUE(IsWindowVisible(form->InstelPanel.Hwnd()));
    EXPECT_FALSE(IsWindowEnabled(form->DBGtaken()));
    EXPECT_FALSE(IsWindowEnabled(form->Button(TInstelForm::IdBBverwijder)));
    EXPECT_TRUE(GetMenuState(form->MainMenu1(), 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(form->MainMenu1(), 1, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_TRUE(form->Timer1.Enabled()) << "the other tasks go on while the panel is open";
    EXPECT_EQ(GetFocus(), Control(P::IdEditOmschrijving));
    // Tab goes through the panel in its order and round again.
    std::vector<int> order;
    HWND at = Control(P::IdEditOmschrijving);
    for (int i = 0; i < 13; ++i) {
        order.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(form->Hwnd(), at, FALSE);
    }
    EXPECT_EQ(order,
              (std::vector<int>{P::IdEditOmschrijving, P::IdEditprogramma, P::IdBladerButton,
                                P::IdEditwerkdir, P::IdEditStarttijd, P::IdInstelButton,
                                P::IdEditFrekwentie, P::IdSBFrekwentie, P::IdCBdagen, P::IdCBuren,
                                P::IdEditlaatstekeer, P::IdEditparameters, P::IdEditOmschrijving}));
    EXPECT_EQ(Shown(P::IdEditStarttijd), "12:00");
    EXPECT_EQ(Shown(P::IdEditFrekwentie), "1");
    EXPECT_TRUE(Checked(P::IdCBdagen));
    EXPECT_FALSE(Checked(P::IdCBuren));

    OPENFILENAMEA asked{};
    form->InstelPanel.OpenDialog1 = [&](OPENFILENAMEA& ofn) {
        asked = ofn;
        lstrcpyA(ofn.lpstrFile, "C:\\Tools\\backup.bat");
        return true;
    };
    Press(P::IdBladerButton);
    EXPECT_EQ(std::string(asked.lpstrFilter, 42),
              std::string("Programma's (exe,com,bat)\0*.exe;*.com;*.bat\0", 42));
    EXPECT_STREQ(asked.lpstrInitialDir, "c:\\");
    EXPECT_EQ(Shown(P::IdEditprogramma), "backup.bat");
    EXPECT_EQ(Shown(P::IdEditwerkdir), "C:\\Tools\\");

    // Typed last, the focus still in the field: OK sees it.
    Type(P::IdEditOmschrijving, std::string(60, 'x').replace(0, 7, "Back-up"));
    EXPECT_EQ(Shown(P::IdEditOmschrijving).size(), 50u) << "at most 50 characters";
    Press(P::IdOKbutton);

    EXPECT_FALSE(form->EditMode());
    EXPECT_EQ(ClientHeight(), Scaled(170, dpi));
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_EQ(ListRows(), std::vector<std::string>{"Back-up" + std::string(43, 'x')});
    EXPECT_NE(Csv().find("\"C:\\Tools\\\";\"backup.bat\";;\"12:00\";\"1\";\"True\";\"False\";;"),
              std::string::npos)
        << Csv();
    EXPECT_EQ(Count(Log(), "Instelling opslaan"), 2);
    EXPECT_EQ(form->StatusText(2), "Starttijd 12:00");
    EXPECT_TRUE(reports.empty());

    // The status bar's first panel grows to fit the time of the check in the font in use.
    form->Scheduling()->Timer1Timer();
    ASSERT_EQ(form->StatusText(0), "Laatste controle 09:00");
    RECT part{};
    SendMessageA(form->StatusBar(), SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part));
    SIZE text{};
    {
        WindowDC dc(form->StatusBar());
        SelectedObject f(
            dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(form->StatusBar(), WM_GETFONT, 0, 0)));
        GetTextExtentPoint32A(dc.get(), "Laatste controle 09:00", 22, &text);
    }
    EXPECT_GE(part.right - part.left, std::max<LONG>(text.cx, Scaled(120, dpi)));

    // A double click on a row opens the panel for that row's task.
    RECT row;
    SendMessageA(form->DBGtaken(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    SendMessageA(form->DBGtaken(), WM_LBUTTONDBLCLK, MK_LBUTTON,
                 MAKELPARAM(row.left + 2, row.top + 2));
    EXPECT_TRUE(form->EditMode());
    EXPECT_EQ(Shown(P::IdEditprogramma), "backup.bat");
    Command(IDCANCEL); // Escape
    EXPECT_FALSE(form->EditMode());
}

TEST_F(Editing, OkOnAnIncompleteTaskDropsItWithoutSavingOrLogging) {
    WriteTasks({{"Bestaand"}});
    Start();
    const std::string csv = Csv(), log = Log();
    struct Case {
        const char* omschrijving;
        const char* programma;
    } cases[] = {{"Alleen tekst", ""}, {"", "C:\\x.exe"}, {"", ""}};
    for (const Case& c : cases) {
        Command(TInstelForm::IdBBtoevoegen);
        EXPECT_EQ(SendMessageA(form->DBGtaken(), LB_GETCURSEL, 0, 0), LB_ERR)
            << "no listed task is the one being added";
        Type(P::IdEditOmschrijving, c.omschrijving);
        form->InstelPanel.OpenDialog1 = [&](OPENFILENAMEA& ofn) {
            lstrcpyA(ofn.lpstrFile, c.programma);
            return *c.programma != '\0';
        };
        Press(P::IdBladerButton);
        Press(P::IdOKbutton);
        EXPECT_FALSE(form->EditMode());
        EXPECT_EQ(Table().TaskCount(), 1) << c.omschrijving << c.programma;
        EXPECT_EQ(SendMessageA(form->DBGtaken(), LB_GETCURSEL, 0, 0), 0);
    }
    EXPECT_EQ(ListRows(), std::vector<std::string>{"Bestaand"});
    EXPECT_EQ(Csv(), csv);
    EXPECT_EQ(Log(), log);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Editing, AnnulerenRestoresWhatEveryControlChanged) {
    WriteTasks({{.omschrijving = "Taak", .starttijd = "08:15", .frekwentie = 3}});
    Start();
    Edit("Taak");
    const std::string before = Fields();
    Type(P::IdEditOmschrijving, " nieuw");
    Type(P::IdEditparameters, "/x");
    form->InstelPanel.OpenDialog1 = [](OPENFILENAMEA& ofn) {
        lstrcpyA(ofn.lpstrFile, "D:\\elders\\ander.exe");
        return true;
    };
    Press(P::IdBladerButton);
    OnDialogShown = [](HWND dialog) {
        HWND up = GetDlgItem(dialog, TFTijdinstellen::IdUpDownUren);
        SendMessageA(up, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageA(up, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        Click(dialog, IDOK);
    };
    Press(P::IdInstelButton);
    EXPECT_EQ(Shown(P::IdEditStarttijd), "09:15");
    Spin(true);
    Press(P::IdCBuren);
    PickDate(2024, 2, 29);
    EXPECT_EQ(Shown(P::IdEditFrekwentie), "4");
    EXPECT_TRUE(Checked(P::IdCBuren));

    const std::string csv = Csv();
    Press(P::IdAnnuleerButton);
    EXPECT_FALSE(form->EditMode());
    EXPECT_EQ(Fields(), before);
    EXPECT_EQ(Csv(), csv);
    EXPECT_EQ(form->StatusText(2), "Starttijd 08:15");
}

// Typing that was cancelled goes nowhere: not into the task it was typed for, and not into the
// next task anything stores (a tick starting a due task, an import changing a managed one).
TEST_F(Editing, CancelledTypingReachesNoTaskLater) {
    struct Case {
        const char* name;
        int field;
        bool escape;
    };
    for (const Case c : {Case{"Omschrijving, Annuleren", P::IdEditOmschrijving, false},
                         Case{"Parameters, Escape", P::IdEditparameters, true}}) {
        SCOPED_TRACE(c.name);
        WriteTasks({{.omschrijving = "A taak", .starttijd = "12:00"},
                    {.omschrijving = "B taak", .starttijd = "08:55"},
                    {.omschrijving = "KIVO TAAK c", .starttijd = "06:00"}});
        files.files[Dir + "kivoklok.tkn"] = "KIVO TAAK c\r\n07:00\r\n1\r\nc.exe\r\nC:\\\r\nend\r\n";
        shell.calls.clear();
        Start();
        files.files[Dir + "kivoklok.tkn"] = "KIVO TAAK c\r\n07:30\r\n1\r\nc.exe\r\nC:\\\r\nend\r\n";
        Edit("A taak");
        Type(c.field, "XYZ");
        if (c.escape)
            Command(IDCANCEL);
        else
            Press(P::IdAnnuleerButton);
        ASSERT_FALSE(form->EditMode());
        form->Scheduling()->Timer1Timer(); // starts B, merges the import into C
        EXPECT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(Csv().find("XYZ"), std::string::npos) << Csv();
        for (const char* name : {"A taak", "B taak", "KIVO TAAK c"}) {
            Select(name);
            EXPECT_EQ(Table().AsString(Field::Parameters), "") << name;
        }
        Select("KIVO TAAK c");
        EXPECT_EQ(Table().AsString(Field::Starttijd), "07:30");
        // The next edit of A opens on A's own text.
        Edit("A taak");
        EXPECT_EQ(Shown(P::IdEditOmschrijving), "A taak");
        EXPECT_EQ(Shown(P::IdEditparameters), "");
        Press(P::IdOKbutton);
        EXPECT_EQ(Csv().find("XYZ"), std::string::npos);
        form.reset();
    }
}

// The panel left open does not stop the switch: a tick starts the other due tasks and saves
// them, and what the user is typing stays where it is, for the task it is typed for.
TEST_F(Editing, ATickWhileThePanelIsOpenStartsTheOtherTasks) {
    WriteTasks({{.omschrijving = "Open", .starttijd = "08:55", .programma = "open.exe"},
                {.omschrijving = "Ander", .starttijd = "08:55", .programma = "ander.exe"}});
    Start();
    Edit("Open");
    Type(P::IdEditparameters, "/half");
    ASSERT_EQ(GetFocus(), Control(P::IdEditparameters));
    form->Timer1.PostTick(form->Timer1.ArmingId());
    PumpUntil([&] { return !shell.calls.empty(); }, 2000);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, "ander.exe");
    EXPECT_NE(Csv().find("\"ander.exe\";\"\";\"08:55\";\"1\";\"True\";\"False\";\"07-03-24\""),
              std::string::npos)
        << Csv();
    EXPECT_TRUE(form->EditMode());
    EXPECT_EQ(Shown(P::IdEditparameters), "/half");
    EXPECT_EQ(Shown(P::IdEditOmschrijving), "Open");
    EXPECT_EQ(GetFocus(), Control(P::IdEditparameters));
    EXPECT_EQ(form->StatusText(0), "Laatste controle 09:00");
    EXPECT_TRUE(form->Timer1.Enabled());

    Press(P::IdOKbutton);
    EXPECT_NE(Csv().find("\"open.exe\";\"/half\""), std::string::npos) << Csv();
    form->Scheduling()->Timer1Timer(); // closed: its turn now, its window still open
    EXPECT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls.back().file, "open.exe");
    EXPECT_EQ(shell.calls.back().parameters, "/half");
}

TEST_F(Editing, DeleteAsksNamesTheTaskAndDeletesThatOneOnly) {
    enum Between { Nothing, Tick, Removed };
    struct Case {
        const char* name;
        bool keyboard;
        int answer;
        Between between;
        std::vector<std::string> left;
        bool logged;
    } cases[] = {
        {"no", false, mrNo, Nothing, {"A", "B", "C"}, false},
        {"yes", false, mrYes, Nothing, {"A", "C"}, true},
        {"yes after a tick", false, mrYes, Tick, {"A", "C"}, true},
        {"yes, task gone meanwhile", false, mrYes, Removed, {"A", "C"}, false},
        {"Ctrl+Delete cancelled", true, mrCancel, Nothing, {"A", "B", "C"}, false},
        {"Ctrl+Delete after a tick", true, mrOk, Tick, {"A", "C"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteTasks({{"A"}, {"B"}, {"C"}});
        files.files[LogPath] = "";
        Start();
        Select("B");
        ShownBox box;
        OnDialogShown = [&](HWND dialog) {
            box = ReadBox(dialog);
            if (c.between == Tick) form->Scheduling()->Timer1Timer();
            if (c.between == Removed && Table().LocateDescription("B")) Table().DeleteCurrent();
            Click(dialog, c.answer);
        };
        if (c.keyboard) {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_CONTROL] = 0x80;
            SetKeyboardState(keys);
            SendMessageA(form->DBGtaken(), WM_KEYDOWN, VK_DELETE, 0);
            keys[VK_CONTROL] = 0;
            SetKeyboardState(keys);
            EXPECT_EQ(box.caption, "Confirm");
            EXPECT_EQ(box.message, "Delete record?");
        } else {
            Command(TInstelForm::IdBBverwijder);
            EXPECT_EQ(box.caption, "KIVO Schakelklok - Bevestiging");
            EXPECT_EQ(box.message, "Wilt u de taak \"B\" verwijderen?");
        }
        EXPECT_EQ(ListRows(), c.left);
        EXPECT_EQ(Count(Log(), "Taak verwijderen"), c.logged ? 1 : 0);
        EXPECT_EQ(Count(Log(), "Instelling opslaan"), 1) << "saved in every case";
        EXPECT_EQ(Count(Csv(), "\"B\""), c.left.size() == 3 ? 1 : 0);
        OnDialogShown = nullptr;
        form.reset();
    }
}

} // namespace
} // namespace kivo::test
