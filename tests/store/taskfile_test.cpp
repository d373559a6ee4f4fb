#include "store/taskfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logbook/logbook.h"
#include "platform/collation.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "store/memtable.h"
#include "support/fake_clock.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/temp_dir.h"
#include "support/test_collator.h"

namespace kivo {
namespace {

using namespace std::string_literals;

const std::string Header = "\"Omschrijving\";\"Werkdirectory\";\"Programma\";\"Parameters\";"
                           "\"Starttijd\";\"Frekwentie\";\"Dagen\";\"Uren\";\"Laatstekeer\";\r\n";

const std::string WorkedExample =
    Header +
    "\"Back-up documenten\";\"C:\\Data\";\"C:\\Tools\\backup.exe\";\"/alles\";\"12:00\";\"1\";"
    "\"True\";\"False\";\"07-03-24\";\r\n"
    "\"Opschonen \"\"temp\"\" 50%%\";\"C:\\Temp\";\"C:\\Tools\\opschonen.bat\";;\"08:30\";\"4\";"
    "\"False\";\"True\";;\r\n";

std::string ReadError(const std::function<void()>& f) {
    try {
        f();
    } catch (const KivoError& e) {
        return e.what();
    }
    return "<no error>";
}

class TaskFormatTest : public ::testing::Test {
protected:
    FormatSettings settings;
    test::TestCollator collator;
    test::FakeClock clock{2024, 6, 15};
    TMemTable table{"memKivoKlok", settings, collator, clock};
    TCSVStreamFormat format{settings};

    void Load(const std::string& content) {
        table.CloseTable();
        table.ClearTable();
        table.OpenTable();
        test::ReadInto(format, content, table);
    }
    const TaskRecord& Task(int i) const { return table.TaskAt(i); }
};

TEST_F(TaskFormatTest, WorkedExampleReadsAndWritesBackByteForByte) {
    Load(WorkedExample);
    ASSERT_EQ(table.TaskCount(), 2);
    const TaskRecord& first = Task(0);
    EXPECT_EQ(first.Omschrijving, "Back-up documenten");
    EXPECT_EQ(first.Werkdirectory, "C:\\Data");
    EXPECT_EQ(first.Parameters, "/alles");
    EXPECT_EQ(first.Starttijd, 12 * 3'600'000);
    EXPECT_EQ(first.Frekwentie, 1);
    EXPECT_EQ(first.Dagen, true);
    EXPECT_EQ(first.Uren, false);
    EXPECT_EQ(first.Laatstekeer, DayNumber({2024, 3, 7}));
    const TaskRecord& second = Task(1);
    EXPECT_EQ(second.Omschrijving, "Opschonen \"temp\" 50%");
    EXPECT_FALSE(second.Parameters.has_value());
    EXPECT_FALSE(second.Laatstekeer.has_value());
    EXPECT_EQ(second.Starttijd, (8 * 60 + 30) * 60'000);
    EXPECT_EQ(WriteTable(format, table), WorkedExample);
}

TEST_F(TaskFormatTest, AwkwardTextsAndNullsSurviveARoundTrip) {
    const std::vector<std::string> texts = {"a;b",    "\"", "100%", "regel\r\nregel",
                                            "%c%n%0", "  ", ""};
    for (const auto& text : texts) {
        table.AppendTask();
        table.SetString(Field::Omschrijving, text);
        table.SetString(Field::Werkdirectory, text);
        table.PostTask();
    }
    table.AppendTask();
    table.Clear(Field::Starttijd);
    table.Clear(Field::Frekwentie);
    table.Clear(Field::Dagen);
    table.SetInteger(Field::Frekwentie, -7);
    table.PostTask();
    const std::string written = WriteTable(format, table);
    EXPECT_NE(written.find("\"regel%c%nregel\""), std::string::npos);

    Load(written);
    ASSERT_EQ(table.TaskCount(), static_cast<int>(texts.size()) + 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(Task(static_cast<int>(i)).Omschrijving, texts[i]);
        EXPECT_EQ(Task(static_cast<int>(i)).Werkdirectory, texts[i]);
        EXPECT_FALSE(Task(static_cast<int>(i)).Parameters.has_value());
    }
    const TaskRecord& last = Task(static_cast<int>(texts.size()));
    EXPECT_FALSE(last.Omschrijving.has_value());
    EXPECT_FALSE(last.Starttijd.has_value());
    EXPECT_FALSE(last.Dagen.has_value());
    EXPECT_EQ(last.Frekwentie, -7);
    EXPECT_EQ(WriteTable(format, table), written);

    table.CloseTable();
    table.OpenTable();
    EXPECT_EQ(WriteTable(format, table), Header);
    Load(Header);
    EXPECT_EQ(table.TaskCount(), 0);
}

TEST_F(TaskFormatTest, HandEditedFilesLoad) {
    // Columns in another order, lower-case names, a column that names no field, unquoted values,
    // more values than columns, fewer values than columns.
    Load("laatstekeer;DAGEN;extra;\"omschrijving\";starttijd\r\n"
         "7-3-2024;true;x;Taak een;9:05;overbodig;\r\n"
         "\"07-03-24\";\"True\";;\"Taak \"\"twee\"\"\"\r\n");
    ASSERT_EQ(table.TaskCount(), 2);
    EXPECT_EQ(Task(0).Omschrijving, "Taak een");
    EXPECT_EQ(Task(0).Laatstekeer, DayNumber({2024, 3, 7}));
    EXPECT_EQ(Task(0).Dagen, false); // only "True" with its capital is true
    EXPECT_EQ(Task(0).Starttijd, (9 * 60 + 5) * 60'000);
    EXPECT_EQ(Task(0).Frekwentie, 1); // no column: the new-task value
    EXPECT_EQ(Task(1).Omschrijving, "Taak \"twee\"");
    EXPECT_EQ(Task(1).Laatstekeer, DayNumber({2024, 3, 7}));
    EXPECT_EQ(Task(1).Dagen, true);
    EXPECT_EQ(Task(1).Starttijd, 12 * 3'600'000); // the line ran out first

    // Leading and inner empty lines vanish; a line of blanks is a task; unquoted empty is null,
    // quoted empty is the empty text, false, or null for the other kinds.
    Load("\r\n\r\nOmschrijving;Parameters;Dagen;Starttijd;Frekwentie;Laatstekeer\r\n"
         "a;;\"\";\"\";\"\";\"\"\r\n"
         "\r\n\n\n"
         "   \r\n"
         "b;\"\"\n");
    ASSERT_EQ(table.TaskCount(), 3);
    EXPECT_FALSE(Task(0).Parameters.has_value());
    EXPECT_EQ(Task(0).Dagen, false);
    EXPECT_FALSE(Task(0).Starttijd.has_value());
    EXPECT_FALSE(Task(0).Frekwentie.has_value());
    EXPECT_FALSE(Task(0).Laatstekeer.has_value());
    EXPECT_EQ(Task(1).Omschrijving, "   ");
    EXPECT_EQ(Task(2).Parameters, "");
}

TEST_F(TaskFormatTest, AByteOrderMarkIsSkippedAndAMissingHeaderStopsTheLoad) {
    Load("\xEF\xBB\xBF" + WorkedExample);
    ASSERT_EQ(table.TaskCount(), 2);
    EXPECT_EQ(Task(0).Omschrijving, "Back-up documenten");
    EXPECT_EQ(WriteTable(format, table), WorkedExample);

    // Tasks without their header line: the first is no header, and none is read into nothing.
    const std::string noHeader = WorkedExample.substr(Header.size());
    EXPECT_EQ(ReadError([&] { Load(noHeader); }),
              "De kopregel van het taakbestand noemt geen enkel veld");
    EXPECT_EQ(table.TaskCount(), 0);
}

TEST_F(TaskFormatTest, ABadValueStopsTheLoadAtItsLine) {
    const std::string good = "\"een\";;;;\"12:00\";\"1\";\"True\";\"False\";\"07-03-24\";\r\n";
    EXPECT_EQ(ReadError([&] {
                  Load(Header + good +
                       "\"twee\";;;;\"12:00\";\"1\";\"True\";\"False\";\"07/03/2024\";\r\n" + good);
              }),
              "'07/03/2024' is not a valid date");
    EXPECT_EQ(table.TaskCount(), 1); // the failing line's task is dropped, the rest not read
    EXPECT_FALSE(table.IsPending());

    EXPECT_EQ(ReadError([&] { Load("Omschrijving;Frekwentie\r\nx;40000\r\n"); }),
              "40000 is not a valid value for field 'Frekwentie'. The allowed range is -32768 to "
              "32767");
    EXPECT_EQ(ReadError([&] { Load("Frekwentie\r\n1.5\r\n"); }),
              "'1.5' is not a valid integer value for field 'Frekwentie'");
    EXPECT_EQ(ReadError([&] { Load("Starttijd\r\n\"12-00\"\r\n"); }),
              "'12-00' is not a valid time");
    EXPECT_EQ(table.TaskCount(), 0);
}

TEST_F(TaskFormatTest, OddInputReadsSanely) {
    // Unknown escapes and a "%" at the end stay as written; a quote that never closes runs to
    // the end of its line; version lines and a table definition before the header are skipped;
    // NUL ends a line like CR and LF.
    Load("@@FILE VERSION@@;2\r\n@@TABLEDEF START@@\r\nOmschrijving\r\n"
         "@@TABLEDEF END@@\r\nOmschrijving;Programma\r\n"
         "\"50% korting %x %C\";\"eind%\"\r\n"
         "\"open;nog \"\"open\r\n"
         "\"dicht\"xprog\0\0\"na nul\"\r\n"s);
    ASSERT_EQ(table.TaskCount(), 4);
    EXPECT_EQ(Task(0).Omschrijving, "50% korting %x %C");
    EXPECT_EQ(Task(0).Programma, "eind%");
    EXPECT_EQ(Task(1).Omschrijving, "open;nog \"open");
    EXPECT_EQ(Task(2).Omschrijving, "dicht"); // the character after the closing quote is skipped
    EXPECT_EQ(Task(2).Programma, "prog");
    EXPECT_EQ(Task(3).Omschrijving, "na nul");

    // Junk never hangs or crashes: at worst a value fails to convert, or the header names no
    // field.
    EXPECT_THROW(Load(std::string(1 << 20, '"')), KivoError);
    EXPECT_EQ(table.TaskCount(), 0);
    Load("Omschrijving\r\n" + std::string(1 << 20, 'x') + "\r\n\"\r\n;;;;;;;;;;;;;;\r\n");
    ASSERT_EQ(table.TaskCount(), 3);
    EXPECT_EQ(Task(0).Omschrijving->size(), 50u);
    EXPECT_EQ(Task(1).Omschrijving, "");
    EXPECT_FALSE(Task(2).Omschrijving.has_value());
    Load("@@TABLEDEF START@@\r\nOmschrijving\r\nx\r\n");
    EXPECT_EQ(table.TaskCount(), 0);
    Load("");
    EXPECT_EQ(table.TaskCount(), 0);
}

TEST_F(TaskFormatTest, TimesAreWrittenWithAColonWhateverTheUsersSeparator) {
    settings.timeSeparator = '.';
    TCSVStreamFormat dotted{settings};
    table.AppendTask();
    table.SetString(Field::Starttijd, "08.30");
    table.PostTask();
    const std::string written = WriteTable(dotted, table);
    EXPECT_NE(written.find("\"08:30\""), std::string::npos);

    table.CloseTable();
    table.OpenTable();
    test::ReadInto(dotted, "Omschrijving;Starttijd\r\na;08:30\r\nb;09.45\r\n", table);
    ASSERT_EQ(table.TaskCount(), 2);
    EXPECT_EQ(Task(0).Starttijd, (8 * 60 + 30) * 60'000);
    EXPECT_EQ(Task(1).Starttijd, (9 * 60 + 45) * 60'000);
}

// The task file with its log notes, on files kept in memory.
class TaskFileTest : public TaskFormatTest {
protected:
    const std::string dir = "C:\\app\\";
    const std::string path = dir + "kivoklok.csv";
    test::MemFiles files;
    LogBook log{files, clock, settings, dir};
    TaskFile taskFile{table, format, files, log, dir};
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

TEST_F(TaskFileTest, LogFailuresEscape) {
    files.files[path] = WorkedExample;
    files.unwritable.insert(dir + "kivoklok.log");
    EXPECT_THROW(taskFile.LoadTasks(), KivoError);
    EXPECT_EQ(table.TaskCount(), 2) << "a log that cannot be written keeps no task out";
    EXPECT_THROW(taskFile.SaveTasks(), KivoError);
    EXPECT_TRUE(reports.empty());
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
    std::vector<std::string> reports;

    std::unique_ptr<TaskFile> Open(const std::string& dir) {
        auto file = std::make_unique<TaskFile>(table, format, SystemFileSystem(), log, dir);
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
