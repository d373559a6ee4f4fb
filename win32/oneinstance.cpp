#include "win32/oneinstance.h"

#include <windows.h>

#include "platform/errors.h"
#include "win32/application.h"

namespace kivo {

namespace {

bool anotherInstanceRunning = false;
bool instanceMutexCreated = false;
int guardCount = 0;

// Detection comes before any of the program's own start-up code.
const bool detectedAtLoad = CreateInstanceMutex();

} // namespace

std::string InstanceMutexName(const std::string& exePath) {
    std::string upper = exePath;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    auto cut = upper.find_last_of("\\:");
    return cut == std::string::npos ? upper : upper.substr(cut + 1);
}

bool CreateLastingMutex(const std::string& name) {
    // The handle is deliberately never closed: the name must exist as long as the process runs.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    return mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CreateInstanceMutex() {
    if (!instanceMutexCreated) {
        instanceMutexCreated = true;
        anotherInstanceRunning = CreateLastingMutex(InstanceMutexName(ModuleFileName()));
    }
    return anotherInstanceRunning;
}

bool AnotherInstanceRunning() {
    return anotherInstanceRunning;
}

void CreateProgramMutex() {
    CreateLastingMutex("kivoklokexe");
}

void ActivateRunningInstance() {
    if (!anotherInstanceRunning) return;
    HWND own = TApplication::Instance().Hwnd();
    if (!own) return;
    char title[256] = {};
    GetWindowTextA(own, title, sizeof title);
    // Our own window carries the same title; blank it so the search finds the other copy.
    SetWindowTextA(own, "");
    HWND running = FindWindowA("TApplication", title);
    if (!running) return;
    // A user who starts the program again expects to see it, also when it is in the tray.
    PostMessageA(running, TApplication::ShowRequestMessage(), 0, 0);
    if (IsIconic(running))
        ShowWindow(running, SW_RESTORE);
    else
        SetForegroundWindow(running);
}

TOneInstance::TOneInstance() {
    if (guardCount > 0) throw KivoError("Only one TOneInstance component is allowed");
    ++guardCount;
}

TOneInstance::~TOneInstance() {
    --guardCount;
}

bool TOneInstance::Check() {
    if (!Enabled || !anotherInstanceRunning) return false;
    ActivateRunningInstance();
    TApplication::Instance().Terminate();
    return true;
}

namespace detail {
void SetAnotherInstanceRunning(bool running) {
    anotherInstanceRunning = running;
}
} // namespace detail

} // namespace kivo
