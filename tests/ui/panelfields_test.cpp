// The edit panel's fields in-process under Wine: the date field, a managed task, the spin
// arrows and check boxes, the start-time dialog, and values out of range in the task file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algemeen/text.h"
#include "ui/editing_fixture.h"
#include "ui/tijdinst.h"

namespace kivo::test {
namespace {

TEST(DateField, YearDigitsFollowTheUsersShortDateFormat) {
    EXPECT_EQ(PickerDateFormat("dd-MM-yyyy"), "dd'-'MM'-'yyyy");
    EXPECT_EQ(PickerDateFormat("M/d/YYYY"), "dd'-'MM'-'yyyy");
    EXPECT_EQ(PickerDateFormat("d-M-yy"), "dd'-'MM'-'yy");
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