// The real shell: batch files, the command interpreter, file sharing with an import's producer.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/shell.h"
#include "scheduler/launch.h"
#include "scheduler/scheduler_fakes.h"
#include "support/fake_process_watch.h"
#include "support/temp_dir.h"

namespace kivo::test {
namespace {

// Waits up to ten seconds for a file that a started program writes.
bool AppearsWithin(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 0) return true;
        Sleep(100);
    }
    return false;
}

std::string CurrentDirectory() {
    char buffer[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof buffer, buffer);
    return buffer;
}

class RealShellTest : public ::testing::Test {
protected:
    TempDir temp;
    std::string work = temp.Dir() + "werk";
    void SetUp() override {
        std::filesystem::create_directories(work);
        // Writes where it runs: proves the working directory.
        temp.Write("werk\\maak.bat", "@echo off\r\necho %CD% %1> uit.txt\r\n");
    }
};

TEST_F(RealShellTest, BatchFileRunsInItsWorkingDirectory) {
    const ShellResult result =
        RunProgram(SystemShell(), nullptr, "maak.bat", "eerste", work, SwShowNormal);
    EXPECT_TRUE(result.Started()) << result.instance << " " << result.reason;
    ASSERT_TRUE(AppearsWithin(work + "\\uit.txt"));
    EXPECT_NE(temp.Read("werk\\uit.txt").find("eerste"), std::string::npos);

    const ShellResult missing =
        RunProgram(SystemShell(), nullptr, "bestaatniet.exe", "", work, SwShowNormal);
    EXPECT_FALSE(missing.Started());
    EXPECT_EQ(missing.instance, 2);
    EXPECT_FALSE(missing.reason.empty());
}

TEST_F(RealShellTest, ManualRunThroughComspecLeavesTheDirectoryAsItWas) {
    test::FakeProcessWatch watch;
    World w(SystemFileSystem(), temp.Dir(), "", &SystemShell(), &watch);
    w.Add({.omschrijving = "Met de hand",
           .programma = "maak.bat",
           .parameters = "tweede",
           .werkdirectory = work});
    w.manual.OnAsk = [](const std::string&, const std::string&) { return IdYes; };
    const std::string before = CurrentDirectory();
    w.manual.Taakuitvoeren1Click();
    EXPECT_EQ(CurrentDirectory(), before);
    EXPECT_FALSE(w.starter.Failed()) << w.starter.ErrorText();
    EXPECT_EQ(watch.watched.size(), 1u); // the started process is watched for its end
    ASSERT_TRUE(AppearsWithin(work + "\\uit.txt"));
    EXPECT_NE(temp.Read("werk\\uit.txt").find("tweede"), std::string::npos);
    EXPECT_NE(w.Log().find("Taak \"Met de hand\" (handmatig)"), std::string::npos);
    EXPECT_EQ(w.Log().find("niet gestart"), std::string::npos);
}

TEST_F(RealShellTest, MissingProgramStillCountsAndIsNoted) {
    World w(SystemFileSystem(), temp.Dir(), "", &SystemShell());
    w.Add({.omschrijving = "Ontbreekt",
           .starttijd = "08:00",
           .programma = "bestaatniet.exe",
           .werkdirectory = work});
    w.At(8, 0, 30);
    w.scheduler.Timer1Timer();
    const std::string log = w.Log();
    EXPECT_NE(log.find("Taak \"Ontbreekt\" (automatisch)" + std::string(19, ' ') + work +
                       "\\bestaatniet.exe\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("] Taak \"Ontbreekt\" niet gestart: "), std::string::npos) << log;
    EXPECT_EQ(w.Get("Ontbreekt", Field::Laatstekeer), "07-03-24");
    EXPECT_TRUE(w.reports.empty());
}

TEST_F(RealShellTest, ImportFileHeldByItsWriterWaitsForTheNextCall) {
    World w(SystemFileSystem(), temp.Dir(), temp.File("c-kivoklok.tkn"));
    temp.Write("kivoklok.tkn", "KIVO TAAK gedeeld\r\n06:00\r\n1\r\na.exe\r\nC:\\\r\n\r\n");
    HANDLE writer = CreateFileA(temp.File("kivoklok.tkn").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    w.importer.ImportTasks();
    EXPECT_TRUE(w.reports.empty());
    EXPECT_EQ(w.table.TaskCount(), 0);
    EXPECT_TRUE(temp.Exists("kivoklok.tkn"));
    CloseHandle(writer);
    w.importer.ImportTasks();
    EXPECT_TRUE(w.Find("KIVO TAAK gedeeld"));
    EXPECT_FALSE(temp.Exists("kivoklok.tkn"));
}

} // namespace
} // namespace kivo::test
