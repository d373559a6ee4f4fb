#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/shell.h"
#include "platform/win32/win32error.h"

namespace kivo {

static_assert(SeeMaskNoCloseProcess == SEE_MASK_NOCLOSEPROCESS &&
              SeeMaskFlagNoUi == SEE_MASK_FLAG_NO_UI &&
              SeeMaskNoZoneChecks == SEE_MASK_NOZONECHECKS);

namespace {

// The Win32 error that stands behind each of the shell's own error codes.
DWORD Win32CodeOf(std::intptr_t code) {
    switch (code) {
    case 0:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_SHARE:
        return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND:
        return ERROR_DLL_NOT_FOUND;
    default: // 2, 3, 5, 8 and 11 are Win32 errors of the same number
        return static_cast<DWORD>(code);
    }
}

class Win32Shell : public Shell {
public:
    ShellResult Execute(WindowHandle window, const std::string& file, const std::string& parameters,
                        const std::string& directory, int show) override {
        SetLastError(0);
        HINSTANCE instance = ShellExecuteA(static_cast<HWND>(window), nullptr, file.c_str(),
                                           parameters.c_str(), directory.c_str(), show);
        DWORD error = GetLastError();
        ShellResult result;
        result.instance = reinterpret_cast<std::intptr_t>(instance);
        if (!result.Started()) result.reason = Reason(result.instance, error);
        return result;
    }

    ShellResult ExecuteEx(ShellExecuteInfo& info) override {
        SHELLEXECUTEINFOA sei{};
        // The record's own size: 60 bytes in a 32-bit process, 112 in a 64-bit one. A fixed 60
        // makes ShellExecuteExA refuse the call outright on x64.
        sei.cbSize = sizeof(sei);
        sei.fMask = info.mask;
        sei.hwnd = static_cast<HWND>(info.window);
        sei.lpVerb = info.verb ? info.verb->c_str() : nullptr;
        sei.lpFile = info.file.c_str();
        sei.lpParameters = info.parameters.c_str();
        sei.lpDirectory = info.directory.c_str();
        sei.nShow = info.show;
        SetLastError(0);
        BOOL ok = ShellExecuteExA(&sei);
        DWORD error = GetLastError();
        info.instApp = reinterpret_cast<std::intptr_t>(sei.hInstApp);
        info.process = sei.hProcess;
        ShellResult result;
        result.instance = info.instApp;
        // The two signs of failure must agree; trust the boolean.
        if (ok && !result.Started()) result.instance = 33;
        if (!ok && result.Started()) result.instance = 0;
        if (!result.Started()) result.reason = Reason(result.instance, error);
        return result;
    }

    void WaitForExit(ProcessHandle process) override {
        if (process) WaitForSingleObject(static_cast<HANDLE>(process), INFINITE);
    }

    void CloseProcess(ProcessHandle process) override {
        if (process) CloseHandle(static_cast<HANDLE>(process));
    }

    std::string ErrorText(std::intptr_t code) const override {
        return Win32ErrorText(Win32CodeOf(code));
    }

    std::optional<std::string> EnvironmentValue(const std::string& name) const override {
        std::vector<char> buffer(512);
        for (;;) {
            SetLastError(0);
            DWORD n = GetEnvironmentVariableA(name.c_str(), buffer.data(),
                                              static_cast<DWORD>(buffer.size()));
            if (n == 0)
                return GetLastError() == ERROR_ENVVAR_NOT_FOUND
                           ? std::nullopt
                           : std::optional<std::string>(std::string());
            if (n < buffer.size()) return std::string(buffer.data(), n);
            buffer.resize(n); // n counts the terminating zero when the buffer was too small
        }
    }

    std::string CurrentDir() const override {
        DWORD n = GetCurrentDirectoryA(0, nullptr);
        std::vector<char> buffer(n + 1);
        n = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0 || n >= buffer.size()) return std::string();
        return std::string(buffer.data(), n);
    }

    bool ChangeDir(const std::string& path) override {
        return SetCurrentDirectoryA(path.c_str()) != 0;
    }

private:
    std::string Reason(std::intptr_t code, DWORD error) const {
        return error != 0 ? Win32ErrorText(error) : ErrorText(code);
    }
};

} // namespace

Shell& SystemShell() {
    static Win32Shell shell;
    return shell;
}

} // namespace kivo
