#include <gtest/gtest.h>

#include <string>

#include "algemeen/text.h"
#include "platform/files.h"
#include "store/import.h"
#include "store/store_world.h"
#include "support/log_text.h"
#include "support/mem_files.h"
#include "support/temp_dir.h"

namespace kivo::test {
namespace {

using namespace std::string_literals;

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

TEST(ImportReader, LineBreaksLimitsAndTheEnd) {
    ImportLineReader reader(std::string("one\r\ntw\ro\nthree\r\r\nfour\x1a"
                                        "after\r\n",
                                        31));
    EXPECT_EQ(reader.ReadLine(), "one");
    EXPECT_EQ(reader.ReadLine(), "two"); // the lone CR is dropped
    EXPECT_EQ(reader.ReadLine(), "three");
    EXPECT_FALSE(reader.Eof());
    EXPECT_EQ(reader.ReadLine(), "four"); // Ctrl-Z ends the file
    EXPECT_TRUE(reader.Eof());
    EXPECT_EQ(reader.ReadLine(), ""); // past the end: empty lines
    EXPECT_EQ(reader.ReadLine(), "");

    std::string longLine(300, 'x');
    longLine[254] = 'y';
    longLine[255] = 'z';
    ImportLineReader cut(longLine + "\nnext\n");
    const std::string first = cut.ReadLine();
    EXPECT_EQ(first.size(), 255u);
    EXPECT_EQ(first.back(), 'y');
    EXPECT_EQ(cut.ReadLine(), "next");

    ImportLineReader nul(std::string("ab\0cd\nef", 8));
    EXPECT_EQ(nul.ReadLine(), "ab"); // a NUL ends the text, not the line
    EXPECT_EQ(nul.ReadLine(), "ef");
    EXPECT_TRUE(nul.Eof());
}

// A file handed over one byte at a time reads as the same lines as the whole content: a CR LF,
// a NUL or a long line split between two pieces changes nothing.
TEST(ImportReader, PiecesReadAsTheWhole) {
    struct OneByteAtATime : FileReader {
        std::string_view rest;
        std::size_t Read(char* buffer, std::size_t size) override {
            if (rest.empty() || size == 0) return 0;
            buffer[0] = rest[0];
            rest.remove_prefix(1);
            return 1;
        }
    };
    const std::string contents[] = {
        "one\r\ntw\ro\nthree\r\r\nfour\x1a"
        "after\r\n",
        std::string(300, 'x') + "\r\n" + std::string("a\0b\r\nc", 7) + "\r",
        " \r\n\t\n",
    };
    for (const std::string& content : contents) {
        ImportLineReader whole(content);
        OneByteAtATime file;
        file.rest = content;
        ImportLineReader pieces(file);
        while (!whole.Eof()) {
            ASSERT_FALSE(pieces.Eof());
            EXPECT_EQ(pieces.ReadLine(), whole.ReadLine());
        }
        EXPECT_TRUE(pieces.Eof());
        EXPECT_EQ(pieces.SawText(), whole.SawText());
    }
}

TEST(ImportReader, RecordsAndTheirValues) {
    FormatSettings settings;
    auto records = ReadImportRecords(Lines({"junk",
                                            "Back-up KIVO TAAK",
                                            "6:30",
                                            " 12 ",
                                            "backup.bat",
                                            "C:\\Tools",
                                            "kivo taak twee",
                                            "x:y",
                                            "-1",
                                            "p",
                                            "d",
                                            "KIVO TAAK drie",
                                            "",
                                            "+5",
                                            "q",
                                            "e",
                                            "KIVO TAAK vier",
                                            "12:00",
                                            "x",
                                            "r",
                                            "f",
                                            "tail"}),
                                     settings);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].omschrijving, "Back-up KIVO TAAK");
    EXPECT_DOUBLE_EQ(records[0].starttijd, 6.5 / 24);
    EXPECT_EQ(records[0].frekwentie, 12);
    EXPECT_EQ(records[0].programma, "backup.bat");
    EXPECT_EQ(records[0].werkdirectory, "C:\\Tools");
    EXPECT_EQ(records[1].starttijd, 0); // not a time
    EXPECT_EQ(records[1].frekwentie, 0);
    EXPECT_EQ(records[2].starttijd, 0); // empty
    EXPECT_EQ(records[2].frekwentie, 0);
    EXPECT_EQ(records[3].frekwentie, 0);
    EXPECT_EQ(SafeStrToInt("99999"), 99999); // left for the table to refuse

    // The last line is never looked at; a record cut short gets empty lines.
    EXPECT_TRUE(ReadImportRecords("KIVO TAAK", settings).empty());
    EXPECT_TRUE(ReadImportRecords(Lines({"KIVO TAAK"}), settings).empty());
    records = ReadImportRecords(Lines({"x", "KIVO TAAK kort", "07:00"}), settings);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].frekwentie, 0);
    EXPECT_EQ(records[0].programma, "");
    EXPECT_TRUE(ReadImportRecords("", settings).empty());
}

class ImportTest : public ::testing::Test {
protected:
    TempDir temp;
    StoreWorld w{SystemFileSystem(), temp.Dir(), temp.File("c-kivoklok.tkn")};
    std::string importPath = temp.File("kivoklok.tkn");

    void WriteImport(const std::string& content) { temp.Write("kivoklok.tkn", content); }
};

TEST_F(ImportTest, NoFileDoesNothing) {
    w.importer.ImportTasks();
    EXPECT_EQ(w.Log(), "");
    EXPECT_FALSE(temp.Exists("kivoklok.csv"));
    EXPECT_EQ(w.clock.slept, 0);
    EXPECT_TRUE(w.opstart.enabled);
}

TEST_F(ImportTest, MergesUpdatesAndRemovesManagedTasksOnly) {
    w.Add({.omschrijving = "Eigen taak", .programma = "mine.exe"});
    w.Add({.omschrijving = "kivo taak backup",
           .starttijd = "01:00",
           .frekwentie = 7,
           .uren = true,
           .laatstekeer = 45000,
           .programma = "old.exe",
           .parameters = "-p",
           .werkdirectory = "C:\\Old",
           .dagen = false});
    w.Add({.omschrijving = "KIVO TAAK weg", .programma = "gone.exe"});
    w.opstart.enabled = false;
    WriteImport(Lines({"KIVO TAAK Backup", "6:30", " 12 ", "backup.bat", "C:\\Tools",
                       "KIVO TAAK nieuw", "nonsense", "4", "new.exe", "C:\\New", "end"}));

    w.importer.ImportTasks();

    EXPECT_EQ(w.clock.slept, 1000);
    EXPECT_FALSE(temp.Exists("kivoklok.tkn"));
    EXPECT_FALSE(w.opstart.enabled); // set back to what it was
    EXPECT_EQ(w.table.TaskCount(), 3);
    // Updated: takes the file's letter case, keeps what the import does not set.
    ASSERT_TRUE(w.Find("KIVO TAAK Backup"));
    EXPECT_EQ(w.table.AsString(Field::Omschrijving), "KIVO TAAK Backup");
    EXPECT_EQ(w.table.AsString(Field::Starttijd), "06:30");
    EXPECT_EQ(w.table.AsInteger(Field::Frekwentie), 12);
    EXPECT_EQ(w.table.AsString(Field::Programma), "backup.bat");
    EXPECT_EQ(w.table.AsString(Field::Werkdirectory), "C:\\Tools");
    EXPECT_EQ(w.table.AsString(Field::Parameters), "-p");
    EXPECT_TRUE(w.table.AsBoolean(Field::Uren));
    EXPECT_FALSE(w.table.AsBoolean(Field::Dagen));
    EXPECT_EQ(w.table.AsInteger(Field::Laatstekeer), 45000);
    // New: the new-task values for what the file does not give.
    ASSERT_TRUE(w.Find("KIVO TAAK nieuw"));
    EXPECT_EQ(w.table.AsString(Field::Starttijd), "00:00");
    EXPECT_TRUE(w.table.IsNull(Field::Parameters));
    EXPECT_TRUE(w.table.IsNull(Field::Laatstekeer));
    EXPECT_TRUE(w.table.AsBoolean(Field::Dagen));
    EXPECT_FALSE(w.table.AsBoolean(Field::Uren));
    EXPECT_TRUE(w.Find("Eigen taak"));
    EXPECT_FALSE(w.Find("KIVO TAAK weg"));

    const std::string log = w.Log();
    EXPECT_EQ(Count(log, "] Importeer taken\r\n"), 1);
    EXPECT_EQ(Count(log, "] Instelling opslaan\r\n"), 1);
    const std::string csv = temp.Read("kivoklok.csv");
    EXPECT_NE(csv.find("\"KIVO TAAK nieuw\""), std::string::npos);
    EXPECT_EQ(csv.find("weg"), std::string::npos);
    EXPECT_TRUE(w.reports.empty());
}

TEST_F(ImportTest, DuplicatesLastLineLongDescriptionsAndEmptyFile) {
    w.Add({.omschrijving = "KIVO TAAK laatste"});
    const std::string fifty = "KIVO TAAK " + std::string(40, 'a');
    w.Add({.omschrijving = fifty});
    WriteImport(Lines({"KIVO TAAK dubbel",
                       "01:00",
                       "1",
                       "a.exe",
                       "A",
                       "kivo taak DUBBEL",
                       "02:00",
                       "2",
                       "b.exe",
                       "B",
                       fifty + "bbb",
                       "03:00",
                       "3",
                       "c.exe",
                       "C",
                       std::string(60, '-') + " KIVO TAAK ver weg",
                       "04:00",
                       "4",
                       "d.exe",
                       "D",
                       "KIVO TAAK laatste"}));
    w.importer.ImportTasks();

    EXPECT_EQ(w.table.TaskCount(), 1);
    ASSERT_TRUE(w.Find("KIVO TAAK DUBBEL"));
    EXPECT_EQ(w.table.AsString(Field::Omschrijving), "kivo taak DUBBEL"); // the later record
    EXPECT_EQ(w.table.AsString(Field::Programma), "b.exe");
    EXPECT_EQ(w.table.AsInteger(Field::Frekwentie), 2);
    // The marker in the last line is not read; the over-long one is stored cut and removed
    // again, and the one whose marker lies beyond the field's 50 characters never becomes a task
    // of the user's.
    EXPECT_FALSE(w.Find("KIVO TAAK laatste"));
    EXPECT_FALSE(w.Find(fifty));
    EXPECT_FALSE(w.Find(std::string(50, '-')));

    WriteImport("");
    w.importer.ImportTasks();
    EXPECT_EQ(w.table.TaskCount(), 0);
    EXPECT_FALSE(temp.Exists("kivoklok.tkn"));
}

TEST_F(ImportTest, FixedLocationComesFirst) {
    temp.Write("c-kivoklok.tkn", Lines({"KIVO TAAK eerst", "01:00", "1", "a", "b", ""}));
    WriteImport(Lines({"KIVO TAAK later", "01:00", "1", "a", "b", ""}));
    w.importer.ImportTasks();
    EXPECT_TRUE(w.Find("KIVO TAAK eerst"));
    EXPECT_FALSE(temp.Exists("c-kivoklok.tkn"));
    EXPECT_TRUE(temp.Exists("kivoklok.tkn"));
    w.importer.ImportTasks();
    EXPECT_TRUE(w.Find("KIVO TAAK later"));
    EXPECT_FALSE(w.Find("KIVO TAAK eerst")); // each file is the whole list
    EXPECT_FALSE(temp.Exists("kivoklok.tkn"));
}

TEST_F(ImportTest, OutOfRangeCountEndsTheImportAndKeepsTheFile) {
    w.Add({.omschrijving = "KIVO TAAK oud", .frekwentie = 5});
    WriteImport(Lines({"KIVO TAAK goed", "01:00", "2", "a.exe", "A", "KIVO TAAK oud", "02:00",
                       "99999", "b.exe", "B", ""}));
    w.importer.ImportTasks();

    const std::string message =
        "99999 is not a valid value for field 'Frekwentie'. The allowed range is -32768 to 32767";
    ASSERT_EQ(w.reports.size(), 1u);
    EXPECT_EQ(w.reports[0], message);
    const std::string log = w.Log();
    EXPECT_NE(log.find("] leeskivotaken: " + message + "\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Instelling opslaan"), std::string::npos); // nothing saved
    EXPECT_TRUE(temp.Exists("kivoklok.tkn"));
    EXPECT_EQ(w.opstart.history, (std::vector<bool>{false, true})); // off during the import
    EXPECT_TRUE(w.Find("KIVO TAAK goed"));                          // stored before the failure
    ASSERT_TRUE(w.Find("KIVO TAAK oud")); // the failing record is dropped whole
    EXPECT_EQ(w.table.AsInteger(Field::Frekwentie), 5);
    EXPECT_EQ(w.table.AsString(Field::Programma), "prog.exe");
    EXPECT_FALSE(w.table.IsPending());

    w.importer.ImportTasks(); // the same file, the same message again
    EXPECT_EQ(w.reports.size(), 2u);
}

TEST_F(ImportTest, JunkNeverBreaksTheImport) {
    std::string junk;
    for (int i = 0; i < 4000; ++i) {
        const char c = static_cast<char>((i * 7919) % 256);
        junk += c == '\x1a' ? 'j' : c; // a Ctrl-Z would end the file here
    }
    junk += std::string(100000, 'k') + "\r\nKIVO TAAK echt\r\n\0\0:\0\r\n7\r\n\r\n"s;
    WriteImport(junk + "KIVO TAAK " + std::string(1000, 'z') + "\n");
    w.importer.ImportTasks();
    EXPECT_TRUE(w.reports.empty());
    EXPECT_FALSE(temp.Exists("kivoklok.tkn"));
    EXPECT_TRUE(w.Find("KIVO TAAK echt"));
}

TEST(ImportFailures, HeldFileIsSkippedSilentlyAndTakenNextTime) {
    MemFiles files;
    StoreWorld w(files, "C:\\App\\");
    const std::string path = "C:\\App\\kivoklok.tkn";
    files.files[path] = Lines({"KIVO TAAK een", "01:00", "1", "a", "b", ""});
    files.unreadable.insert(path);
    w.importer.ImportTasks();
    EXPECT_TRUE(w.reports.empty());
    EXPECT_TRUE(files.Exists(path));
    EXPECT_TRUE(w.opstart.enabled);
    EXPECT_EQ(w.table.TaskCount(), 0);
    EXPECT_EQ(w.Log().find("Instelling opslaan"), std::string::npos);

    files.unreadable.clear();
    files.undeletable.insert(path);
    w.importer.ImportTasks();
    EXPECT_TRUE(w.reports.empty()); // a file that cannot be deleted is not reported
    EXPECT_TRUE(w.Find("KIVO TAAK een"));
    EXPECT_TRUE(files.Exists(path));

    // A log that cannot be written keeps the import's note waiting, not the import.
    files.unwritable.insert(w.log.Path());
    EXPECT_NO_THROW(w.importer.ImportTasks());
    EXPECT_TRUE(w.opstart.enabled);
    EXPECT_GT(w.outbox.Waiting(), 0u);
}

TEST(ImportFailures, TextWithoutAWholeRecordRemovesNothing) {
    struct Case {
        const char* name;
        std::string content;
        bool fails;
    };
    const Case cases[] = {
        {"CR alone ends the lines", "KIVO TAAK nieuw\r06:30\r1\rx.exe\rC:\\\r\r", true},
        {"no marker at all", "iets anders\r\nnog iets\r\n", true},
        {"its one record cut short", "KIVO TAAK nieuw\r\n06:30\r\n", true},
        {"blanks and line ends only: an empty list", " \r\n\r\n\t\r\n", false},
    };
    const std::string path = "C:\\App\\kivoklok.tkn";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemFiles files;
        StoreWorld w(files, "C:\\App\\");
        w.Add({.omschrijving = "KIVO TAAK oud"});
        files.files[path] = c.content;
        w.importer.ImportTasks();
        EXPECT_EQ(w.Find("KIVO TAAK oud"), c.fails);
        EXPECT_FALSE(w.Find("KIVO TAAK nieuw"));
        EXPECT_EQ(files.Exists(path), c.fails);
        EXPECT_EQ(w.reports.size(), c.fails ? 1u : 0u);
        EXPECT_EQ(Count(w.Log(), "] leeskivotaken: Importbestand \"" + path +
                                     "\" bevat geen volledige taak\r\n"),
                  c.fails ? 1 : 0);
    }
}

TEST(ImportFailures, TheFileStaysUntilASaveHasStoredItsTasks) {
    MemFiles files;
    StoreWorld w(files, "C:\\App\\");
    const std::string path = "C:\\App\\kivoklok.tkn", csv = "C:\\App\\kivoklok.csv";
    files.files[path] = Lines({"KIVO TAAK een", "01:00", "1", "a", "b", ""});
    files.unwritable.insert(csv);
    w.importer.ImportTasks();
    ASSERT_EQ(w.reports.size(), 1u);
    EXPECT_EQ(w.reports[0].rfind("Cannot create file", 0), 0u);
    EXPECT_TRUE(files.Exists(path));

    files.unwritable.clear();
    w.importer.ImportTasks();
    EXPECT_FALSE(files.Exists(path));
    EXPECT_NE(files.files[csv].find("KIVO TAAK een"), std::string::npos);
}

// An import file far larger than it is sensible to hold, served only piece by piece.
class HugeImportFiles : public MemFiles {
public:
    static constexpr std::uint64_t JunkBytes = 256ull << 20;
    const std::string path = "C:\\App\\kivoklok.tkn";
    const std::string tail = "\r\nKIVO TAAK na de brij\r\n06:30\r\n1\r\nx.exe\r\nC:\\\r\n";

    std::string ReadAll(const std::string& p) const override {
        if (p == path) throw KivoError("the import file was read whole");
        return MemFiles::ReadAll(p);
    }
    std::unique_ptr<FileReader> OpenRead(const std::string& p) const override {
        if (p != path) return MemFiles::OpenRead(p);
        struct Generated : FileReader {
            const std::string& tail;
            std::uint64_t pos = 0;
            explicit Generated(const std::string& t) : tail(t) {}
            std::size_t Read(char* buffer, std::size_t size) override {
                std::size_t n = 0;
                for (; n < size && pos < JunkBytes + tail.size(); ++n, ++pos)
                    buffer[n] = pos < JunkBytes ? 'x' : tail[pos - JunkBytes];
                return n;
            }
        };
        return std::make_unique<Generated>(tail);
    }
};

TEST(ImportFailures, AHugeFileIsReadLineByLine) {
    HugeImportFiles files;
    StoreWorld w(files, "C:\\App\\");
    files.files[files.path] = "";
    w.importer.ImportTasks();
    EXPECT_TRUE(w.reports.empty()) << w.reports[0];
    EXPECT_TRUE(w.Find("KIVO TAAK na de brij"));
    EXPECT_FALSE(files.Exists(files.path));
}

} // namespace
} // namespace kivo::test
