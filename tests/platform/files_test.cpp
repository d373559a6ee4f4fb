#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace kivo {
namespace {

using test::TempDir;

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const KivoError& e) {
        return e.what();
    }
    return "";
}

TEST(Files, ReplaceWritesWholeContentAndLeavesNoTemporaryFile) {
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    std::string path = dir.File("a.txt");
    EXPECT_FALSE(files.Exists(path));
    std::string content("one\r\ntwo\0three\r\n", 16);
    files.ReplaceAll(path, content);
    EXPECT_TRUE(files.Exists(path));
    EXPECT_EQ(files.ReadAll(path), content);
    files.ReplaceAll(path, "");
    EXPECT_EQ(files.ReadAll(path), "");
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Dir())) ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(files.Delete(path));
    EXPECT_FALSE(files.Exists(path));
    EXPECT_FALSE(files.Delete(path));
}

// What an interrupted rewrite leaves is found by its name on the real file system, and only that.
TEST(Files, InterruptedRewritesAreRemovedByTheirNamesOnly) {
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    for (const char* name :
         {"kivoklok.csv", "kivoklok.csv.tmp4711", "kivoklok.csv.tmp12", "kivoklok.csv.tmp",
          "kivoklok.csv.tmp9.old", "kivoklok.csv.tmpabc", "andere.csv.tmp1"})
        dir.Write(name, "x");
    std::filesystem::create_directory(dir.File("kivoklok.csv.tmp77"));
    EXPECT_EQ(RemoveInterruptedRewrites(files, dir.File("kivoklok.csv")), 2);
    std::vector<std::string> left;
    for (auto& e : std::filesystem::directory_iterator(dir.Dir()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"andere.csv.tmp1", "kivoklok.csv", "kivoklok.csv.tmp",
                                              "kivoklok.csv.tmp77", "kivoklok.csv.tmp9.old",
                                              "kivoklok.csv.tmpabc"}));
    EXPECT_EQ(RemoveInterruptedRewrites(files, dir.File("ontbreekt") + "/kivoklok.csv"), 0);
}

TEST(Files, FailuresNameThePathAndTheSystemReason) {
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    std::string missing = dir.File("missing.csv");
    std::string open = MessageOf([&] { files.ReadAll(missing); });
    EXPECT_EQ(open.rfind("Cannot open file \"" + missing + "\". ", 0), 0u) << open;
    EXPECT_GT(open.size(), ("Cannot open file \"" + missing + "\". ").size());
    EXPECT_THROW(files.ReadAll(missing), FileOpenError);

    std::string inMissingFolder = dir.File("nofolder") + "/x.csv";
    std::string create = MessageOf([&] { files.ReplaceAll(inMissingFolder, "x"); });
    EXPECT_EQ(create.rfind("Cannot create file \"" + inMissingFolder + "\". ", 0), 0u) << create;
    EXPECT_FALSE(files.Exists(inMissingFolder));
}

TEST(Files, FailedReplaceKeepsTheOldContent) {
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    // A folder in the way of the target: the replace must fail and touch nothing.
    std::filesystem::create_directory(dir.File("busy"));
    EXPECT_THROW(files.ReplaceAll(dir.File("busy"), "new"), KivoError);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("busy")));
#ifdef _WIN32
    // A read-only file is not replaced.
    std::string path = dir.File("ro.log");
    files.ReplaceAll(path, "old");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    std::string message = MessageOf([&] { files.ReplaceAll(path, "new"); });
    EXPECT_EQ(message.rfind("Cannot create file \"" + path + "\". ", 0), 0u) << message;
    EXPECT_EQ(files.ReadAll(path), "old");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
#endif
}

#ifdef _WIN32
// A file another program holds past the wait for a passing lock (a moment's hold is the window
// test's): the write fails as it always did, and the file keeps its content.
TEST(Files, AFileHeldThroughoutFailsAsBeforeAndKeepsItsContent) {
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    const std::string path = dir.File("kivoklok.log");
    for (bool replace : {true, false}) {
        files.ReplaceAll(path, "oud\r\n");
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        const std::string message = MessageOf([&] {
            replace ? files.ReplaceAll(path, "nieuw\r\n") : files.Append(path, "nieuw\r\n");
        });
        CloseHandle(held);
        EXPECT_EQ(message.rfind("Cannot create file \"" + path + "\". ", 0), 0u) << message;
        EXPECT_EQ(files.ReadAll(path), "oud\r\n");
    }
}
#endif

TEST(Files, CopyIfAbsentNeverOverwrites) {
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    files.ReplaceAll(dir.File("a"), "first");
    EXPECT_TRUE(files.CopyIfAbsent(dir.File("a"), dir.File("b")));
    files.ReplaceAll(dir.File("a"), "second");
    EXPECT_FALSE(files.CopyIfAbsent(dir.File("a"), dir.File("b")));
    EXPECT_EQ(files.ReadAll(dir.File("b")), "first");
    EXPECT_FALSE(files.CopyIfAbsent(dir.File("none"), dir.File("c")));
}

TEST(Files, StampsAndPieceByPieceReading) {
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    const std::string path = dir.File("a.tkn");
    EXPECT_FALSE(files.Stamp(path));
    EXPECT_THROW(files.OpenRead(path), FileOpenError);
    std::string content(200'000, 'x');
    content[123'456] = '\n';
    files.ReplaceAll(path, content);
    const auto stamp = files.Stamp(path);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->size, content.size());
    EXPECT_FALSE(files.Stamp(dir.Dir())); // a folder is no file

    auto reader = files.OpenRead(path);
    EXPECT_EQ(reader->Size(), content.size());
    std::string read;
    char piece[4096];
    while (std::size_t n = reader->Read(piece, sizeof piece)) read.append(piece, n);
    EXPECT_EQ(read, content);
    reader.reset();
    files.ReplaceAll(path, "kort");
    EXPECT_NE(files.Stamp(path), stamp);
}

TEST(Files, ALinkedFileIsWrittenWhereTheLinkLeadsAndStaysALink) {
    namespace fs = std::filesystem;
    TempDir dir;
    FileSystem& files = SystemFileSystem();
    fs::create_directory(dir.File("echt"));
    const std::string real = (fs::path(dir.Dir()) / "echt" / "taken.csv").string();
    const std::string link = dir.File("kivoklok.csv");
    files.ReplaceAll(real, "oud");
    std::error_code ec;
    fs::create_symlink(real, link, ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    files.ReplaceAll(link, "nieuw");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(files.ReadAll(real), "nieuw");
    EXPECT_EQ(files.Stamp(link), files.Stamp(real));
    EXPECT_EQ(FinalPath(dir.File("geen-link")), dir.File("geen-link"));
#ifndef _WIN32
    // A relative link whose file is not there yet: the file is made where it points.
    fs::create_symlink(fs::path("echt") / "kivoklok.log", dir.File("kivoklok.log"));
    files.ReplaceAll(dir.File("kivoklok.log"), "regel\r\n");
    EXPECT_TRUE(fs::is_symlink(dir.File("kivoklok.log")));
    EXPECT_EQ(files.ReadAll(dir.File("echt/kivoklok.log")), "regel\r\n");
#endif
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::recursive_directory_iterator(dir.Dir())) ++entries;
#ifdef _WIN32
    EXPECT_EQ(entries, 3); // no temporary file left
#else
    EXPECT_EQ(entries, 5);
#endif
}

} // namespace
} // namespace kivo
