// Measures the log viewer on one log under Wine: one plain read of the file; the time from
// opening the viewer to its first paint with the newest line in view (three times); the wait of
// each of the main window's questions ("Afsluiten", "Verwijderen", "Taak uitvoeren") asked one
// second after the viewer opened; and the memory the open viewer holds.
// Usage: viewer_measure.exe lines <megabytes> | line <megabytes> | empty
//   lines: log lines of 86 bytes up to that size; line: one line of that size; empty: no bytes.
// Run by scripts/measure-viewer.sh, one process per log, so that the peaks are this log's own.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/collation.h"
#include "platform/files.h"
#include "support/fake_clock.h"
#include "support/fake_shell.h"
#include "support/task_builder.h"
#include "support/temp_dir.h"
#include "support/win32_test_util.h"
#include "ui/instel.h"
#include "ui/logboek.h"
#include "win32/dialogs.h"

namespace {

using Steady = std::chrono::steady_clock;

double Ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Memory {
    double privateMb = 0, workingMb = 0, peakWorkingMb = 0;
};

Memory MemoryNow() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return {counters.PrivateUsage / 1e6, counters.WorkingSetSize / 1e6,
            counters.PeakWorkingSetSize / 1e6};
}

// Written a piece at a time, so that no copy of the log stays in this process.
std::uint64_t WriteLog(const std::string& path, const std::string& kind, std::uint64_t bytes) {
    std::ofstream out(path, std::ios::binary);
    const std::string line = "[07-03-24] [09:00] Taak \"Back-up\" (automatisch)" +
                             std::string(19, ' ') + "C:\\Data\\backup.exe\r\n";
    std::string piece;
    std::uint64_t written = 0;
    while (written < bytes) {
        piece.clear();
        if (kind == "line")
            piece.assign(
                static_cast<std::size_t>(std::min<std::uint64_t>(bytes - written, 1 << 20)), 'x');
        else
            while (piece.size() < (1 << 20)) piece += line;
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        written += piece.size();
    }
    if (kind == "line") out << "\r\n";
    return written;
}

// Opens, reads the whole file into one buffer of its size, closes.
double PlainRead(const std::string& path) {
    const auto start = Steady::now();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(size.QuadPart) + 1]);
    std::size_t got = 0;
    DWORD n = 0;
    while (got < static_cast<std::size_t>(size.QuadPart) &&
           ReadFile(file, buffer.get() + got,
                    static_cast<DWORD>(std::min<std::size_t>(
                        static_cast<std::size_t>(size.QuadPart) - got, 1u << 30)),
                    &n, nullptr) &&
           n > 0)
        got += n;
    CloseHandle(file);
    return Ms(Steady::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    using namespace kivo;
    const std::string kind = argc > 1 ? argv[1] : "lines";
    const std::uint64_t megabytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10;
    test::InitApp();
    test::TempDir dir;
    const std::string logPath = dir.File("kivoklok.log");

    // The main window, built over a small log and one task, as the program runs.
    test::FakeClock clock{2024, 3, 7, 9, 0};
    test::FakeShell shell;
    SystemFileSystem().ReplaceAll(dir.File("kivoklok.csv"),
                                  test::TaskFileText({{"Back-up"}}, UserCollator(), clock));
    SystemFileSystem().ReplaceAll(logPath, "");
    TInstelForm form(FormatSettings{},
                     TInstelForm::Services{clock, SystemFileSystem(), UserCollator(), shell,
                                           dir.File("kivoklok.exe")});
    form.OnTerminate = [] {};
    form.OnReport = [](const std::string&) {};
    form.FormCreate();
    form.Show();
    test::PumpFor(200);

    const std::uint64_t bytes =
        WriteLog(logPath, kind, kind == "empty" ? 0 : megabytes * 1'000'000);
    const Memory before = MemoryNow();

    struct Question {
        const char* name;
        int command;
    } questions[] = {{"Afsluiten", TInstelForm::IdAfsluiten1},
                     {"Verwijderen", TInstelForm::IdBBverwijder},
                     {"Taak uitvoeren", TInstelForm::IdTaakuitvoeren1}};
    double firstPaint[3] = {}, waits[3] = {};
    Memory open{};
    std::size_t lines = 0;
    bool newestShown = true;
    for (int round = 0; round < 3; ++round) {
        Steady::time_point shownAt{};
        OnDialogShown = [&](HWND dialog) {
            shownAt = Steady::now();
            test::Click(dialog, mrNo);
        };
        const auto start = Steady::now();
        // The question comes from outside, at its time, whatever the viewer is doing then.
        Steady::time_point askedAt{};
        std::thread asker([&] {
            std::this_thread::sleep_until(start + std::chrono::seconds(1));
            askedAt = Steady::now();
            PostMessageA(form.Hwnd(), WM_COMMAND, MAKEWPARAM(questions[round].command, 0), 0);
        });
        TLogboekForm* viewer = TLogboekForm::Open(dir.Dir(), SystemFileSystem());
        test::PumpUntil([&] { return viewer->LogboekView.Paints() > 0; }, 600000);
        firstPaint[round] = Ms(Steady::now() - start);
        const LineView& place = viewer->LogboekView.Place();
        newestShown = newestShown && place.top == place.LastTop() && place.caret + 1 == place.lines;
        // The deletion question's round saves the task list, which adds a line to the log.
        if (round == 0) lines = place.lines;
        if (round == 0) open = MemoryNow();
        test::PumpUntil([&] { return shownAt != Steady::time_point{}; }, 600000);
        asker.join();
        waits[round] = Ms(shownAt - askedAt);
        OnDialogShown = nullptr;
        DestroyWindow(viewer->Hwnd());
        test::PumpFor(100);
    }

    double read = 1e300;
    for (int i = 0; i < 3; ++i) read = std::min(read, PlainRead(logPath));

    const double best = *std::min_element(firstPaint, firstPaint + 3);
    const double worst = *std::max_element(firstPaint, firstPaint + 3);
    std::printf("log: %s, %.1f MB, %zu lines\n", kind.c_str(), bytes / 1e6, lines);
    std::printf("  one plain read of the file:          %8.1f ms\n", read);
    std::printf("  open to first paint, newest line %s: %8.1f ms (of three: %.1f to %.1f; "
                "%.2f x the read)\n",
                newestShown ? "shown" : "NOT shown", best, best, worst,
                read > 0 ? best / read : 0.0);
    for (int i = 0; i < 3; ++i)
        std::printf("  question \"%s\" asked 1 s after opening: shown after %.1f ms\n",
                    questions[i].name, waits[i]);
    // Wine leaves the private bytes at zero; the working set tells there.
    std::printf("  memory of the open viewer: private %+.1f MB, working set %+.1f MB, peak "
                "working set %+.1f MB (file %.1f MB)\n",
                open.privateMb - before.privateMb, open.workingMb - before.workingMb,
                (open.peakWorkingMb > before.peakWorkingMb ? open.peakWorkingMb : open.workingMb) -
                    before.workingMb,
                bytes / 1e6);
    return 0;
}
