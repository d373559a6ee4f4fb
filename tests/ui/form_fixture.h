#pragma once
// The main window over in-memory files, a test clock and a recording shell, in-process under
// Wine, for the tests of the window's life, its tray icon and its menus.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/collation.h"
#include "platform/locale.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/fake_process_watch.h"
#include "support/fake_shell.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/win32_test_util.h"
#include "ui/instel.h"
#include "ui/logboek.h"
#include "ui/taskbar.h"

namespace kivo::test {

struct Form : ::testing::Test {
    static inline const std::string Dir = "C:\\kivo\\";
    static inline const std::string LogPath = Dir + "kivoklok.log";
    static inline const std::string CsvPath = Dir + "kivoklok.csv";

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
    // As the shell tells the icon of the fourth version: the event in the low word, the place
    // where the mouse or the keyboard acted in wParam.
    void Tray(UINT event, POINT at = {}) {
        SendMessageA(form->WinTaskbar->CallbackWindow(), TWinTaskbar::CallbackMessage,
                     MAKEWPARAM(at.x, at.y), MAKELPARAM(event, 0));
    }
};

} // namespace kivo::test
