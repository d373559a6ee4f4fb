// The viewer's reading of the log over arbitrary bytes: the same lines as a plain byte-by-byte
// split, also when reading fails part-way (then the whole lines before the failure).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "logbook/logsnapshot.h"
#include "support/mem_files.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// One byte at a time: the text up to a Ctrl+Z, lines ended by LF with a CR before it dropped.
std::vector<std::string> Split(std::string_view text) {
    text = text.substr(0, std::min(text.find('\x1a'), text.size()));
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
            if (i + 1 < text.size()) lines.emplace_back();
        } else {
            lines.back() += text[i] == '\0' ? kivo::NulMark : text[i];
        }
    }
    if (!text.empty() && text.back() != '\n' && !lines.back().empty() &&
        lines.back().back() == '\r')
        lines.back().pop_back();
    return lines;
}

void Same(const kivo::LogLines& lines, const std::vector<std::string>& expected) {
    Check(lines.Count() == expected.size());
    std::size_t longest = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Check(lines.Line(i) == expected[i]);
        longest = std::max(longest, expected[i].size());
    }
    Check(lines.Longest() == longest);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Same(LogLines::FromText(text), Split(text));

    // A read that fails after as many bytes as the first byte says, before the end.
    if (size == 0) return 0;
    test::MemFiles files;
    const std::string path = "C:\\kivoklok.log";
    files.files[path] = std::string(text);
    const std::size_t failAt = data[0] % size;
    files.readFailsAt[path] = failAt;
    const LogSnapshot snapshot = ReadLogSnapshot(files, path);
    Check(snapshot.opened);
    const std::string_view read = text.substr(0, failAt);
    if (read.find('\x1a') != std::string_view::npos) {
        Check(!snapshot.failure);
        Same(snapshot.lines, Split(read));
    } else {
        Check(snapshot.failure != nullptr);
        const std::size_t whole = read.rfind('\n');
        if (whole == std::string_view::npos)
            Check(snapshot.lines.Count() == 0);
        else
            Same(snapshot.lines, Split(read.substr(0, whole + 1)));
    }
    return 0;
}
