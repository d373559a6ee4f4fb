#pragma once
// One running copy of the program per executable name.
#include <string>

namespace kivo {

// The instance mutex's name: the full path with a-z upper-cased, the part after the last '\' or
// ':'.
std::string InstanceMutexName(const std::string& exePath);
// Creates the instance mutex (kept for the life of the process) and returns
// AnotherInstanceRunning(). It already runs while the program's static objects are built; WinMain
// may call it again first thing: later calls only return the flag.
bool CreateInstanceMutex();
bool AnotherInstanceRunning();
// Brings the running copy's application and main window to the front.
void ActivateRunningInstance();
// Creates (or opens) a named mutex, not owned, whose handle stays open for the life of the process.
// Returns true when the name existed already.
bool CreateLastingMutex(const std::string& name);
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
    // Runs the guard: activates the running copy and posts the quit message (through
    // TApplication::Terminate, so Terminated() tells the start-up to skip its file work).
    // Returns true when this copy is to end.
    bool Check();
};

namespace detail {
// For tests: pretend another copy is (not) running.
void SetAnotherInstanceRunning(bool running);
} // namespace detail

} // namespace kivo
