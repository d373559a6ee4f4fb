#include "logbook/logsnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"
#include "support/mem_files.h"
#include "support/temp_dir.h"

namespace kivo {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines All(const LogLines& lines) {
    Lines all;
    for (std::size_t i = 0; i < lines.Count(); ++i) all.emplace_back(lines.Line(i));
    return all;
}

std::size_t LongestOf(const Lines& lines) {
    std::size_t longest = 0;
    for (const auto& line : lines) longest = std::max(longest, line.size());
    return longest;
}

TEST(LogLines, LineEndsCtrlZAndNul) {
    const std::pair<std::string, Lines> cases[] = {
        {"", {""}},
        {"\n", {""}},
        {"\r\n", {""}},
        {"a\r\nb\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\n\n", {"a", ""}},
        {"a\rb\n", {"a\rb"}},
        {"a\r", {"a"}},
        {"a\r\r\n", {"a\r"}},
        {"\r", {""}},
        {"a\nb\x1a"
         "c\n",
         {"a", "b"}},
        {"a\r\x1a", {"a"}},
        {"\x1a rest", {""}},
        {"a\0b\r\n\0\nc\r\n"s,
         {"a\xB7"
          "b",
          "\xB7", "c"}},
        // Sixteen bytes are looked at together: line ends, NULs and the Ctrl+Z at a block's
        // first, last and next byte.
        {"0123456789abcde\n0123456789abcdef\n"s, {"0123456789abcde", "0123456789abcdef"}},
        {"0123456789abcd\0\x1a\0\n"s, {"0123456789abcd\xB7"}},
        {"0123456789abcdef\x1a\n"s, {"0123456789abcdef"}},
        {"0123456789abcde\0\n\0\x1a"s, {"0123456789abcde\xB7", "\xB7"}},
    };
    for (const auto& [text, expected] : cases) {
        const LogLines lines = LogLines::FromText(text);
        EXPECT_EQ(All(lines), expected) << testing::PrintToString(text);
        EXPECT_EQ(lines.Longest(), LongestOf(expected)) << testing::PrintToString(text);
    }
    EXPECT_EQ(LogLines().Count(), 0u) << "no text: no lines, not one empty one";
}

TEST(LogLines, EveryLengthAndLineEndAcrossBlocks) {
    std::string text;
    Lines expected;
    for (std::size_t length = 0; length < 70; ++length) {
        std::string line;
        for (std::size_t i = 0; i < length; ++i) line += static_cast<char>('a' + (i + length) % 26);
        if (length % 7 == 3) line[length / 2] = '\r'; // a lone CR stays
        expected.push_back(line);
        text += line + (length % 3 ? "\r\n" : "\n");
    }
    text += "laatste";
    expected.push_back("laatste");
    const LogLines lines = LogLines::FromText(text);
    EXPECT_EQ(All(lines), expected);
    EXPECT_EQ(lines.Longest(), 69u);

    // One line of 20 MB without a line end.
    const LogLines huge = LogLines::FromText(std::string(20'000'000, 'x'));
    ASSERT_EQ(huge.Count(), 1u);
    EXPECT_EQ(huge.Line(0).size(), 20'000'000u);
    EXPECT_EQ(huge.Longest(), 20'000'000u);
}

// A reader that cannot tell the file's size: the buffer grows until the file ends.
struct SizelessFiles : test::MemFiles {
    std::unique_ptr<FileReader> OpenRead(const std::string& path) const override {
        struct Sizeless : FileReader {
            std::unique_ptr<FileReader> inner;
            std::size_t Read(char* buffer, std::size_t size) override {
                return inner->Read(buffer, std::min<std::size_t>(size, 1000));
            }
        };
        auto reader = std::make_unique<Sizeless>();
        reader->inner = MemFiles::OpenRead(path);
        return reader;
    }
};

TEST(LogSnapshot, MissingLockedFailingAndSizelessFiles) {
    const std::string path = "C:\\kivo\\kivoklok.log";
    SizelessFiles files;
    EXPECT_FALSE(ReadLogSnapshot(files, path).opened) << "missing";
    files.files[path] = "regel een\r\nregel twee\r\nregel drie\r\n";
    files.unreadable.insert(path);
    EXPECT_FALSE(ReadLogSnapshot(files, path).opened) << "locked by a writer";
    files.unreadable.clear();

    // A read error keeps the whole lines read before it and is handed on.
    const std::pair<std::size_t, Lines> failures[] = {
        {25, {"regel een", "regel twee"}},
        {23, {"regel een", "regel twee"}},
        {22, {"regel een"}},
        {11, {"regel een"}},
        {5, {}},
        {0, {}},
    };
    for (const auto& [failAt, expected] : failures) {
        files.readFailsAt[path] = failAt;
        const LogSnapshot snapshot = ReadLogSnapshot(files, path);
        EXPECT_TRUE(snapshot.opened);
        EXPECT_EQ(All(snapshot.lines), expected) << failAt;
        ASSERT_TRUE(snapshot.failure) << failAt;
        EXPECT_THROW(std::rethrow_exception(snapshot.failure), KivoError);
    }
    // Reading ends at a Ctrl+Z, so a failure after one is never met.
    files.files[path] = "a\r\nb\x1a rest";
    files.readFailsAt[path] = 7;
    LogSnapshot snapshot = ReadLogSnapshot(files, path);
    EXPECT_FALSE(snapshot.failure);
    EXPECT_EQ(All(snapshot.lines), (Lines{"a", "b"}));

    files.readFailsAt.clear();
    std::string big;
    Lines expected;
    for (int i = 0; big.size() < 300'000; ++i) {
        expected.push_back("regel " + std::to_string(i));
        big += expected.back() + "\r\n";
    }
    files.files[path] = big;
    snapshot = ReadLogSnapshot(files, path);
    EXPECT_FALSE(snapshot.failure);
    EXPECT_EQ(All(snapshot.lines), expected);
}

TEST(LogSnapshot, ReadsTheSystemsFileOnce) {
    test::TempDir dir;
    const std::string path = dir.File("kivoklok.log");
    SystemFileSystem().ReplaceAll(path, "een\r\ntwee\r\n");
    const LogSnapshot snapshot = ReadLogSnapshot(SystemFileSystem(), path);
    EXPECT_TRUE(snapshot.opened);
    EXPECT_EQ(All(snapshot.lines), (Lines{"een", "twee"}));
    // Closed again: the file can be replaced at once.
    SystemFileSystem().ReplaceAll(path, "drie\r\n");
    EXPECT_FALSE(ReadLogSnapshot(SystemFileSystem(), dir.File("geen.log")).opened);
}

} // namespace
} // namespace kivo
