// The shell seam of the native build: a program started detached in its working directory.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/shell.h"
#include "scheduler/launch.h"
#include "support/temp_dir.h"

namespace kivo::test {
namespace {

bool AppearsWithin(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(PosixShell, StartsInTheWorkingDirectoryAndReportsMissingPrograms) {
    TempDir temp;
    temp.Write("maak.sh", "#!/bin/sh\necho \"$1 $(pwd)\" > uit.txt\n");
    std::filesystem::permissions(temp.File("maak.sh"), std::filesystem::perms::owner_all);
    Shell& shell = SystemShell();
    const ShellResult started =
        RunProgram(shell, nullptr, "maak.sh", "eerste", temp.Dir(), SwShowNormal);
    EXPECT_TRUE(started.Started()) << started.reason;
    ASSERT_TRUE(AppearsWithin(temp.File("uit.txt")));
    EXPECT_EQ(temp.Read("uit.txt").rfind("eerste ", 0), 0u);

    const ShellResult missing = RunProgram(shell, nullptr, "bestaatniet", "", temp.Dir(), 1);
    EXPECT_EQ(missing.instance, 2);
    EXPECT_FALSE(missing.reason.empty());
    EXPECT_EQ(RunProgram(shell, nullptr, "maak.sh", "", temp.Dir() + "nergens", 1).instance, 3);

    ShellExecuteInfo info;
    info.verb = "print";
    info.file = "maak.sh";
    EXPECT_FALSE(shell.ExecuteEx(info).Started());

    const std::string before = shell.CurrentDir();
    EXPECT_TRUE(shell.ChangeDir(temp.Dir()));
    EXPECT_FALSE(shell.ChangeDir(""));
    EXPECT_TRUE(shell.ChangeDir(before));
    EXPECT_EQ(shell.CurrentDir(), before);
    EXPECT_FALSE(shell.EnvironmentValue("KIVO_SURELY_NOT_SET"));
    EXPECT_TRUE(shell.EnvironmentValue("PATH"));
}

} // namespace
} // namespace kivo::test
