// Posts a message to a top-level window of a class, as the system would send it: the clock tests
// tell the running program of a clock change or a resume, which Wine does not.
// Usage: kivopost <window class> <timechange|resume|number> [wParam]
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    UINT message = 0;
    WPARAM wParam = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : 0;
    if (std::strcmp(argv[2], "timechange") == 0) {
        message = WM_TIMECHANGE;
    } else if (std::strcmp(argv[2], "resume") == 0) {
        message = WM_POWERBROADCAST;
        wParam = PBT_APMRESUMEAUTOMATIC;
    } else {
        message = static_cast<UINT>(std::strtoul(argv[2], nullptr, 0));
    }
    HWND window = FindWindowA(argv[1], nullptr);
    return window && PostMessageA(window, message, wParam, 0) ? 0 : 1;
}
