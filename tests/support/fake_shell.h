#pragma once
// A shell that records what it was asked to start and answers as it is told.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/shell.h"

namespace kivo::test {

class FakeShell : public Shell {
public:
    struct Call {
        WindowHandle window = nullptr;
        std::optional<std::string> verb; // Execute: none
        std::string file, parameters, directory;
        int show = 0;
        unsigned long mask = 0;
        std::string currentDir; // at the moment of the call
        bool ex = false;
    };

    ShellResult Execute(WindowHandle window, const std::string& file, const std::string& parameters,
                        const std::string& directory, int show) override {
        if (throwFor.count(file)) throw KivoError("shell broke");
        calls.push_back({window, std::nullopt, file, parameters, directory, show, 0, cwd, false});
        return ResultFor(file);
    }
    ShellResult ExecuteEx(ShellExecuteInfo& info) override {
        if (throwFor.count(info.file)) throw KivoError("shell broke");
        calls.push_back({info.window, info.verb, info.file, info.parameters, info.directory,
                         info.show, info.mask, cwd, true});
        ShellResult result = ResultFor(info.file);
        info.instApp = result.instance;
        if (result.Started()) info.process = reinterpret_cast<ProcessHandle>(++nextHandle);
        return result;
    }
    void WaitForExit(ProcessHandle process) override { waited.push_back(process); }
    void CloseProcess(ProcessHandle process) override { closed.push_back(process); }
    std::string ErrorText(std::intptr_t code) const override {
        return code == 2 ? "The system cannot find the file specified"
                         : "Shell error " + std::to_string(code);
    }
    std::optional<std::string> EnvironmentValue(const std::string& name) const override {
        auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    }
    std::string CurrentDir() const override { return cwd; }
    bool ChangeDir(const std::string& path) override {
        dirChanges.push_back(path);
        if (path.empty() || missingDirs.count(path)) return false;
        cwd = path;
        return true;
    }

    ShellResult ResultFor(const std::string& file) const {
        ShellResult result;
        auto it = refused.find(file);
        if (it == refused.end()) {
            result.instance = 42;
        } else {
            result.instance = it->second;
            result.reason = ErrorText(it->second);
        }
        return result;
    }

    std::vector<Call> calls;
    std::map<std::string, std::intptr_t> refused; // file -> shell error code
    std::map<std::string, std::string> env{{"Comspec", "C:\\WINDOWS\\system32\\cmd.exe"}};
    std::string cwd = "C:\\Start";
    std::set<std::string> missingDirs;
    std::vector<std::string> dirChanges;
    std::vector<ProcessHandle> closed, waited;
    std::uintptr_t nextHandle = 100;
    std::set<std::string> throwFor; // files whose start throws
};

} // namespace kivo::test
