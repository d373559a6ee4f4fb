#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "algemeen/errors.h"
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

class PosixFileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) const override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    std::string ReadAll(const std::string& path) const override {
        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0) ThrowOpen(path, errno);
        struct stat st {};
        if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) ThrowOpen(path, EISDIR);
        std::string content;
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw KivoError(std::string("Read error: ") + std::strerror(errno));
            }
            if (n == 0) break;
            content.append(buffer, static_cast<size_t>(n));
        }
        return content;
    }

    void ReplaceAll(const std::string& path, const std::string& content) override {
        // Write beside the target, then rename over it: the old file survives any failure.
        std::string temp = path + ".tmp" + std::to_string(::getpid());
        Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.get() < 0) ThrowCreate(path, errno);
        // A read-only target stays read-only: the rename would otherwise bypass it.
        if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
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
        if (::rename(temp.c_str(), path.c_str()) != 0) {
            int err = errno;
            ::unlink(temp.c_str());
            ThrowCreate(path, err);
        }
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
};

} // namespace

FileSystem& SystemFileSystem() {
    static PosixFileSystem files;
    return files;
}

std::string LastErrorText() {
    return std::strerror(errno);
}

} // namespace kivo
