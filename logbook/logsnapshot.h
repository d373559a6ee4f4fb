#pragma once
// The log book as the viewer shows it: the file's bytes as they were when it was read once, and
// where each line starts. The text is held once; a line is a view into it.
#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class FileSystem;

constexpr char NulMark = '\xB7'; // how a NUL shows: the middle dot of the ANSI code page

// Lines end at LF or CR LF (a CR just before the end of the text goes too; any other CR stays in
// its line); the text ends at its first Ctrl+Z; an empty text is one empty line; a line end at
// the very end makes no empty line after it. Each NUL becomes NulMark.
class LogLines {
public:
    LogLines() = default; // no text at all: no lines
    LogLines(std::unique_ptr<char[]> bytes, std::size_t size);
    static LogLines FromText(std::string_view text); // a copy, for tests and small texts

    std::size_t Count() const { return starts_.empty() ? 0 : starts_.size() - 1; }
    std::string_view Line(std::size_t i) const;
    // Characters in the longest line.
    std::size_t Longest() const { return longest_; }

private:
    std::unique_ptr<char[]> bytes_;
    // Where each line starts, then one more: the end of the last line plus one.
    std::vector<std::size_t> starts_;
    std::size_t longest_ = 0;
};

// One reading of the log file, start to end.
struct LogSnapshot {
    bool opened = false; // false: missing or locked, which shows as nothing, silently
    LogLines lines;
    // A read error after the open; lines then hold the whole lines read before it.
    std::exception_ptr failure;
};

// Reads the file once, as it is when it is opened, into one buffer of its size; the file is closed
// again on return. A log too large for memory fails as "Out of memory".
LogSnapshot ReadLogSnapshot(const FileSystem& files, const std::string& path);

} // namespace kivo
