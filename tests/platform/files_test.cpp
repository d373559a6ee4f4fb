#include <gtest/gtest.h>

#include <filesystem>

#include "algemeen/errors.h"
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

} // namespace
} // namespace kivo
