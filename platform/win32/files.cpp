#include <windows.h>

#include <string>

#include "algemeen/errors.h"
#include "platform/files.h"
#include "platform/win32/win32error.h"

namespace kivo {
namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    bool close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

[[noreturn]] void ThrowOpen(const std::string& path) {
    throw FileOpenError("Cannot open file " + Quoted(path) + ". " + Win32ErrorText(GetLastError()));
}

std::size_t ReadSome(HANDLE file, char* buffer, std::size_t size) {
    DWORD n = 0;
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!ReadFile(file, buffer, chunk, &n, nullptr))
        throw KivoError("Read error: " + Win32ErrorText(GetLastError()));
    return n;
}

class Win32FileReader : public FileReader {
public:
    explicit Win32FileReader(HANDLE file) : file_(file) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        return ReadSome(file_.get(), buffer, size);
    }

private:
    Handle file_;
};

// Shared for reading only: a file another process is still writing is refused.
HANDLE OpenForReading(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) ThrowOpen(path);
    return file;
}

class Win32FileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) const override {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string ReadAll(const std::string& path) const override {
        Handle file(OpenForReading(path));
        std::string content;
        char buffer[65536];
        while (std::size_t n = ReadSome(file.get(), buffer, sizeof buffer))
            content.append(buffer, n);
        return content;
    }

    std::unique_ptr<FileReader> OpenRead(const std::string& path) const override {
        return std::make_unique<Win32FileReader>(OpenForReading(path));
    }

    std::optional<FileStamp> Stamp(const std::string& path) const override {
        // Through the file itself, so that a link gives the stamp of the file it leads to.
        Handle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file.valid() || !GetFileInformationByHandle(file.get(), &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return std::nullopt;
        return FileStamp{
            (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
            static_cast<std::int64_t>(
                (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                info.ftLastWriteTime.dwLowDateTime)};
    }

    void ReplaceAll(const std::string& path, const std::string& content) override {
        // Write beside the target, then move it over in one step: the old file survives any
        // failure.
        // Through a link to the file itself, so the link stays and the temporary file lies
        // beside the file it replaces.
        const std::string target = FinalPath(path);
        // A read-only target stays as it is, as a direct create would leave it (Wine's move
        // would replace it).
        DWORD attributes = GetFileAttributesA(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            throw KivoError("Cannot create file " + Quoted(path) + ". " +
                            Win32ErrorText(ERROR_ACCESS_DENIED));
        std::string temp = target + ".tmp" + std::to_string(GetCurrentProcessId());
        Handle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            throw KivoError("Cannot create file " + Quoted(path) + ". " +
                            Win32ErrorText(GetLastError()));
        const char* data = content.data();
        size_t left = content.size();
        bool ok = true;
        while (ok && left > 0) {
            DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
            DWORD written = 0;
            ok = WriteFile(file.get(), data, chunk, &written, nullptr) && written == chunk;
            data += written;
            left -= written;
        }
        ok = ok && FlushFileBuffers(file.get());
        if (!file.close() || !ok) {
            DeleteFileA(temp.c_str());
            throw KivoError("Stream write error");
        }
        if (!MoveFileExA(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            DWORD err = GetLastError();
            DeleteFileA(temp.c_str());
            throw KivoError("Cannot create file " + Quoted(path) + ". " + Win32ErrorText(err));
        }
    }

    bool CopyIfAbsent(const std::string& from, const std::string& to) override {
        return CopyFileA(from.c_str(), to.c_str(), TRUE) != 0;
    }

    bool Delete(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }
};

} // namespace

std::string FinalPath(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    Handle file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return path;
    std::string final(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetFinalPathNameByHandleA(file.get(), final.data(),
                                            static_cast<DWORD>(final.size()), VOLUME_NAME_DOS);
        if (n == 0) return path;
        if (n < final.size()) {
            final.resize(n);
            break;
        }
        final.resize(n + 1);
    }
    // The answer comes as \\?\C:\... or \\?\UNC\server\share\...
    if (final.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + final.substr(8);
    if (final.rfind("\\\\?\\", 0) == 0) return final.substr(4);
    return final;
}

FileSystem& SystemFileSystem() {
    static Win32FileSystem files;
    return files;
}

std::string LastErrorText() {
    return Win32ErrorText(GetLastError());
}

} // namespace kivo
