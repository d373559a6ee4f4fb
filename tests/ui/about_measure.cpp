// The information window on its own, for the CPU measurement and the screenshot:
//   about_measure scroll|still [seconds]
// "scroll" shows it as the program does; "still" shows the same window with the panel inactive.
// The window closes itself after the given seconds (default: stays until closed).
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "ui/about.h"
#include "win32/application.h"
#include "win32/dialogs.h"

int main(int argc, char** argv) {
    using namespace kivo;
    const bool still = argc > 1 && std::strcmp(argv[1], "still") == 0;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
    TApplication::Instance().Initialize(GetModuleHandleA(nullptr));
    OnDialogShown = [&](HWND window) {
        if (still)
            static_cast<TAboutBox*>(Window::FromHwnd(window))->CreditsPanel1.SetActive(false);
        if (seconds > 0)
            SetTimer(window, 1, seconds * 1000u,
                     [](HWND w, UINT, UINT_PTR, DWORD) { PostMessageA(w, WM_CLOSE, 0, 0); });
    };
    TAboutBox::Execute(nullptr);
    return 0;
}
