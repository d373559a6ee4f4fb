// The shell seam on Linux, for the native build: programs are started directly (no file-type
// associations, no window), detached, so that nobody has to wait for them.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/shell.h"

namespace kivo {
namespace {

std::intptr_t ShellCodeOf(int err) {
    switch (err) {
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
        return 5;
    case ENOMEM:
        return 8;
    case ENOEXEC:
        return 11;
    default:
        return 0;
    }
}

int ErrnoOf(std::intptr_t code) {
    switch (code) {
    case 2:
        return ENOENT;
    case 3:
        return ENOTDIR;
    case 5:
        return EACCES;
    case 8:
        return ENOMEM;
    case 11:
        return ENOEXEC;
    case 31:
        return ENOSYS;
    default:
        return EIO;
    }
}

std::vector<std::string> SplitBlanks(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (static_cast<unsigned char>(c) <= 32) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Starts file with the blank-separated parameters in directory, in a grandchild that nobody
// waits for. A bare file name is looked for in the directory first, then on PATH, as Windows
// does. The exec's own failure comes back through a pipe that closes on a successful exec.
ShellResult Spawn(const std::string& file, const std::string& parameters,
                  const std::string& directory) {
    ShellResult result;
    if (file.empty()) {
        result.reason = std::strerror(ENOENT);
        result.instance = 2;
        return result;
    }
    if (!directory.empty() && !IsDirectory(directory)) {
        result.instance = 3;
        result.reason = std::strerror(ENOENT);
        return result;
    }
    std::string local = file.find('/') == std::string::npos ? "./" + file : std::string();
    std::vector<std::string> words = SplitBlanks(parameters);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(file.c_str()));
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.instance = ShellCodeOf(errno);
        result.reason = std::strerror(errno);
        return result;
    }
    pid_t child = ::fork();
    if (child < 0) {
        int err = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        result.instance = ShellCodeOf(err);
        result.reason = std::strerror(err);
        return result;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::close(fds[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        int err = 0;
        if (!directory.empty() && ::chdir(directory.c_str()) != 0) err = errno;
        if (err == 0) {
            if (!local.empty() && ::access(local.c_str(), X_OK) == 0)
                ::execv(local.c_str(), argv.data());
            ::execvp(file.c_str(), argv.data());
            err = errno;
        }
        ssize_t written = ::write(fds[1], &err, sizeof err);
        (void)written;
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t n;
    do {
        n = ::read(fds[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    if (n == static_cast<ssize_t>(sizeof err) && err != 0) {
        result.instance = ShellCodeOf(err);
        result.reason = std::strerror(err);
        return result;
    }
    result.instance = 42;
    return result;
}

class PosixShell : public Shell {
public:
    ShellResult Execute(WindowHandle, const std::string& file, const std::string& parameters,
                        const std::string& directory, int) override {
        return Spawn(file, parameters, directory);
    }

    // Only "open" (or no verb) has a meaning here. The detached process leaves no handle.
    ShellResult ExecuteEx(ShellExecuteInfo& info) override {
        ShellResult result;
        if (info.verb && *info.verb != "open") {
            result.instance = 31;
            result.reason = ErrorText(31);
        } else {
            result = Spawn(info.file, info.parameters, info.directory);
        }
        info.instApp = result.instance;
        info.process = nullptr;
        return result;
    }

    void WaitForExit(ProcessHandle) override {}
    void CloseProcess(ProcessHandle) override {}

    std::string ErrorText(std::intptr_t code) const override {
        return std::strerror(ErrnoOf(code));
    }

    std::optional<std::string> EnvironmentValue(const std::string& name) const override {
        const char* value = std::getenv(name.c_str());
        if (!value) return std::nullopt;
        return std::string(value);
    }

    std::string CurrentDir() const override {
        std::vector<char> buffer(256);
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE) return std::string();
            buffer.resize(buffer.size() * 2);
        }
        return std::string(buffer.data());
    }

    bool ChangeDir(const std::string& path) override { return ::chdir(path.c_str()) == 0; }
};

} // namespace

Shell& SystemShell() {
    static PosixShell shell;
    return shell;
}

} // namespace kivo
