// Not a test: prints every window's controls (class, id, text, place) and a hash of its client
// pixels, so that two builds can be compared at one DPI. scripts/layout-dump.sh runs it at 96,
// 120 and 144 DPI (the system DPI of a Wine prefix of its own).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/collation.h"
#include "support/fake_clock.h"
#include "support/fake_shell.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/temp_dir.h"
#include "support/win32_test_util.h"
#include "ui/about.h"
#include "ui/instel.h"
#include "ui/logboek.h"
#include "ui/tijdinst.h"
#include "win32/dialogs.h"

namespace kivo::test {
namespace {

void Line(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
}

std::string RectText(const RECT& r) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%ld,%ld %ldx%ld", r.left, r.top, r.right - r.left,
                  r.bottom - r.top);
    return buffer;
}

// FNV-1a over the client pixels, with `skip` (client coordinates) left out.
std::uint32_t PixelHash(HWND window, const RECT& skip) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpFor(100);
    HideCaret(nullptr);
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right, h = client.bottom;
    WindowDC dc(window);
    MemoryDC memory(dc.get());
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
        SelectedObject s(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, w, h, dc.get(), 0, 0, SRCCOPY);
        GdiFlush();
    }
    ShowCaret(nullptr);
    std::uint32_t hash = 2166136261u;
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom) continue;
            hash = (hash ^ (p[y * w + x] & 0xFFFFFF)) * 16777619u;
        }
    return hash;
}

void DumpChildren(HWND top, HWND parent, const std::string& indent) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[64] = {};
        GetClassNameA(c, cls, sizeof cls);
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
        Line(indent + cls + " id=" + std::to_string(GetDlgCtrlID(c)) + " \"" + WindowText(c) +
             "\" " + RectText(r) + (IsWindowVisible(c) ? "" : " hidden"));
        DumpChildren(top, c, indent + "  ");
    }
}

void Dump(const std::string& name, HWND window, const RECT& skip = {}) {
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    Line("== " + name + " \"" + WindowText(window) + "\" client " + RectText(client));
    DumpChildren(window, window, "  ");
    char hash[32];
    std::snprintf(hash, sizeof hash, "%08x", PixelHash(window, skip));
    Line(std::string("  pixels ") + hash);
}

RECT ChildRect(HWND top, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Dumps the modal window that `show` opens, then closes it.
void DumpModal(const std::string& name, const std::function<void()>& show,
               const std::function<RECT(HWND)>& skip = {}) {
    DialogHook hook([&](HWND dialog) {
        PumpFor(100);
        Dump(name, dialog, skip ? skip(dialog) : RECT{});
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    show();
}

int Run() {
    // As the program's manifest declares.
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (auto set = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext"))))
        set(reinterpret_cast<HANDLE>(-4));
    InitApp();
    SetCursorPos(0, 0);
    Line("dpi " + std::to_string(ScreenDpi()));

    FakeClock clock{2024, 3, 7, 9, 0};
    MemFiles files;
    FakeShell shell;
    const std::string dir = "C:\\kivo\\";
    files.files[dir + "kivoklok.csv"] =
        TaskFileText({{"Back-up", "22:30"}, {"Opruimen", "07:05"}}, UserCollator(), clock);
    {
        TInstelForm form(FormatSettings{}, TInstelForm::Services{clock, files, UserCollator(),
                                                                 shell, dir + "kivoklok.exe"});
        form.OnTerminate = [] {};
        form.OnReport = [](const std::string&) {};
        form.FormCreate();
        form.Show();
        PumpFor(100);
        Dump("main", form.Hwnd());
        form.BBInstellenClick();
        PumpFor(100);
        Dump("main-edit", form.Hwnd());
        // Opened twice: the second must look as the first.
        for (const char* name : {"starttijd", "starttijd-again"})
            DumpModal(name, [&] {
                TFTijdinstellen dialog(form.Hwnd());
                dialog.Time = (14 * 60 + 55) / 1440.0;
                dialog.ShowModal();
            });
        form.AnnuleerButtonClick();
    }
    TempDir logDir;
    {
        std::FILE* log = std::fopen((logDir.Dir() + "kivoklok.log").c_str(), "wb");
        std::fputs("[07-03-24] [09:00] KIVO Schakelklok gestart\r\n[07-03-24] [09:01] Taak "
                   "\"Back-up\" (automatisch) C:\\Tools\\backup.bat\r\n",
                   log);
        std::fclose(log);
        TLogboekForm* viewer = TLogboekForm::Open(logDir.Dir(), SystemFileSystem());
        PumpFor(100);
        Dump("logboek", viewer->Hwnd());
        DestroyWindow(viewer->Hwnd());
    }
    DumpModal(
        "about", [] { TAboutBox::Execute(nullptr); },
        [](HWND about) { return ChildRect(about, GetDlgItem(about, TAboutBox::CreditsPanel1Id)); });
    DumpModal("vraag", [] {
        ShowMessageDialog(nullptr, "KIVO Schakelklok", "Wilt u de taak \"Back-up\" verwijderen?",
                          mtConfirmation, mbYes | mbNo, 0, "");
    });
    DumpModal("melding", [] {
        ShowErrorDisplay(nullptr, "Kivoklok", "Cannot open file \"C:\\kivo\\kivoklok.csv\"");
    });
    return 0;
}

} // namespace
} // namespace kivo::test

int main() {
    return kivo::test::Run();
}
