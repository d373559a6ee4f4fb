// Task editing in the main window, in-process under Wine: the edit panel, its handlers, the
// deletion questions and the start-time dialog, driven with the messages a user's actions send.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "algemeen/text.h"
#include "platform/collation.h"
#include "scheduler/scheduler.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/fake_shell.h"
#include "support/log_text.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/win32_test_util.h"
#include "ui/instel.h"
#include "ui/tijdinst.h"

namespace kivo::test {
namespace {

const std::string Dir = "C:\\kivo\\";
const std::string LogPath = Dir + "kivoklok.log";
const std::string CsvPath = Dir + "kivoklok.csv";
using P = TInstelPanel;

struct Editing : ::testing::Test {
    FakeClock clock{2024, 3, 7, 9, 0};
    MemFiles files;
    FakeShell shell;
    std::unique_ptr<TInstelForm> form;
    std::vector<std::string> reports;

    void SetUp() override { InitApp(); }
    void TearDown() override {
        OnDialogShown = nullptr;
        form.reset();
    }

    void WriteTasks(const std::vector<TaskSpec>& tasks) {
        files.files[CsvPath] = TaskFileText(tasks, UserCollator(), clock);
    }
    void Start() {
        form = std::make_unique<TInstelForm>(
            FormatSettings{},
            TInstelForm::Services{clock, files, UserCollator(), shell, Dir + "kivoklok.exe"});
        form->OnTerminate = [] {};
        form->OnReport = [this](const std::string& m) { reports.push_back(m); };
        form->FormCreate();
        form->Show();
        PumpFor(50);
    }
    TMemTable& Table() { return form->memKivoKlok; }
    HWND Control(int id) { return form->InstelPanel.Control(id); }
    std::string Shown(int id) { return WindowText(Control(id)); }
    bool Checked(int id) { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Command(int id) { SendMessageA(form->Hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Press(int id) { SendMessageA(Control(id), BM_CLICK, 0, 0); }
    void Select(const std::string& omschrijving) {
        ASSERT_TRUE(Table().LocateDescription(omschrijving));
    }
    void Edit(const std::string& omschrijving) {
        Select(omschrijving);
        Command(TInstelForm::IdBBinstellen);
    }
    // Typing into a field: the keys reach it one by one.
    void Type(int id, const std::string& text) {
        SetFocus(Control(id));
        for (char c : text) SendMessageA(Control(id), WM_CHAR, static_cast<unsigned char>(c), 0);
    }
    void Spin(bool up) {
        RECT r;
        HWND spin = Control(P::IdSBFrekwentie);
        GetClientRect(spin, &r);
        LPARAM at = MAKELPARAM(2, up ? 2 : r.bottom - 2);
        SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(spin, WM_LBUTTONUP, 0, at);
    }
    // What the date field sends when a day is picked in its calendar.
    void PickDate(int year, int month, int day) {
        NMDATETIMECHANGE change{};
        change.nmhdr.hwndFrom = Control(P::IdEditlaatstekeer);
        change.nmhdr.idFrom = P::IdEditlaatstekeer;
        change.nmhdr.code = DTN_DATETIMECHANGE;
        change.dwFlags = GDT_VALID;
        change.st.wYear = static_cast<WORD>(year);
        change.st.wMonth = static_cast<WORD>(month);
        change.st.wDay = static_cast<WORD>(day);
        SendMessageA(form->InstelPanel.Hwnd(), WM_NOTIFY, P::IdEditlaatstekeer,
                     reinterpret_cast<LPARAM>(&change));
    }
    int ClientHeight() {
        RECT client;
        GetClientRect(form->Hwnd(), &client);
        return client.bottom;
    }
    std::string Csv() { return files.files[CsvPath]; }
    // Every field of the current task in its text form, nulls marked.
    std::string Fields() {
        std::string all;
        for (int f = 0; f < FieldCount; ++f)
            all += Table().IsNull(Field(f)) ? "<null>;" : Table().AsString(Field(f)) + ";";
        return all;
    }
    std::string Log() { return files.files[LogPath]; }
    std::vector<std::string> ListRows() {
        std::vector<std::string> rows;
        int n = static_cast<int>(SendMessageA(form->DBGtaken(), LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char text[64] = {};
            SendMessageA(form->DBGtaken(), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            rows.push_back(text);
        }
        return rows;
    }
};

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

TEST(DateField, YearDigitsFollowTheUsersShortDateFormat) {
    EXPECT_EQ(PickerDateFormat("dd-MM-yyyy"), "dd'-'MM'-'yyyy");
    EXPECT_EQ(PickerDateFormat("M/d/YYYY"), "dd'-'MM'-'yyyy");
    EXPECT_EQ(PickerDateFormat("d-M-yy"), "dd'-'MM'-'yy");
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

TEST_F(Editing, ManagedTaskLeavesOnlyTheLastRunDate) {
    WriteTasks({{"KIVO TAAK nacht", "23:30"}, {"Eigen"}});
    Start();
    Edit("KIVO TAAK nacht");
    for (int id : {P::IdEditOmschrijving, P::IdBladerButton, P::IdEditprogramma, P::IdEditwerkdir,
                   P::IdEditparameters, P::IdEditStarttijd, P::IdInstelButton, P::IdEditFrekwentie,
                   P::IdSBFrekwentie, P::IdCBdagen, P::IdCBuren})
        EXPECT_FALSE(IsWindowEnabled(Control(id))) << id;
    for (int id : {P::IdEditlaatstekeer, P::IdOKbutton, P::IdAnnuleerButton})
        EXPECT_TRUE(IsWindowEnabled(Control(id))) << id;
    PickDate(2024, 3, 1);
    Press(P::IdOKbutton);
    EXPECT_NE(Csv().find("\"KIVO TAAK nacht\";\"\";\"prog.exe\";\"\";\"23:30\";\"1\";\"True\";"
                         "\"False\";\"01-03-24\";"),
              std::string::npos)
        << Csv();

    Edit("Eigen");
    EXPECT_TRUE(IsWindowEnabled(Control(P::IdEditOmschrijving)));
    EXPECT_TRUE(IsWindowEnabled(Control(P::IdSBFrekwentie)));
    Press(P::IdAnnuleerButton);
}

TEST_F(Editing, SpinArrowsAndCheckBoxes) {
    struct SpinCase {
        int start;
        bool up;
        const char* shown;
    } spins[] = {{1, false, "1"},    {99, true, "99"}, {0, true, "2"},
                 {0, false, "1"},    {5, true, "6"},   {250, false, "249"},
                 {250, true, "250"}, {-3, true, "-2"}, {-3, false, "-3"}};
    struct BoxCase {
        bool dagen, uren;
        int click;
        bool dagenAfter, urenAfter;
    } boxes[] = {{true, false, P::IdCBdagen, false, true},
                 {true, false, P::IdCBuren, false, true},
                 {false, true, P::IdCBdagen, true, false},
                 {true, true, P::IdCBdagen, false, true},
                 {false, false, P::IdCBuren, false, true}};
    std::vector<TaskSpec> tasks;
    for (const SpinCase& c : spins)
        tasks.push_back({.omschrijving = "S" + std::to_string(c.start) + (c.up ? "u" : "d"),
                         .frekwentie = c.start});
    int n = 0;
    for (const BoxCase& c : boxes)
        tasks.push_back(
            {.omschrijving = "V" + std::to_string(n++), .uren = c.uren, .dagen = c.dagen});
    WriteTasks(tasks);
    Start();
    for (const SpinCase& c : spins) {
        Edit("S" + std::to_string(c.start) + (c.up ? "u" : "d"));
        Spin(c.up);
        EXPECT_EQ(Shown(P::IdEditFrekwentie), c.shown) << c.start << (c.up ? " up" : " down");
        Press(P::IdAnnuleerButton);
    }
    n = 0;
    for (const BoxCase& c : boxes) {
        Edit("V" + std::to_string(n++));
        Press(c.click);
        EXPECT_EQ(Checked(P::IdCBdagen), c.dagenAfter) << n;
        EXPECT_EQ(Checked(P::IdCBuren), c.urenAfter) << n;
        Press(P::IdOKbutton);
        EXPECT_EQ(Table().AsBoolean(Field::Dagen), c.dagenAfter);
        EXPECT_EQ(Table().AsBoolean(Field::Uren), c.urenAfter);
    }

    // Held down, the arrow repeats until it is let go.
    Edit("S5u");
    HWND spin = Control(P::IdSBFrekwentie);
    SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PumpFor(650);
    SendMessageA(spin, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    const int held = SafeStrToInt(Shown(P::IdEditFrekwentie));
    EXPECT_GE(held, 8) << "first press, then after 400 ms and every 100 ms";
    PumpFor(250);
    EXPECT_EQ(SafeStrToInt(Shown(P::IdEditFrekwentie)), held);
    Press(P::IdAnnuleerButton);
}

TEST_F(Editing, StartTimeDialog) {
    enum Exit { Ok, Cancel, Escape, CloseBox };
    struct Case {
        const char* start; // as stored: hh:nn:ss
        const char* steps; // H/h hour up/down, M/m minute up/down
        const char* shownFirst;
        const char* shownLast;
        Exit exit;
        const char* stored;
    } cases[] = {
        {"12:00:00", "", "12:00", "12:00", Ok, "12:00:00"},
        {"07:05:00", "", "07:05", "07:05", Ok, "07:05:00"},
        {"14:59:00", "", "14:59", "14:59", Ok, "14:59:00"},
        {"14:55:00", "M", "14:55", "14:59", Ok, "14:59:00"},
        {"14:55:00", "MM", "14:55", "14:59", Ok, "14:59:00"},
        {"00:03:00", "m", "00:03", "00:00", Ok, "00:00:00"},
        {"07:07:00", "M", "07:07", "07:12", Ok, "07:12:00"},
        {"23:10:00", "H", "23:10", "23:10", Ok, "23:10:00"},
        {"00:10:00", "hM", "00:10", "00:15", Ok, "00:15:00"},
        {"08:00:00", "HHM", "08:00", "10:05", Cancel, "08:00:00"},
        {"08:00:00", "H", "08:00", "09:00", Escape, "08:00:00"},
        {"08:00:00", "H", "08:00", "09:00", CloseBox, "08:00:00"},
    };
    std::vector<TaskSpec> tasks;
    for (const Case& c : cases)
        tasks.push_back({.omschrijving = c.start + std::string(c.steps), .starttijd = c.start});
    WriteTasks(tasks);
    Start();
    for (const Case& c : cases) {
        const std::string name = c.start + std::string(c.steps);
        SCOPED_TRACE(name);
        Edit(name);
        std::string first, last;
        bool okFocused = false;
        OnDialogShown = [&](HWND dialog) {
            auto fields = [&] {
                return WindowText(GetDlgItem(dialog, TFTijdinstellen::IdEditUren)) + ":" +
                       WindowText(GetDlgItem(dialog, TFTijdinstellen::IdEditMinuten));
            };
            first = fields();
            okFocused = GetFocus() == GetDlgItem(dialog, IDOK);
            EXPECT_EQ(WindowText(dialog), " ");
            for (const char* s = c.steps; *s; ++s) {
                HWND arrows =
                    GetDlgItem(dialog, (*s == 'H' || *s == 'h') ? TFTijdinstellen::IdUpDownUren
                                                                : TFTijdinstellen::IdUpDownMinuten);
                RECT r;
                GetClientRect(arrows, &r);
                LPARAM at = MAKELPARAM(r.right / 2, (*s == 'H' || *s == 'M') ? 2 : r.bottom - 2);
                SendMessageA(arrows, WM_LBUTTONDOWN, MK_LBUTTON, at);
                SendMessageA(arrows, WM_LBUTTONUP, 0, at);
            }
            last = fields();
            switch (c.exit) {
            case Ok:
                Click(dialog, IDOK);
                break;
            case Cancel:
                Click(dialog, IDCANCEL);
                break;
            case Escape:
                PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
                break;
            case CloseBox:
                PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            }
        };
        Press(P::IdInstelButton);
        OnDialogShown = nullptr;
        EXPECT_EQ(GetFocus(), Control(P::IdInstelButton)) << "the keyboard is back where it was";
        EXPECT_EQ(first, c.shownFirst);
        EXPECT_EQ(last, c.shownLast);
        EXPECT_TRUE(okFocused);
        Press(P::IdOKbutton);
        ASSERT_TRUE(Table().LocateDescription(name));
        EXPECT_EQ(*Table().Current().Starttijd,
                  static_cast<std::int32_t>(ToMilliseconds(StrToTime(c.stored, FormatSettings{}))));
    }
}

TEST_F(Editing, OutOfRangeFileValuesOpenAndOkStoresOnlyTheChange) {
    files.files[CsvPath] =
        "\"Omschrijving\";\"Werkdirectory\";\"Programma\";\"Parameters\";\"Starttijd\";"
        "\"Frekwentie\";\"Dagen\";\"Uren\";\"Laatstekeer\";\r\n"
        "\"Vreemd\";;\"x.exe\";;;\"250\";\"True\";\"True\";\"30-12-1899\";\r\n"
        "\"Leeg\";;\"y.exe\";;\"06:00\";\"-3\";\"False\";\"False\";;\r\n";
    Start();
    Edit("Vreemd");
    const std::string before = Fields();
    EXPECT_EQ(Shown(P::IdEditStarttijd), "");
    EXPECT_EQ(Shown(P::IdEditFrekwentie), "250");
    EXPECT_TRUE(Checked(P::IdCBdagen));
    EXPECT_TRUE(Checked(P::IdCBuren));
    Press(P::IdOKbutton);
    EXPECT_TRUE(reports.empty());
    ASSERT_TRUE(Table().LocateDescription("Vreemd"));
    EXPECT_EQ(Fields(), before);
    EXPECT_NE(Csv().find("\"Vreemd\";;\"x.exe\";;;\"250\";\"True\";\"True\";\"30-12-99\";"),
              std::string::npos);

    // A save that fails: the message is shown, the change stays in the table, the file whole.
    const std::string csv = Csv();
    files.unwritable.insert(CsvPath);
    Edit("Leeg");
    Type(P::IdEditparameters, "/p");
    Press(P::IdOKbutton);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(Log().find("SaveChanges: "), std::string::npos);
    EXPECT_EQ(Table().AsString(Field::Parameters), "/p");
    EXPECT_EQ(Table().AsString(Field::Frekwentie), "-3");
    EXPECT_EQ(Csv(), csv);
}

} // namespace
} // namespace kivo::test
