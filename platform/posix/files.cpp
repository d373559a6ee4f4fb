#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/files.h"

namespace kivo {
namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

[[noreturn]] void ThrowOpen(const std::string& path, int err) {
    throw FileOpenError("Cannot open file " + Quoted(path) + ". " + std::strerror(err));
}
[[noreturn]] void ThrowCreate(const std::string& path, int err) {
    throw KivoError("Cannot create file " + Quoted(path) + ". " + std::strerror(err));
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool WriteFully(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

Fd OpenForReading(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) ThrowOpen(path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) ThrowOpen(path, EISDIR);
    return fd;
}

std::size_t ReadSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw KivoError(std::string("Read error: ") + std::strerror(errno));
    }
}

class PosixFileReader : public FileReader {
public:
    explicit PosixFileReader(Fd fd) : fd_(std::move(fd)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        return ReadSome(fd_.get(), buffer, size);
    }
    std::optional<std::uint64_t> Size() const override {
        struct stat st {};
        if (::fstat(fd_.get(), &st) != 0) return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }

private:
    Fd fd_;
};

class PosixFileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) const override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    std::string ReadAll(const std::string& path) const override {
        Fd fd = OpenForReading(path);
        std::string content;
        char buffer[65536];
        while (std::size_t n = ReadSome(fd.get(), buffer, sizeof buffer)) content.append(buffer, n);
        return content;
    }

    std::unique_ptr<FileReader> OpenRead(const std::string& path) const override {
        return std::make_unique<PosixFileReader>(OpenForReading(path));
    }

    std::optional<FileStamp> Stamp(const std::string& path) const override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        return FileStamp{static_cast<std::uint64_t>(st.st_size),
                         static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 +
                             st.st_mtim.tv_nsec};
    }

    void ReplaceAll(const std::string& path, const std::string& content) override {
        // Write beside the file itself (through a link), then rename over it: the old file
        // survives any failure and a link stays a link.
        const std::string target = FinalPath(path);
        std::string temp = target + ".tmp" + std::to_string(::getpid());
        Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.get() < 0) ThrowCreate(path, errno);
        // A read-only target stays read-only: the rename would otherwise bypass it.
        if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
            int err = errno;
            ::unlink(temp.c_str());
            ThrowCreate(path, err);
        }
        if (!WriteFully(fd.get(), content.data(), content.size()) || ::fsync(fd.get()) != 0) {
            ::unlink(temp.c_str());
            throw KivoError("Stream write error");
        }
        if (::close(fd.release()) != 0) {
            ::unlink(temp.c_str());
            throw KivoError("Stream write error");
        }
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            int err = errno;
            ::unlink(temp.c_str());
            ThrowCreate(path, err);
        }
    }

    void Append(const std::string& path, const std::string& content) override {
        Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        if (fd.get() < 0) ThrowCreate(path, errno);
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) ThrowCreate(path, errno);
        if (!S_ISREG(st.st_mode)) ThrowCreate(path, EISDIR);
        if (!WriteFully(fd.get(), content.data(), content.size())) {
            // Nothing half-written: the file ends where it ended.
            (void)::ftruncate(fd.get(), st.st_size);
            throw KivoError("Stream write error");
        }
        if (::close(fd.release()) != 0) throw KivoError("Stream write error");
    }

    bool CopyIfAbsent(const std::string& from, const std::string& to) override {
        if (Exists(to)) return false;
        try {
            std::string content = ReadAll(from);
            ReplaceAll(to, content);
            return true;
        } catch (const KivoError&) {
            return false;
        }
    }

    bool Delete(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    std::vector<std::string> NamesBeginningWith(const std::string& folder,
                                                const std::string& prefix) const override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
        if (!dir) return names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }
};

} // namespace

std::string FinalPath(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(4096, '\0');
        ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return current;
        target.resize(static_cast<std::size_t>(n));
        if (target[0] != '/') {
            const std::size_t slash = current.rfind('/');
            target = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) +
                     target;
        }
        current = target;
    }
    return path; // a loop of links: the path as given, which then fails plainly
}

FileSystem& SystemFileSystem() {
    static PosixFileSystem files;
    return files;
}

std::string LastErrorText() {
    return std::strerror(errno);
}

} // namespace kivo
