// Measures the log viewer on a large log under Wine: the time until the viewer holds all of it,
// against reading the file and handing it once to a bare rich edit and to a bare edit control,
// and the longest wait of a message sent to a main window meanwhile.
// Usage: viewer_measure.exe [megabytes=10]   (run by scripts/measure-viewer.sh)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/files.h"
#include "support/temp_dir.h"
#include "support/win32_test_util.h"
#include "ui/logboek.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Reads the file and hands it to a new control of the class in one call.
double HandOnce(const char* cls, const std::string& path) {
    const auto start = Clock::now();
    const std::string text = kivo::SystemFileSystem().ReadAll(path);
    HWND control = CreateWindowExA(0, cls, "",
                                   WS_POPUP | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                                       WS_VSCROLL | WS_HSCROLL,
                                   0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    SendMessageA(control, EM_SETLIMITTEXT, 0x7FFFFFFE, 0); // edit
    SendMessageA(control, WM_USER + 53, 0, 0x7FFFFFFE);    // EM_EXLIMITTEXT, rich edit
    SetWindowTextA(control, text.c_str());
    const double seconds = Seconds(start);
    DestroyWindow(control);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kivo;
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10;
    test::InitApp();
    LoadLibraryA("riched20.dll");
    test::TempDir dir;
    const std::string line = "[07-03-24] [09:00] Taak \"Back-up\" (automatisch)" +
                             std::string(19, ' ') + "C:\\Data\\backup.exe\r\n";
    std::string log;
    while (log.size() < megabytes * 1'000'000) log += line;
    const std::string path = dir.File("kivoklok.log");
    SystemFileSystem().ReplaceAll(path, log);
    log.clear();

    // A main window that another thread keeps asking, as the tray and the timers would.
    HWND main = CreateWindowExA(0, "STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    std::atomic<bool> done{false};
    std::atomic<long long> longestMs{0};
    std::atomic<int> asked{0};
    std::thread asker([&] {
        while (!done) {
            const auto start = Clock::now();
            DWORD_PTR result = 0;
            SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            const long long ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            longestMs = std::max<long long>(longestMs, ms);
            ++asked;
            Sleep(5);
        }
    });
    const auto start = Clock::now();
    TLogboekForm* viewer = TLogboekForm::Open(dir.Dir(), SystemFileSystem());
    test::PumpUntil([&] { return viewer->Filled(); }, 600000);
    const double viewerSeconds = Seconds(start);
    done = true;
    asker.join();
    DestroyWindow(viewer->Hwnd());

    const double edit = HandOnce("EDIT", path);
    const double rich = HandOnce("RichEdit20A", path);
    std::printf("log of %zu MB\n", megabytes);
    std::printf("viewer, filled in parts: %.2f s; longest wait of the main window: %lld ms (%d "
                "messages)\n",
                viewerSeconds, static_cast<long long>(longestMs), static_cast<int>(asked));
    std::printf("bare rich edit, handed once: %.2f s (viewer / this = %.2f)\n", rich,
                viewerSeconds / rich);
    std::printf("bare edit control, handed once: %.2f s (viewer / this = %.2f)\n", edit,
                viewerSeconds / edit);
    return 0;
}
