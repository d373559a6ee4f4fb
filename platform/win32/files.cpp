#include <windows.h>

#include <string>

#include "algemeen/errors.h"
#include "platform/files.h"
#include "platform/win32/uniquehandle.h"
#include "platform/win32/win32error.h"

namespace kivo {
namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

class Win32FileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) const override {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string ReadAll(const std::string& path) const override {
        // Shared for reading only: a file another process is still writing is refused.
        UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            throw FileOpenError("Cannot open file " + Quoted(path) + ". " +
                                Win32ErrorText(GetLastError()));
        std::string content;
        char buffer[65536];
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr))
                throw KivoError("Read error: " + Win32ErrorText(GetLastError()));
            if (n == 0) break;
            content.append(buffer, n);
        }
        return content;
    }

    void ReplaceAll(const std::string& path, const std::string& content) override {
        // Write beside the target, then move it over in one step: the old file survives any
        // failure.
        // A read-only target stays as it is, as a direct create would leave it (Wine's move
        // would replace it).
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            throw KivoError("Cannot create file " + Quoted(path) + ". " +
                            Win32ErrorText(ERROR_ACCESS_DENIED));
        std::string temp = path + ".tmp" + std::to_string(GetCurrentProcessId());
        UniqueFile file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
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
        if (!CloseFile(file) || !ok) {
            DeleteFileA(temp.c_str());
            throw KivoError("Stream write error");
        }
        if (!MoveFileExA(temp.c_str(), path.c_str(),
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

FileSystem& SystemFileSystem() {
    static Win32FileSystem files;
    return files;
}

std::string LastErrorText() {
    return Win32ErrorText(GetLastError());
}

} // namespace kivo
