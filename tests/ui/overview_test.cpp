// The task overview and the failure balloon, in-process under Wine, on the program's main window.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "core/program.h"
#include "platform/collation.h"
#include "scheduler/missed.h"
#include "support/fake_clock.h"
#include "support/fake_process_watch.h"
#include "support/fake_shell.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/win32_test_util.h"
#include "ui/instel.h"
#include "ui/taakoverzicht.h"

namespace kivo::test {
namespace {

const std::string Dir = "C:\\kivo\\";
const std::string Gap(19, ' ');

struct Overview : ::testing::Test {
    FakeClock clock{2024, 3, 7, 9, 0};
    MemFiles files;
    FakeShell shell;
    FakeProcessWatch watch;
    std::unique_ptr<TInstelForm> form;
    struct Balloon {
        std::string title, text;
        DWORD flags;
    };
    std::vector<Balloon> balloons;
    bool refuseBalloons = false; // as a shell that restarts

    void SetUp() override { InitApp(); }
    void TearDown() override { form.reset(); }

    void Start(const std::vector<TaskSpec>& tasks, const std::string& log = "") {
        files.files[Dir + "kivoklok.csv"] = TaskFileText(tasks, UserCollator(), clock);
        if (!log.empty()) files.files[Dir + "kivoklok.log"] = log;
        form = std::make_unique<TInstelForm>(
            FormatSettings{}, TInstelForm::Services{clock, files, UserCollator(), shell,
                                                    Dir + "kivoklok.exe", &watch});
        form->OnTerminate = [] {};
        form->OnReport = [](const std::string&) {};
        auto shellCall = form->WinTaskbar->NotifyIcon;
        form->WinTaskbar->NotifyIcon = [this, shellCall](DWORD message, NOTIFYICONDATAA* data) {
            if (data->uFlags & NIF_INFO) {
                if (refuseBalloons) return FALSE;
                balloons.push_back({data->szInfoTitle, data->szInfo, data->dwInfoFlags});
            }
            return shellCall(message, data);
        };
        form->FormCreate();
        form->Show();
        PumpFor(50);
    }
    void Command(int id) { SendMessageA(form->Hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // What the list shows, row by row, its cells joined by "|".
    std::vector<std::string> Shown() {
        std::vector<std::string> rows;
        HWND list = form->Overview()->List();
        for (int r = 0, n = ListView_GetItemCount(list); r < n; ++r) {
            std::string row;
            for (int c = 0; c < OverviewColumns; ++c) {
                char text[128] = {};
                ListView_GetItemText(list, r, c, text, sizeof text);
                if (c) row += '|';
                row += text;
            }
            rows.push_back(row);
        }
        return rows;
    }
    // A notification from the list, as the control sends it.
    void ListNotify(UINT code, int column = 0, WORD key = 0) {
        NMLVKEYDOWN keyDown{};
        NMLISTVIEW view{};
        NMHDR* header = code == LVN_KEYDOWN ? &keyDown.hdr : &view.hdr;
        header->hwndFrom = form->Overview()->List();
        header->idFrom = TTaakoverzichtForm::ListId;
        header->code = code;
        view.iSubItem = column;
        keyDown.wVKey = key;
        SendMessageA(form->Overview()->Hwnd(), WM_NOTIFY, TTaakoverzichtForm::ListId,
                     reinterpret_cast<LPARAM>(header));
    }
    void Select(int row) {
        ListView_SetItemState(form->Overview()->List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(form->Overview()->List(), row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
};

TEST_F(Overview, RowsSortAfterATickAndOpenTheTaskInThePanel) {
    Start({{"Back-up", "09:00"},
           {"Archief", "06:30", 1, false, DayNumber({2024, 3, 7})},
           {"Elke tik", "08:55", 0},
           {"KIVO TAAK nacht", "23:00"}},
          "[07-03-24] [06:30] Taak \"Archief\" (automatisch)" + Gap +
              "prog.exe\r\n"
              "[07-03-24] [06:35] Taak \"Archief\" klaar: code 10, duur 0:05:00\r\n");
    Command(TInstelForm::IdOverzicht1);
    ASSERT_NE(form->Overview(), nullptr);
    EXPECT_EQ(WindowText(form->Overview()->Hwnd()), "Taakoverzicht");
    EXPECT_EQ(Shown(), (std::vector<std::string>{
                           "Archief|08-03-24 06:30|07-03-24 06:30|code 10|0:05:00",
                           "Back-up|07-03-24 09:00|||",
                           "Elke tik|nu|||",
                           "KIVO TAAK nacht|07-03-24 23:00|||",
                       }));

    // By the next run, then the other way round; the selected task keeps its selection.
    Select(1);
    ListNotify(LVN_COLUMNCLICK, ColVolgende);
    EXPECT_EQ(Shown()[1].substr(0, 7), "Back-up") << "after the task due now";
    ListNotify(LVN_COLUMNCLICK, ColVolgende);
    EXPECT_EQ(Shown().front().substr(0, 7), "Archief");
    EXPECT_EQ(Shown()[2].substr(0, 7), "Back-up");
    EXPECT_EQ(ListView_GetNextItem(form->Overview()->List(), -1, LVNI_SELECTED), 2);

    // A tick starts "Back-up": its row follows, still selected.
    clock.Set(2024, 3, 7, 9, 0, 30);
    SendMessageA(form->Hwnd(), TInstelForm::TickNowMessage, 0, 0);
    PumpFor(50);
    EXPECT_EQ(Shown()[0], "Back-up|08-03-24 09:00|07-03-24 09:00|draait|");
    EXPECT_EQ(ListView_GetNextItem(form->Overview()->List(), -1, LVNI_SELECTED), 0);
    // Its end: the code and how long it ran.
    clock.Advance(125'000);
    ASSERT_FALSE(watch.watched.empty());
    ASSERT_TRUE(watch.End(watch.watched.begin()->first, 4));
    PumpFor(50);
    EXPECT_EQ(Shown()[0], "Back-up|08-03-24 09:00|07-03-24 09:00|code 4|0:02:05");
    EXPECT_EQ(form->Overview()->SelectedText(),
              "Back-up\t08-03-24 09:00\t07-03-24 09:00\tcode 4\t0:02:05\r\n");
    ListNotify(LVN_COLUMNCLICK, ColResultaat);
    EXPECT_EQ(Shown()[1].substr(0, 7), "Archief") << "code 4 before code 10";
    ListNotify(LVN_COLUMNCLICK, ColVolgende);
    ListNotify(LVN_COLUMNCLICK, ColVolgende);

    // A double click opens it in the edit panel; renamed there, its history goes with it. A
    // managed task opens as the panel allows.
    ListNotify(NM_DBLCLK);
    EXPECT_TRUE(form->EditMode());
    EXPECT_EQ(form->memKivoKlok.AsString(Field::Omschrijving), "Back-up");
    HWND name = form->InstelPanel.Control(TInstelPanel::IdEditOmschrijving);
    SetWindowTextA(name, "Back-up 2");
    SendMessageA(name, EM_SETMODIFY, TRUE, 0);
    form->OKButtonClick();
    PumpFor(50);
    EXPECT_EQ(Shown()[0], "Back-up 2|08-03-24 09:00|07-03-24 09:00|code 4|0:02:05");
    Select(2);
    ListNotify(NM_RETURN);
    EXPECT_TRUE(form->EditMode());
    EXPECT_EQ(form->memKivoKlok.AsString(Field::Omschrijving), "KIVO TAAK nacht");
    form->AnnuleerButtonClick();

    // One overview: opening it again brings it forward. Escape closes it for good.
    TTaakoverzichtForm* open = form->Overview();
    Command(TInstelForm::IdOverzicht2);
    EXPECT_EQ(form->Overview(), open);
    ListNotify(LVN_KEYDOWN, 0, VK_ESCAPE);
    PumpFor(50);
    EXPECT_EQ(form->Overview(), nullptr);
    EXPECT_EQ(FindWindowA(TTaakoverzichtForm::ClassName, nullptr), nullptr);
}

TEST_F(Overview, BalloonForOneFailureThenForSeveralAMinuteLater) {
    Start({{"Back-up", "09:00"}});
    LogOutbox& log = form->Running()->core.outbox;
    const FormatSettings settings;
    log.Note(MissedNote("Back-up", WallOf(clock.Now()) - 3'600'000, settings));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].title, "KIVO Schakelklok");
    EXPECT_EQ(balloons[0].text, "Taak \"Back-up\" gemist");
    EXPECT_EQ(balloons[0].flags, static_cast<DWORD>(NIIF_WARNING | NIIF_RESPECT_QUIET_TIME));

    // Within the minute they wait; after it they come together, counted by task. One the shell
    // refuses waits for the icon's return.
    clock.Advance(20'000);
    {
        const LogOutbox::Batch batch(log);
        log.Note("Taak \"A\" niet gestart: weg");
        log.Note("Taak \"B\" klaar: code 1, duur 0:00:03");
        log.Note(MissedNote("A", WallOf(clock.Now()) - 60'000, settings));
    }
    EXPECT_EQ(balloons.size(), 1u);
    clock.Advance(41'000);
    refuseBalloons = true;
    SendMessageA(form->Hwnd(), WM_TIMER, TInstelForm::BalloonTimerId, 0);
    EXPECT_EQ(balloons.size(), 1u);
    refuseBalloons = false;
    SendMessageA(form->WinTaskbar->CallbackWindow(), RegisterWindowMessageA("TaskbarCreated"), 0,
                 0);
    ASSERT_EQ(balloons.size(), 2u);
    EXPECT_EQ(balloons[1].text, "2 taken gemist of mislukt");

    // A click on the balloon opens the overview.
    SendMessageA(form->WinTaskbar->CallbackWindow(), TWinTaskbar::CallbackMessage, 0,
                 NIN_BALLOONUSERCLICK);
    EXPECT_NE(form->Overview(), nullptr);
}

} // namespace
} // namespace kivo::test
