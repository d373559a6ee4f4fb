#include <gtest/gtest.h>

#include <string>

#include "algemeen/text.h"
#include "scheduler/launch.h"
#include "scheduler/scheduler_fakes.h"
#include "support/log_text.h"

namespace kivo::test {
namespace {

TEST(RunProgram, HandsTheTaskToTheShellWhole) {
    FakeShell shell;
    int window = 0;
    RunProgram(shell, &window, "backup.bat", "-full", "C:\\Tools", SwShowNormal);
    const std::string longDir = "C:\\" + std::string(197, 'd');
    shell.refused["x.exe"] = 2;
    const ShellResult refused = RunProgram(shell, nullptr, "x.exe", "", longDir, 1);
    ASSERT_EQ(shell.calls.size(), 2u);
    const auto& call = shell.calls[0];
    EXPECT_EQ(call.window, &window);
    EXPECT_FALSE(call.verb);
    EXPECT_EQ(call.file, "backup.bat");
    EXPECT_EQ(call.parameters, "-full");
    EXPECT_EQ(call.directory, "C:\\Tools");
    EXPECT_EQ(call.show, 1);
    EXPECT_EQ(shell.calls[1].directory.size(), 200u);
    EXPECT_FALSE(refused.Started());
    EXPECT_EQ(refused.instance, 2);
}

TEST(ProcessStarter, FillsTheRecordKeepsTheHandleAndRemembersRefusals) {
    EXPECT_EQ(ShowCommandOf(soSW_HIDE), 0); // the window's definition: never used as such
    EXPECT_EQ(ShowCommandOf(soSW_SHOWNORMAL), 1);

    FakeShell shell;
    std::vector<std::intptr_t> errors;
    {
        TProcessStarter starter(shell);
        starter.OnError = [&](std::intptr_t code) { errors.push_back(code); };
        int window = 0;
        starter.MainWindow = &window;
        starter.Command = "cmd.exe";
        starter.Parameters = "/c x";
        starter.StartOption = soSW_SHOW;
        starter.Start();
        ASSERT_EQ(shell.calls.size(), 1u);
        const auto& call = shell.calls[0];
        EXPECT_TRUE(call.ex);
        EXPECT_EQ(call.mask, 0x40u);
        EXPECT_EQ(call.verb, "open");
        EXPECT_EQ(call.file, "cmd.exe");
        EXPECT_EQ(call.parameters, "/c x");
        EXPECT_EQ(call.directory, "");
        EXPECT_EQ(call.show, 5);
        EXPECT_EQ(call.window, &window);
        const ProcessHandle first = starter.Process();
        EXPECT_NE(first, nullptr);
        EXPECT_FALSE(starter.Failed());

        shell.refused["cmd.exe"] = 31;
        starter.Start();
        ASSERT_EQ(shell.closed.size(), 1u); // the previous handle is closed first
        EXPECT_EQ(shell.closed[0], first);
        EXPECT_TRUE(starter.Failed());
        EXPECT_EQ(starter.ErrorCode(), 31);
        EXPECT_EQ(starter.ErrorText(), "Shell error 31");
        EXPECT_EQ(starter.Process(), nullptr);

        starter.Command = ""; // nothing to start: the shell is not asked
        starter.Start();
        EXPECT_EQ(shell.calls.size(), 2u);
        EXPECT_EQ(starter.ErrorCode(), 2);
        EXPECT_EQ(errors, (std::vector<std::intptr_t>{31, 2}));

        shell.refused.clear();
        starter.Command = "cmd.exe";
        starter.Wait = true;
        starter.Start();
        EXPECT_EQ(shell.waited.size(), 1u);
        EXPECT_FALSE(starter.Failed());
        EXPECT_EQ(starter.ErrorCode(), 0);
    }
    EXPECT_EQ(shell.closed.size(), 2u); // the last handle goes with the component
}

class ManualRunTest : public ::testing::Test {
protected:
    MemFiles files;
    World w{files, "C:\\App\\"};
    std::vector<std::string> questions;

    void SetUp() override {
        w.Add({.omschrijving = "Backup",
               .starttijd = "08:00",
               .laatstekeer = 45000,
               .programma = "backup.bat",
               .parameters = "-full",
               .werkdirectory = "C:\\Tools"});
        w.Add({.omschrijving = "Andere", .programma = "other.exe"});
        w.taskFile.SaveTasks(); // sorted: Andere, Backup
        files.files.erase(w.log.Path());
        w.Find("Backup");
        Answer(IdYes);
    }
    void Answer(int button) {
        w.manual.OnAsk = [this, button](const std::string& title, const std::string& message) {
            EXPECT_EQ(title, "KIVO Klok");
            questions.push_back(message);
            return button;
        };
    }
};

TEST_F(ManualRunTest, YesStartsTheInterpreterInTheTaskDirectory) {
    w.manual.Taakuitvoeren1Click();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Wilt u de taak 'Backup' nu uitvoeren?");
    ASSERT_EQ(w.shell.calls.size(), 1u);
    const auto& call = w.shell.calls[0];
    EXPECT_EQ(call.file, "C:\\WINDOWS\\system32\\cmd.exe");
    EXPECT_EQ(call.parameters, "/c \"C:\\Tools\\backup.bat\" -full");
    EXPECT_EQ(call.directory, "");
    EXPECT_EQ(call.currentDir, "C:\\Tools");
    EXPECT_EQ(call.show, 5);
    EXPECT_EQ(call.verb, "open");
    EXPECT_EQ(w.shell.cwd, "C:\\Start"); // set back
    const std::string log = w.Log();
    EXPECT_EQ(Count(log, "\r\n"), 1);
    EXPECT_EQ(Count(log, "Taak \"Backup\" (handmatig)" + std::string(19, ' ') +
                             "C:\\Tools\\backup.bat\r\n"),
              1);
    // The task is not changed and the file not written.
    EXPECT_EQ(w.Get("Backup", Field::Laatstekeer), FormatDate(45000, w.settings));
    EXPECT_EQ(w.Get("Backup", Field::Starttijd), "08:00");
    EXPECT_EQ(log.find("Instelling opslaan"), std::string::npos);
}

TEST_F(ManualRunTest, EmptyDirectoryAndParameters) {
    w.Find("Andere");
    w.manual.Taakuitvoeren1Click();
    ASSERT_EQ(w.shell.calls.size(), 1u);
    EXPECT_EQ(w.shell.calls[0].parameters, "/c \"other.exe\" ");
    EXPECT_EQ(w.shell.calls[0].currentDir, "C:\\Start"); // "" could not be made current
    w.shell.missingDirs.insert("C:\\Other");
    w.table.EditCurrent();
    w.table.SetString(Field::Werkdirectory, "C:\\Other");
    w.table.PostTask();
    w.manual.Taakuitvoeren1Click();
    EXPECT_EQ(w.shell.calls[1].parameters, "/c \"C:\\Other\\other.exe\" ");
    EXPECT_EQ(w.shell.calls[1].currentDir, "C:\\Start");
    EXPECT_EQ(w.shell.cwd, "C:\\Start");
}

TEST_F(ManualRunTest, NoOrAnEmptyListDoesNothing) {
    Answer(7);
    w.manual.Taakuitvoeren1Click();
    EXPECT_TRUE(w.shell.calls.empty());
    EXPECT_EQ(w.Log(), "");
    EXPECT_TRUE(w.shell.dirChanges.empty());

    w.manual.OnAsk = nullptr; // no one to ask: no run
    w.manual.Taakuitvoeren1Click();
    EXPECT_TRUE(w.shell.calls.empty());

    MemFiles other;
    World empty(other, "C:\\Leeg\\");
    bool asked = false;
    empty.manual.OnAsk = [&](const std::string&, const std::string&) {
        asked = true;
        return IdYes;
    };
    empty.manual.Taakuitvoeren1Click();
    EXPECT_FALSE(asked);
    EXPECT_TRUE(empty.shell.calls.empty());
}

TEST_F(ManualRunTest, ComspecBufferOf512Bytes) {
    w.shell.env.erase("Comspec");
    w.manual.Taakuitvoeren1Click();
    EXPECT_TRUE(w.shell.calls.empty()); // nothing to start
    std::string log = w.Log();
    EXPECT_EQ(Count(log, "(handmatig)"), 1);
    EXPECT_EQ(Count(log, "] Taak \"Backup\" niet gestart: The system cannot find the file "
                         "specified\r\n"),
              1);
    EXPECT_EQ(w.shell.cwd, "C:\\Start");

    w.shell.env["Comspec"] = std::string(512, 'c'); // does not fit
    w.manual.Taakuitvoeren1Click();
    EXPECT_TRUE(w.shell.calls.empty());
    w.shell.env["Comspec"] = std::string(511, 'c');
    w.manual.Taakuitvoeren1Click();
    ASSERT_EQ(w.shell.calls.size(), 1u);
    EXPECT_EQ(w.shell.calls[0].file.size(), 511u);
}

TEST_F(ManualRunTest, ATickDuringTheQuestionDoesNotChangeTheTask) {
    w.manual.OnAsk = [this](const std::string&, const std::string&) {
        w.At(3, 0);
        w.scheduler.Timer1Timer(); // leaves the first task, Andere, current
        EXPECT_EQ(w.table.AsString(Field::Omschrijving), "Andere");
        return IdYes;
    };
    w.manual.Taakuitvoeren1Click();
    ASSERT_EQ(w.shell.calls.size(), 1u);
    EXPECT_EQ(w.shell.calls[0].parameters, "/c \"C:\\Tools\\backup.bat\" -full");
    EXPECT_NE(w.Log().find("Taak \"Backup\" (handmatig)"), std::string::npos);
    EXPECT_EQ(w.Log().find("Andere"), std::string::npos);
}

TEST_F(ManualRunTest, ATaskRemovedDuringTheQuestionRunsNothing) {
    w.table.EditCurrent();
    w.table.SetString(Field::Omschrijving, "KIVO TAAK backup");
    w.table.PostTask();
    w.manual.OnAsk = [this](const std::string&, const std::string&) {
        files.files["C:\\App\\kivoklok.tkn"] = ""; // lists no task
        w.scheduler.Timer1Timer();                 // its import removes the managed task
        return IdYes;
    };
    w.manual.Taakuitvoeren1Click();
    EXPECT_FALSE(w.Find("KIVO TAAK backup"));
    EXPECT_TRUE(w.shell.calls.empty());
    EXPECT_EQ(w.Log().find("handmatig"), std::string::npos);
    EXPECT_TRUE(w.shell.dirChanges.empty());
}

TEST_F(ManualRunTest, DirectoryIsSetBackCutAndAfterFailures) {
    const std::string deep = "C:\\" + std::string(300, 'p');
    w.shell.cwd = deep;
    w.manual.Taakuitvoeren1Click();
    EXPECT_EQ(w.shell.dirChanges.back(), deep.substr(0, 255));

    // A log that refuses the line holds the line back, not the run.
    w.shell.cwd = "C:\\Start";
    files.unwritable.insert(w.log.Path());
    w.shell.throwFor.insert(w.shell.calls.back().file);
    EXPECT_THROW(w.manual.Taakuitvoeren1Click(), std::exception);
    EXPECT_EQ(w.shell.dirChanges.back(), "C:\\Start");
    EXPECT_EQ(w.outbox.Waiting(), 1u) << "the (handmatig) line";
}

} // namespace
} // namespace kivo::test
