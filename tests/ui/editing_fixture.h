#pragma once
// The main window with its edit panel over in-memory files, a test clock and a recording shell,
// in-process under Wine, with the user's actions on the panel as the messages they send.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/collation.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/fake_shell.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/win32_test_util.h"
#include "ui/instel.h"

namespace kivo::test {

struct Editing : ::testing::Test {
    using P = TInstelPanel;
    static inline const std::string Dir = "C:\\kivo\\";
    static inline const std::string LogPath = Dir + "kivoklok.log";
    static inline const std::string CsvPath = Dir + "kivoklok.csv";

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

} // namespace kivo::test
