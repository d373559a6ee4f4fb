#pragma once
// Whole-file access. Every failure carries the operating system's reason in its message.
#include <string>

namespace kivo {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool Exists(const std::string& path) const = 0;
    // Reads the whole file, shared for reading only (a file held open for writing by another
    // process cannot be opened). Throws FileOpenError:
    //   Cannot open file "<path>". <reason>
    // and KivoError for a failure after the open.
    virtual std::string ReadAll(const std::string& path) const = 0;
    // Writes a temporary file beside the path and puts it in place in one step, so that the old
    // content survives whole whatever fails. Throws KivoError:
    //   Cannot create file "<path>". <reason>     (create or replace refused)
    //   Stream write error                        (a write failed)
    virtual void ReplaceAll(const std::string& path, const std::string& content) = 0;
    // Copies only when the target does not exist yet; returns false when it could not.
    virtual bool CopyIfAbsent(const std::string& from, const std::string& to) = 0;
    virtual bool Delete(const std::string& path) = 0;
};

FileSystem& SystemFileSystem();

// The platform's text for its last error (errno or GetLastError), without a line break.
std::string LastErrorText();

} // namespace kivo
