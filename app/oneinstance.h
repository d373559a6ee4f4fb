#pragma once
// One running copy of the program per executable name.
#include <string>

namespace kivo {

// The instance mutex's name: the full path with a-z upper-cased, the part after the last '\' or
// ':'.
std::string InstanceMutexName(const std::string& exePath);
// Creates the instance mutex (kept for the life of the process) and returns
// AnotherInstanceRunning(). Call it as the very first statement of WinMain; later calls only return
// the flag.
bool CreateInstanceMutex();
bool AnotherInstanceRunning();
// Brings the running copy's application and main window to the front.
void ActivateRunningInstance();
// The program-run "kivoklokexe" mutex, for outside programs to test; the handle is kept for the
// life of the process and the result is not looked at.
void CreateProgramMutex();

// The guard on the main window. Only one may exist at a time: a second one throws KivoError.
class TOneInstance {
public:
    TOneInstance();
    ~TOneInstance();
    bool Enabled = true;
    int Mode = 0;
    // Runs the guard: activates the running copy and posts the quit message.
    // Returns true when this copy is to end.
    bool Check();
};

} // namespace kivo
