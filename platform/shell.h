#pragma once
// Starting programs through the operating system's shell, and the bits of process state that a
// start by hand touches: an environment variable and the current directory.
// Windows: ShellExecuteA, ShellExecuteExA, GetEnvironmentVariableA, Get/SetCurrentDirectoryA.
#include <cstdint>
#include <optional>
#include <string>

namespace kivo {

// Opaque handles as the application holds them: HWND and HANDLE on Windows; null means none.
using WindowHandle = void*;
using ProcessHandle = void*;

// The show commands the system uses (the Windows values).
constexpr int SwShowNormal = 1;
constexpr int SwShow = 5;

// ShellExecuteExA's mask bits: keep the started process's handle; show no error box of the
// shell's own (as ShellExecuteA does not); no security warning for a program with the mark of the
// internet or a network share, which would wait for a click nobody gives at an unattended start.
constexpr unsigned long SeeMaskNoCloseProcess = 0x40;
constexpr unsigned long SeeMaskFlagNoUi = 0x400;
constexpr unsigned long SeeMaskNoZoneChecks = 0x800000;

// What the shell made of a start. The instance value is ShellExecuteA's result: above 32 the
// start was accepted; 32 or less is the shell's error code (0 out of resources, 2 file not found,
// 3 path not found, 5 access denied, 8 out of memory, 11 bad format, 26 to 32 sharing,
// association and DDE failures).
struct ShellResult {
    std::intptr_t instance = 0;
    std::string reason; // the system's own text for a refused start; empty after a start
    bool Started() const { return instance > 32; }
};

// The record of ShellExecuteExA. Its size member is left to the platform, which knows the real
// record.
struct ShellExecuteInfo {
    unsigned long mask = 0;
    WindowHandle window = nullptr;
    std::optional<std::string> verb; // none: the file type's default action
    std::string file;
    std::string parameters;
    // Always passed as text, never as none: "" lets the started process inherit the current
    // directory of this process.
    std::string directory;
    int show = 0;
    // Filled by the call.
    std::intptr_t instApp = 0;
    ProcessHandle process = nullptr;
};

class Shell {
public:
    virtual ~Shell() = default;
    // ShellExecuteA(window, no verb, file, parameters, directory, show). Returns at once.
    virtual ShellResult Execute(WindowHandle window, const std::string& file,
                                const std::string& parameters, const std::string& directory,
                                int show) = 0;
    // ShellExecuteExA with the record; fills instApp and, with SeeMaskNoCloseProcess, process.
    virtual ShellResult ExecuteEx(ShellExecuteInfo& info) = 0;
    // Blocks until the process has ended.
    virtual void WaitForExit(ProcessHandle process) = 0;
    virtual void CloseProcess(ProcessHandle process) = 0;
    // The system's text for one of the shell's error codes.
    virtual std::string ErrorText(std::intptr_t code) const = 0;

    // The whole value of an environment variable; none when it is not set.
    virtual std::optional<std::string> EnvironmentValue(const std::string& name) const = 0;
    virtual std::string CurrentDir() const = 0;
    // False when the directory cannot be made current (empty, missing, not allowed).
    virtual bool ChangeDir(const std::string& path) = 0;
};

Shell& SystemShell();

} // namespace kivo
