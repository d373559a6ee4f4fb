#pragma once
// Whole-file access. Every failure carries the operating system's reason in its message.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// An open file read from front to back, a piece at a time.
class FileReader {
public:
    virtual ~FileReader() = default;
    // Fills up to size bytes; 0 at the end. Throws KivoError on a read error.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // The file's size when it was opened; none when the reader cannot tell.
    virtual std::optional<std::uint64_t> Size() const { return std::nullopt; }
};

// What tells one state of a file from the next: its size and its last write time.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t written = 0;
    bool operator==(const FileStamp&) const = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool Exists(const std::string& path) const = 0;
    // Reads the whole file, shared for reading only (a file held open for writing by another
    // process cannot be opened). Throws FileOpenError:
    //   Cannot open file "<path>". <reason>
    // and KivoError for a failure after the open.
    virtual std::string ReadAll(const std::string& path) const = 0;
    // Opens the file for reading piece by piece, shared and failing as ReadAll. The default
    // reads it whole first; the system's file systems keep only one piece in memory.
    virtual std::unique_ptr<FileReader> OpenRead(const std::string& path) const;
    // Size and write time of the file a path leads to (through links); none when there is no
    // such file, or when this file system cannot tell.
    virtual std::optional<FileStamp> Stamp(const std::string& path) const;
    // Writes a temporary file beside the path and puts it in place in one step, so that the old
    // content survives whole whatever fails. A path that is a symbolic link writes the file the
    // link leads to, and the link stays. Throws KivoError:
    //   Cannot create file "<path>". <reason>     (create or replace refused)
    //   Stream write error                        (a write failed)
    virtual void ReplaceAll(const std::string& path, const std::string& content) = 0;
    // Adds the content at the end of an existing file, held shared for reading only while it is
    // written. Not flushed: the system writes it out in its own time, so a power cut may lose
    // what was added in the seconds before it, but never a byte that stood before the end, which
    // is never written. A failure takes back what was added. Throws KivoError:
    //   Cannot create file "<path>". <reason>     (no such file, or writing refused)
    //   Stream write error                        (a write failed)
    virtual void Append(const std::string& path, const std::string& content) = 0;
    // Copies only when the target does not exist yet; returns false when it could not.
    virtual bool CopyIfAbsent(const std::string& from, const std::string& to) = 0;
    virtual bool Delete(const std::string& path) = 0;
    // Names (without the folder) of the files in a folder whose names begin with prefix; none
    // when the folder cannot be read or this file system cannot tell.
    virtual std::vector<std::string> NamesBeginningWith(const std::string& folder,
                                                        const std::string& prefix) const;
};

FileSystem& SystemFileSystem();

// The file a path finally leads to, following symbolic links (also one whose target does not
// exist yet); the path itself when it is no link or cannot be followed.
std::string FinalPath(const std::string& path);

// Deletes what rewrites of this file that were cut short (power lost, process killed) left
// beside it: the temporary files of ReplaceAll, named after the file (through its links) with
// ".tmp" and a process number. Returns how many went.
int RemoveInterruptedRewrites(FileSystem& files, const std::string& path);

// The platform's text for its last error (errno or GetLastError), without a line break.
std::string LastErrorText();

} // namespace kivo
