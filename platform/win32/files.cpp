#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/win32/uniquehandle.h"
#include "platform/win32/win32error.h"

namespace kivo {

namespace {

// WriteFile in pieces a DWORD can count; false at the first short or failed write.
bool WriteAll(HANDLE file, const std::string& content) {
    const char* data = content.data();
    size_t left = content.size();
    while (left > 0) {
        DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk) return false;
        data += written;
        left -= written;
    }
    return true;
}

// Virus scanners, backups and search indexers open a file for a moment; a write, rename or append
// meanwhile is refused with one of these errors for some tens of milliseconds. Such a refusal is
// tried again after 50 ms, then after twice as long each time, until about a second has gone by;
// only then does it count as a failure.
class PassingLock {
public:
    static constexpr DWORD FirstPauseMs = 50, TotalMs = 1000;

    // Waits and returns true when the error may pass and time is left.
    bool WaitAfter(DWORD error, const std::wstring& path) {
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
            error != ERROR_ACCESS_DENIED)
            return false;
        // A read-only file or a folder in the way refuses for good.
        if (error == ERROR_ACCESS_DENIED && !path.empty()) {
            const DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
                return false;
        }
        if (waited_ >= TotalMs) return false;
        const DWORD pause = std::min(next_, TotalMs - waited_);
        Sleep(pause);
        waited_ += pause;
        next_ *= 2;
        return true;
    }

private:
    DWORD waited_ = 0;
    DWORD next_ = FirstPauseMs;
};

// Runs the attempt (true when it succeeded) again while its failure may pass; false with the
// attempt's own last error.
template <typename Attempt>
bool Retried(PassingLock& lock, const std::wstring& path, Attempt attempt) {
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if (!lock.WaitAfter(error, path)) {
            SetLastError(error);
            return false;
        }
    }
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// Paths stay ANSI text throughout the program; only here are they handed to the wide functions,
// converted by the same code page the "A" functions use. Those refuse any path beyond MAX_PATH
// (Wine always, Windows without long-path opt-in); the wide ones take it, with the \\?\ form on
// Windows.
std::wstring Wide(const std::string& path) {
    std::wstring wide;
    if (path.empty()) return wide;
    int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    wide.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    constexpr std::size_t ShortEnough = MAX_PATH - 12; // the limit of a folder's own name
    if (wide.size() < ShortEnough || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\') return L"\\\\?\\" + wide;
    if (wide.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

// The ANSI form of a wide path; empty when a character has none.
std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        narrow.data(), n, nullptr, &lossy);
    return lossy ? std::string() : narrow;
}

DWORD Attributes(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str());
}

// Opened for its name and attributes only, through any link, without keeping others out.
HANDLE OpenForInfo(const std::string& path) {
    return CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Shared for reading only: a file another process is still writing is refused.
HANDLE OpenForReading(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw FileOpenError("Cannot open file " + Quoted(path) + ". " +
                            Win32ErrorText(GetLastError()));
    return file;
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
    std::optional<std::uint64_t> Size() const override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file_.get(), &size)) return std::nullopt;
        return static_cast<std::uint64_t>(size.QuadPart);
    }

private:
    UniqueFile file_;
};

class Win32FileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) const override {
        DWORD attributes = Attributes(path);
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string ReadAll(const std::string& path) const override {
        UniqueFile file(OpenForReading(path));
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
        UniqueFile file(OpenForInfo(path));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file || !GetFileInformationByHandle(file.get(), &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return std::nullopt;
        const auto high = [](DWORD h, DWORD l) {
            return (static_cast<std::uint64_t>(h) << 32) | l;
        };
        return FileStamp{high(info.nFileSizeHigh, info.nFileSizeLow),
                         static_cast<std::int64_t>(high(info.ftLastWriteTime.dwHighDateTime,
                                                        info.ftLastWriteTime.dwLowDateTime))};
    }

    void ReplaceAll(const std::string& path, const std::string& content) override {
        PassingLock lock;
        // A file not there yet is made first, empty: through a link that leads to no file yet
        // this makes the file it leads to, which the link then resolves to.
        if (Attributes(path) == INVALID_FILE_ATTRIBUTES) {
            UniqueFile made;
            Retried(lock, Wide(path), [&] {
                made.reset(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
                return static_cast<bool>(made);
            });
        }
        // Through a link to the file itself, so the link stays and the temporary file lies
        // beside the file it replaces.
        const std::string target = FinalPath(path);
        // A read-only target stays as it is, as a direct create would leave it (Wine's move
        // would replace it).
        DWORD attributes = Attributes(target);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            throw KivoError("Cannot create file " + Quoted(path) + ". " +
                            Win32ErrorText(ERROR_ACCESS_DENIED));
        const std::wstring temp = Wide(target + ".tmp" + std::to_string(GetCurrentProcessId()));
        UniqueFile file;
        if (!Retried(lock, temp, [&] {
                file.reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
                return static_cast<bool>(file);
            }))
            throw KivoError("Cannot create file " + Quoted(path) + ". " +
                            Win32ErrorText(GetLastError()));
        const bool ok = WriteAll(file.get(), content) && FlushFileBuffers(file.get());
        if (!CloseFile(file) || !ok) {
            DeleteFileW(temp.c_str());
            throw KivoError("Stream write error");
        }
        const std::wstring wideTarget = Wide(target);
        if (!Retried(lock, wideTarget, [&] {
                return MoveFileExW(temp.c_str(), wideTarget.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
            })) {
            DWORD err = GetLastError();
            DeleteFileW(temp.c_str());
            throw KivoError("Cannot create file " + Quoted(path) + ". " + Win32ErrorText(err));
        }
    }

    void Append(const std::string& path, const std::string& content) override {
        PassingLock lock;
        const std::wstring wide = Wide(path);
        // Others may read meanwhile, not write; a read-only file refuses the open.
        UniqueFile file;
        if (!Retried(lock, wide, [&] {
                file.reset(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                return static_cast<bool>(file);
            }))
            throw KivoError("Cannot create file " + Quoted(path) + ". " +
                            Win32ErrorText(GetLastError()));
        LARGE_INTEGER end{};
        if (!GetFileSizeEx(file.get(), &end) ||
            !SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN))
            throw KivoError("Cannot create file " + Quoted(path) + ". " +
                            Win32ErrorText(GetLastError()));
        // A range another program locked for a moment refuses the write; nothing half-written
        // stays: the file ends where it ended.
        const bool written = Retried(lock, std::wstring(), [&] {
            if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) return false;
            if (WriteAll(file.get(), content)) return true;
            const DWORD error = GetLastError();
            if (SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
            SetLastError(error);
            return false;
        });
        if (!written) throw KivoError("Stream write error");
        if (!CloseFile(file)) throw KivoError("Stream write error");
    }

    bool CopyIfAbsent(const std::string& from, const std::string& to) override {
        PassingLock lock;
        const std::wstring source = Wide(from), copy = Wide(to);
        return Retried(lock, copy,
                       [&] { return CopyFileW(source.c_str(), copy.c_str(), TRUE) != 0; });
    }

    bool Delete(const std::string& path) override { return DeleteFileW(Wide(path).c_str()) != 0; }

    std::vector<std::string> NamesBeginningWith(const std::string& folder,
                                                const std::string& prefix) const override {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(Wide(folder + prefix + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            // The pattern also matches short 8.3 names: the long name decides.
            std::string name = Narrow(found.cFileName);
            if (!name.empty() && name.compare(0, prefix.size(), prefix) == 0)
                names.push_back(std::move(name));
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }
};

} // namespace

std::string FinalPath(const std::string& path) {
    // Asked of every existing file: Wine shows a link made on the Unix side as a plain file,
    // and only the final name tells.
    UniqueFile file(OpenForInfo(path));
    if (!file) return path;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(file.get(), final.data(),
                                            static_cast<DWORD>(final.size()), VOLUME_NAME_DOS);
        if (n == 0) return path;
        if (n < final.size()) {
            final.resize(n);
            break;
        }
        final.resize(n + 1);
    }
    // The answer comes as \\?\C:\... or \\?\UNC\server\share\...
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0)
        final = L"\\\\" + final.substr(8);
    else if (final.rfind(L"\\\\?\\", 0) == 0)
        final = final.substr(4);
    const std::string narrow = Narrow(final);
    // The same file under the same name (in whatever case): the path as given.
    if (narrow.empty() || lstrcmpiA(narrow.c_str(), path.c_str()) == 0) return path;
    return narrow;
}

FileSystem& SystemFileSystem() {
    static Win32FileSystem files;
    return files;
}

std::string LastErrorText() {
    return Win32ErrorText(GetLastError());
}

} // namespace kivo
