#include "store/taskfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logbook/outbox.h"
#include "platform/collation.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "store/format_fixture.h"
#include "store/memtable.h"
#include "support/fake_clock.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/temp_dir.h"
#include "support/test_collator.h"

namespace kivo {
namespace {

using namespace std::string_literals;

using test::Header;
using test::ReadError;
using test::TaskFormatTest;
using test::WorkedExample;

// The task file with its log notes, on files kept in memory.
class TaskFileTest : public TaskFormatTest {
protected:
    const std::string dir = "C:\\app\\";
    const std::string path = dir + "kivoklok.csv";
    test::MemFiles files;
    LogBook log{files, clock, settings, dir};
    LogOutbox outbox{log, files, clock, settings, dir};
    TaskFile taskFile{table, format, files, outbox, dir};
    std::vector<std::string> reports;

    void SetUp() override {
        taskFile.OnReport = [this](const std::string& m) { reports.push_back(m); };
    }
    std::string Log() { return files.files[dir + "kivoklok.log"]; }
    std::vector<std::string> LogNotes() {
        std::vector<std::string> notes;
        for (const auto& line : SplitLogLines(Log())) {
            auto end = line.find("] ", line.find("] ") + 2);
            notes.push_back(line.substr(end + 2));
        }
        return notes;
    }
};

TEST_F(TaskFileTest, LoadSortsAndSaveRewrites) {
    taskFile.LoadTasks(); // no file: an empty table, no message
    EXPECT_EQ(table.TaskCount(), 0);
    files.files[path] = "";
    taskFile.LoadTasks();
    EXPECT_EQ(table.TaskCount(), 0);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(LogNotes(), (std::vector<std::string>{"Lees taken", "Lees taken"}));

    files.files[path] = "Omschrijving\r\nb\r\na\r\n\r\n";
    taskFile.LoadTasks();
    EXPECT_TRUE(table.IsSorted());
    EXPECT_EQ(Task(0).Omschrijving, "a");

    table.AppendTask();
    table.SetString(Field::Omschrijving, "0 eerst");
    table.PostTask();
    taskFile.SaveTasks();
    EXPECT_EQ(LogNotes().back(), "Instelling opslaan");
    EXPECT_EQ(files.files[path].substr(Header.size(), 10), "\"0 eerst\";");
    EXPECT_TRUE(reports.empty());

    table.CloseTable();
    table.OpenTable();
    taskFile.SaveTasks();
    EXPECT_EQ(files.files[path], Header);
}

TEST_F(TaskFileTest, FailuresAreLoggedThenReported) {
    files.files[path] = WorkedExample;
    files.unreadable.insert(path);
    taskFile.LoadTasks();
    const std::string openError = "Cannot open file \"" + path + "\". Access is denied.";
    EXPECT_EQ(reports, std::vector<std::string>{openError});
    EXPECT_EQ(LogNotes().back(), "leesCSVbestand: " + openError);
    EXPECT_FALSE(table.IsOpen()) << "nothing read: no save may replace the file";
    files.unreadable.clear();

    // A bad line: the tasks before it stay, unsorted.
    files.files[path] = "Omschrijving;Starttijd\r\nb;1:00\r\na;2:00\r\nc;x\r\nd;3:00\r\n";
    reports.clear();
    taskFile.LoadTasks();
    EXPECT_EQ(reports, std::vector<std::string>{"'x' is not a valid time"});
    EXPECT_EQ(LogNotes().back(), "leesCSVbestand: 'x' is not a valid time");
    ASSERT_EQ(table.TaskCount(), 2);
    EXPECT_EQ(Task(0).Omschrijving, "b");
    EXPECT_FALSE(table.IsSorted());

    // A refused save leaves the file as it was.
    files.unwritable.insert(path);
    reports.clear();
    const std::string before = files.files[path];
    files.files[dir + "kivoklok-onvolledig.csv"] = "older copy";
    taskFile.SaveTasks();
    const std::string createError = "Cannot create file \"" + path + "\". Access is denied.";
    EXPECT_EQ(reports, std::vector<std::string>{createError});
    auto notes = LogNotes();
    EXPECT_EQ(notes[notes.size() - 2].rfind("Taakbestand niet volledig gelezen", 0), 0u);
    EXPECT_EQ(notes.back(), "SaveChanges: " + createError);
    EXPECT_EQ(files.files[path], before);

    // Sorting that fails is reported the same way.
    files.unwritable.clear();
    collator.fail = true;
    reports.clear();
    taskFile.SaveTasks();
    EXPECT_EQ(reports, std::vector<std::string>{"Invalid locale."});
    EXPECT_EQ(LogNotes().back(), "SaveChanges: Invalid locale.");
}

TEST_F(TaskFileTest, AnIncompleteLoadKeepsTheFileBeforeTheFirstSave) {
    const std::string broken = "Omschrijving;Laatstekeer\r\na;1-1-24\r\nb;kapot\r\nc;2-2-24\r\n";
    files.files[path] = broken;
    files.files[dir + "kivoklok-onvolledig.csv"] = "an older copy";
    taskFile.LoadTasks();
    ASSERT_EQ(table.TaskCount(), 1);

    // Without a copy the file is not overwritten.
    files.failCopies = true;
    taskFile.SaveTasks();
    EXPECT_EQ(files.files[path], broken);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[1].find("kivoklok-onvolledig-2.csv"), std::string::npos);

    files.failCopies = false;
    taskFile.SaveTasks();
    const std::string copy = dir + "kivoklok-onvolledig-2.csv";
    EXPECT_EQ(files.files[copy], broken);
    EXPECT_EQ(files.files[dir + "kivoklok-onvolledig.csv"], "an older copy");
    EXPECT_EQ(taskFile.IncompleteCopyPath(), copy);
    EXPECT_NE(std::find(LogNotes().begin(), LogNotes().end(),
                        "Taakbestand niet volledig gelezen; kopie bewaard als " + copy),
              LogNotes().end());
    EXPECT_EQ(files.files[path].find("\"c\""), std::string::npos);

    // Once: the next save makes no further copy.
    files.files[path] = "changed by hand";
    taskFile.SaveTasks();
    EXPECT_FALSE(files.Exists(dir + "kivoklok-onvolledig-3.csv"));
    EXPECT_EQ(files.files[copy], broken);

    // A file that could not be opened at all is not replaced, so it needs no copy.
    files.files[path] = broken;
    files.unreadable.insert(path);
    taskFile.LoadTasks();
    files.unreadable.clear();
    EXPECT_FALSE(taskFile.SaveTasks());
    EXPECT_EQ(files.files[path], broken);
    EXPECT_FALSE(files.Exists(dir + "kivoklok-onvolledig-3.csv"));

    // A whole load needs no copy at all.
    files.files[path] = WorkedExample;
    files.files.erase(dir + "kivoklok-onvolledig.csv");
    files.files.erase(copy);
    taskFile.LoadTasks();
    taskFile.SaveTasks();
    EXPECT_FALSE(files.Exists(dir + "kivoklok-onvolledig.csv"));
}

TEST_F(TaskFileTest, AFileWithoutHeaderIsKeptBeforeTheFirstSave) {
    const std::string noHeader = WorkedExample.substr(Header.size());
    files.files[path] = noHeader;
    taskFile.LoadTasks();
    EXPECT_EQ(LogNotes().back(),
              "leesCSVbestand: De kopregel van het taakbestand noemt geen enkel veld");
    taskFile.SaveTasks();
    EXPECT_EQ(files.files[dir + "kivoklok-onvolledig.csv"], noHeader);
    EXPECT_NE(std::find(LogNotes().begin(), LogNotes().end(),
                        "Taakbestand niet volledig gelezen; kopie bewaard als " + dir +
                            "kivoklok-onvolledig.csv"),
              LogNotes().end());
}

TEST_F(TaskFileTest, AFileChangedOnDiskIsKeptBeforeASaveOverwritesIt) {
    const std::string copy = dir + "kivoklok-gewijzigd.csv";
    files.files[path] = WorkedExample;
    taskFile.LoadTasks();
    taskFile.SaveTasks(); // unchanged since the load: no copy
    EXPECT_FALSE(files.Exists(copy));

    const std::string handEdit = WorkedExample + "\"met de hand\";;;;;;;;;\r\n";
    files.files[path] = handEdit;
    taskFile.SaveTasks();
    EXPECT_EQ(files.files[copy], handEdit);
    EXPECT_EQ(LogNotes()[LogNotes().size() - 1],
              "Taakbestand buiten het programma gewijzigd; kopie bewaard als " + copy);
    EXPECT_EQ(files.files[path], WorkedExample);
    taskFile.SaveTasks(); // its own save is no change
    EXPECT_FALSE(files.Exists(dir + "kivoklok-gewijzigd-2.csv"));

    // A file made by hand where there was none, and a copy that cannot be made: not overwritten.
    files.files.erase(path);
    taskFile.LoadTasks();
    files.files[path] = handEdit;
    files.failCopies = true;
    EXPECT_FALSE(taskFile.SaveTasks());
    EXPECT_EQ(files.files[path], handEdit);
    EXPECT_NE(reports.back().find("kivoklok-gewijzigd-2.csv"), std::string::npos);
}

// A log that refuses its notes keeps no task out and no save back; the notes wait for it.
TEST_F(TaskFileTest, LogFailuresKeepTheNotesWaiting) {
    files.files[path] = WorkedExample;
    files.unwritable.insert(dir + "kivoklok.log");
    taskFile.LoadTasks();
    EXPECT_EQ(table.TaskCount(), 2);
    EXPECT_TRUE(taskFile.SaveTasks());
    EXPECT_TRUE(reports.empty());
    files.unwritable.clear();
    EXPECT_TRUE(outbox.Flush());
    EXPECT_EQ(LogNotes(), (std::vector<std::string>{"Lees taken", "Instelling opslaan"}));
}

// A locked file or a refused save is tried again, quietly, until it works: nothing the table
// holds is lost and no box or note repeats every minute.
TEST_F(TaskFileTest, LockedLoadAndRefusedSaveAreTriedAgainQuietly) {
    files.files[path] = WorkedExample;
    files.unreadable.insert(path);
    taskFile.LoadTasks();
    ASSERT_EQ(reports.size(), 1u);
    std::size_t notes = LogNotes().size();
    EXPECT_FALSE(taskFile.RetryLoad());
    EXPECT_FALSE(taskFile.SaveTasks());
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(LogNotes().size(), notes);
    files.unreadable.clear();
    EXPECT_TRUE(taskFile.RetryLoad());
    EXPECT_EQ(LogNotes().back(), "Lees taken");
    EXPECT_EQ(table.TaskCount(), 2);

    files.unwritable.insert(path);
    EXPECT_FALSE(taskFile.SaveTasks());
    EXPECT_TRUE(taskFile.SaveOutstanding());
    reports.clear();
    notes = LogNotes().size();
    EXPECT_FALSE(taskFile.RetrySave());
    EXPECT_FALSE(taskFile.RetrySave());
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(LogNotes().size(), notes);
    files.unwritable.clear();
    EXPECT_TRUE(taskFile.RetrySave());
    EXPECT_FALSE(taskFile.SaveOutstanding());
    EXPECT_EQ(LogNotes().back(), "Instelling opslaan");
    EXPECT_EQ(LogNotes().size(), notes + 1);
    EXPECT_EQ(files.files[path], WorkedExample);
    EXPECT_TRUE(taskFile.RetrySave()) << "nothing outstanding";
    EXPECT_EQ(LogNotes().size(), notes + 1);
}

// The same on the real file system, with the system's own reasons.
class RealTaskFileTest : public ::testing::Test {
protected:
    FormatSettings settings;
    test::FakeClock clock{2024, 6, 15};
    TMemTable table{"memKivoKlok", settings, UserCollator(), clock};
    TCSVStreamFormat format{settings};
    test::TempDir temp;
    LogBook log{SystemFileSystem(), clock, settings, temp.Dir()};
    LogOutbox outbox{log, SystemFileSystem(), clock, settings, temp.Dir()};
    std::vector<std::string> reports;

    std::unique_ptr<TaskFile> Open(const std::string& dir) {
        auto file = std::make_unique<TaskFile>(table, format, SystemFileSystem(), outbox, dir);
        file->OnReport = [this](const std::string& m) { reports.push_back(m); };
        return file;
    }
};

TEST_F(RealTaskFileTest, RoundTripAndMissingFolder) {
    temp.Write("kivoklok.csv", WorkedExample);
    auto file = Open(temp.Dir());
    file->LoadTasks();
    file->SaveTasks();
    EXPECT_EQ(temp.Read("kivoklok.csv"), WorkedExample);
    EXPECT_TRUE(reports.empty());

    auto missing = Open(temp.Dir() + "ontbreekt" + temp.Dir().back());
    missing->SaveTasks();
    ASSERT_EQ(reports.size(), 1u);
    const std::string prefix = "Cannot create file \"" + missing->Path() + "\". ";
    EXPECT_EQ(reports[0].rfind(prefix, 0), 0u) << reports[0];
    EXPECT_GT(reports[0].size(), prefix.size()); // the system's reason follows
}

TEST_F(RealTaskFileTest, ReadOnlyFileIsLeftAlone) {
    temp.Write("kivoklok.csv", WorkedExample);
    auto file = Open(temp.Dir());
    file->LoadTasks();
    // Only where the system enforces it (not for root).
    std::filesystem::permissions(file->Path(), std::filesystem::perms::owner_read |
                                                   std::filesystem::perms::group_read);
    if (std::ofstream(file->Path(), std::ios::app)) GTEST_SKIP() << "read-only is not enforced";
    reports.clear();
    table.AppendTask();
    table.PostTask();
    file->SaveTasks();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("Cannot create file \"" + file->Path() + "\". ", 0), 0u);
    EXPECT_EQ(temp.Read("kivoklok.csv"), WorkedExample);
}

TEST_F(RealTaskFileTest, SortFollowsTheUsersCollation) {
    std::string content = "Omschrijving\r\nitem9\r\ncop\r\nB\r\n\r\na\r\n;\r\nco-op\r\nitem10\r\n";
    temp.Write("kivoklok.csv", content);
    Open(temp.Dir())->LoadTasks();
    ASSERT_EQ(table.TaskCount(), 7);
    EXPECT_FALSE(table.TaskAt(0).Omschrijving.has_value());
    for (int i = 2; i < table.TaskCount(); ++i)
        EXPECT_LE(UserCollator().Compare(*table.TaskAt(i - 1).Omschrijving,
                                         *table.TaskAt(i).Omschrijving, false),
                  0);
#ifdef _WIN32
    std::vector<std::string> order;
    for (int i = 1; i < table.TaskCount(); ++i) order.push_back(*table.TaskAt(i).Omschrijving);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "B", "co-op", "cop", "item10", "item9"}));
#endif
}

} // namespace
} // namespace kivo
