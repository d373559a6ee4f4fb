// Tells a running program what the system or a user would: a clock change, a resume, a command,
// a button pressed in one of its boxes. Wine sends no clock or power messages, so the clock
// tests post them. It also does what a virus scanner or a backup does: holds files for a moment.
// Usage: kivopost <window class> timechange | resume | command <id>
//        kivopost press <box caption> <button id>
//        kivopost hold <milliseconds> <file>...
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    if (std::strcmp(argv[1], "hold") == 0) {
        // Opened for reading and shared with no one, as long as asked.
        std::vector<HANDLE> held;
        for (int i = 3; i < argc; ++i) {
            HANDLE file = CreateFileA(argv[i], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) return 1;
            held.push_back(file);
        }
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        for (HANDLE file : held) CloseHandle(file);
        return 0;
    }
    if (std::strcmp(argv[1], "press") == 0) {
        if (argc < 4) return 2;
        for (int i = 0; i < 50; ++i) { // the box may still be on its way
            if (HWND box = FindWindowA(nullptr, argv[2])) {
                HWND button = GetDlgItem(box, std::atoi(argv[3]));
                return button && PostMessageA(button, BM_CLICK, 0, 0) ? 0 : 1;
            }
            Sleep(100);
        }
        return 1;
    }
    UINT message = 0;
    WPARAM wParam = 0;
    if (std::strcmp(argv[2], "timechange") == 0) {
        message = WM_TIMECHANGE;
    } else if (std::strcmp(argv[2], "resume") == 0) {
        message = WM_POWERBROADCAST;
        wParam = PBT_APMRESUMEAUTOMATIC;
    } else if (std::strcmp(argv[2], "command") == 0 && argc > 3) {
        message = WM_COMMAND;
        wParam = static_cast<WPARAM>(std::atoi(argv[3]));
    } else {
        return 2;
    }
    HWND window = FindWindowA(argv[1], nullptr);
    return window && PostMessageA(window, message, wParam, 0) ? 0 : 1;
}
