#include "logbook/logbook.h"
#include "logbook/outbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "platform/errors.h"
#include "platform/files.h"
#include "support/fake_clock.h"
#include "support/mem_files.h"
#include "support/temp_dir.h"

namespace kivo {
namespace {

using test::FakeClock;
using test::TempDir;

const FormatSettings kSettings;

std::int32_t Day(int y, int m, int d) {
    return DayNumber({y, m, d});
}

// "[dd-mm-yy] " for the day `back` days before 5-3-2024.
std::string Stamp(int back) {
    const CivilDate d = CivilFromDayNumber(Day(2024, 3, 5) - back);
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%02d-%02d-%02d] ", d.day, d.month, d.year % 100);
    return buf;
}

struct LogBookTest : ::testing::Test {
    TempDir dir;
    FakeClock clock{2024, 3, 5, 14, 7, 59, 999};
    LogBook log{SystemFileSystem(), clock, kSettings, dir.Dir()};
    std::string Content() const { return dir.Read("kivoklok.log"); }
};

TEST_F(LogBookTest, WritesEachKindWithItsPrefix) {
    EXPECT_FALSE(dir.Exists("kivoklok.log"));
    log.WriteLog(LogNote, "Lees taken");
    EXPECT_EQ(Content(), "[05-03-24] [14:07] Lees taken\r\n");
    EXPECT_EQ(log.Path(), dir.File("kivoklok.log"));

    const LogTask plain{"Backup", "", "backup.exe"};
    const LogTask tools{"Rapport", "  C:\\Tools ", "rap.exe"};
    const LogTask slash{"Kopie", "D:\\Data\\", "copy.bat"};
    log.WriteLog(LogAutomatic, "", &plain);
    log.WriteLog(LogManual, "", &tools);
    log.WriteLog(LogAutomatic, "", &slash);
    log.WriteLog(LogStarted, "");
    log.WriteLog(LogClosed, "ignored");
    log.WriteLog(LogManual, ""); // no task given: the fields read as empty
    const std::string gap(19, ' ');
    EXPECT_EQ(Content(), "[05-03-24] [14:07] Lees taken\r\n"
                         "[05-03-24] [14:07] Taak \"Backup\" (automatisch)" +
                             gap +
                             "backup.exe\r\n"
                             "[05-03-24] [14:07] Taak \"Rapport\" (handmatig)" +
                             gap +
                             "C:\\Tools\\rap.exe\r\n"
                             "[05-03-24] [14:07] Taak \"Kopie\" (automatisch)" +
                             gap +
                             "D:\\Data\\copy.bat\r\n"
                             "[05-03-24] [14:07] KIVO Schakelklok gestart\r\n"
                             "[05-03-24] [14:07] KIVO Schakelklok afgesloten\r\n"
                             "[05-03-24] [14:07] Taak \"\" (handmatig)" +
                             gap + "\r\n");

    FormatSettings dots = kSettings;
    dots.timeSeparator = '.';
    const LocalDateTime morning{{2009, 11, 1}, {7, 5, 0, 0}};
    EXPECT_EQ(FormatLogEntry(LogNote, "x", nullptr, morning, dots), "[01-11-09] [07.05] x");
}

TEST_F(LogBookTest, RewritesEveryLineEndAsCrLf) {
    dir.Write("kivoklok.log", "a\nb\rc\r\n\r\nd");
    log.WriteLog(LogNote, "e\nf");
    // The message is written as it is; its break becomes a line end at the next rewrite.
    EXPECT_EQ(Content(), "a\r\nb\r\nc\r\n\r\nd\r\n[05-03-24] [14:07] e\nf\r\n");
    log.WriteLog(LogNote, "g");
    EXPECT_EQ(Content(),
              "a\r\nb\r\nc\r\n\r\nd\r\n[05-03-24] [14:07] e\r\nf\r\n[05-03-24] [14:07] g\r\n");

    EXPECT_EQ(SplitLogLines(""), std::vector<std::string>{});
    EXPECT_EQ(SplitLogLines("\r\n"), std::vector<std::string>{""});
    EXPECT_EQ(SplitLogLines("a\r\r\nb\n\nc"), (std::vector<std::string>{"a", "", "b", "", "c"}));
    EXPECT_EQ(SplitLogLines(std::string("x\0y\n", 4)),
              std::vector<std::string>{std::string("x\0y", 3)});
    EXPECT_EQ(NormalizeLogContent("\n\r"), "\r\n\r\n");
}

// A clock that moves on one millisecond each time it is read.
class TickingClock : public FakeClock {
public:
    using FakeClock::FakeClock;
    LocalDateTime Now() const override {
        LocalDateTime t = FakeClock::Now();
        const_cast<TickingClock*>(this)->Advance(1);
        return t;
    }
};

TEST_F(LogBookTest, DateAndTimeComeFromOneReading) {
    TickingClock midnight{2024, 3, 5, 23, 59, 59, 999};
    LogBook ticking{SystemFileSystem(), midnight, kSettings, dir.Dir()};
    ticking.WriteLog(LogNote, "x");
    EXPECT_EQ(Content(), "[05-03-24] [23:59] x\r\n");
}

TEST_F(LogBookTest, MissingFolderFailsWithTheRealPath) {
    const std::string missing = dir.Dir() + "nergens" + dir.Dir().substr(dir.Dir().size() - 1);
    LogBook lost{SystemFileSystem(), clock, kSettings, missing};
    try {
        lost.WriteLog(LogNote, "x");
        FAIL() << "no error";
    } catch (const KivoError& e) {
        const std::string expected = "Cannot create file \"" + missing + "kivoklok.log\". ";
        EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected) << e.what();
    }
    lost.PurgeLog(); // no file: nothing to do, nothing created
    EXPECT_FALSE(std::filesystem::exists(missing));
}

// True when the file really refuses writing, which it does not for an administrator or root.
bool RefusesWriting(const std::string& path) {
    std::ofstream probe(path, std::ios::binary | std::ios::app);
    return !probe.is_open();
}

TEST_F(LogBookTest, ReadOnlyLogIsLeftAsItWas) {
    dir.Write("kivoklok.log", "[05-03-24] [10:00] oud\r\n");
    namespace fs = std::filesystem;
    fs::permissions(dir.File("kivoklok.log"), fs::perms::owner_read | fs::perms::group_read,
                    fs::perm_options::replace);
    if (!RefusesWriting(dir.File("kivoklok.log"))) GTEST_SKIP() << "permissions not enforced";
    try {
        log.WriteLog(LogNote, "nieuw");
        FAIL() << "no error";
    } catch (const KivoError& e) {
        const std::string expected = "Cannot create file \"" + dir.File("kivoklok.log") + "\". ";
        EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected) << e.what();
    }
    EXPECT_EQ(Content(), "[05-03-24] [10:00] oud\r\n");
    fs::permissions(dir.File("kivoklok.log"), fs::perms::owner_write, fs::perm_options::add);
}

TEST(LogBookFiles, LockedLogIsNeitherWrittenNorPurged) {
    test::MemFiles files;
    FakeClock clock{2024, 3, 5};
    LogBook log{files, clock, kSettings, "C:\\Kivo\\"};
    files.files[log.Path()] = "oud";
    files.unreadable.insert(log.Path());
    EXPECT_THROW(log.WriteLog(LogNote, "x"), FileOpenError);
    EXPECT_THROW(log.PurgeLog(), FileOpenError);
    EXPECT_EQ(files.replaces + files.appends, 0);
    EXPECT_EQ(files.files[log.Path()], "oud");
    files.unreadable.clear();
    log.PurgeLog(); // rewritten also when nothing goes
    EXPECT_EQ(files.replaces, 1);
    EXPECT_EQ(files.files[log.Path()], "");
}

// A line is only appended while the file is as the log book left it; whatever else happened to
// the file, the bytes are those of the full rewrite: the file's lines, each ended by CR LF, then
// the new line. On the system's files (the posix or the Windows seam) and in memory.
TEST(LogBookFiles, AppendsOnlyToTheFileItLeft) {
    struct Row {
        const char* name;
        std::function<void(std::string&)> change; // what another program did after our line
        bool appended;
        bool sameSize = false; // not told apart on disk within one tick of the file clock
    };
    const std::vector<Row> rows = {
        {"as left", [](std::string&) {}, true},
        {"grown by another writer", [](std::string& c) { c += "ander\r\n"; }, false},
        {"grown without a line end", [](std::string& c) { c += "ander"; }, false},
        {"cut in a line", [](std::string& c) { c.resize(c.size() - 5); }, false},
        {"cut to nothing", [](std::string& c) { c.clear(); }, false},
        {"rewritten with bare LF", [](std::string& c) { c = "a\nb\n"; }, false},
        {"bare LF, same size", [](std::string& c) { c[c.size() - 2] = '\n'; }, false, true},
        {"removed", [](std::string& c) { c = "<gone>"; }, false},
    };
    const std::string line = "[05-03-24] [14:07] nieuw\r\n";
    for (bool onDisk : {false, true}) {
        for (const Row& row : rows) {
            if (onDisk && row.sameSize) continue;
            SCOPED_TRACE(std::string(row.name) + (onDisk ? " on disk" : " in memory"));
            TempDir dir;
            test::MemFiles mem;
            FileSystem& files = onDisk ? SystemFileSystem() : static_cast<FileSystem&>(mem);
            FakeClock clock{2024, 3, 5, 14, 7};
            LogBook log{files, clock, kSettings, onDisk ? dir.Dir() : "C:\\Kivo\\"};
            const std::string path = log.Path();
            if (onDisk)
                dir.Write("kivoklok.log", "oud\nregel");
            else
                mem.files[path] = "oud\nregel";
            log.WriteLog(LogNote, "eerste");
            std::string content = files.ReadAll(path);
            row.change(content);
            if (content == "<gone>") {
                files.Delete(path);
                content.clear();
            } else if (onDisk) {
                dir.Write("kivoklok.log", content);
            } else {
                mem.files[path] = content;
            }
            const int appendsBefore = mem.appends;
            log.WriteLog(LogNote, "nieuw");
            EXPECT_EQ(files.ReadAll(path), NormalizeLogContent(content) + line);
            if (!onDisk) {
                EXPECT_EQ(mem.appends - appendsBefore, row.appended ? 1 : 0);
            }
        }
    }

    // Locked or read-only after our line: the rewrite's error, nothing written; the next line
    // once it is free again is whole.
    test::MemFiles mem;
    FakeClock clock{2024, 3, 5, 14, 7};
    LogBook log{mem, clock, kSettings, "C:\\Kivo\\"};
    log.WriteLog(LogNote, "eerste");
    const std::string first = mem.files[log.Path()];
    mem.unreadable.insert(log.Path());
    EXPECT_THROW(log.WriteLog(LogNote, "x"), FileOpenError);
    mem.unreadable.clear();
    mem.unwritable.insert(log.Path());
    EXPECT_THROW(log.WriteLog(LogNote, "x"), KivoError);
    EXPECT_EQ(mem.files[log.Path()], first);
    mem.unwritable.clear();
    log.WriteLog(LogNote, "nieuw");
    EXPECT_EQ(mem.files[log.Path()], first + line);
}

#ifndef _WIN32
TEST_F(LogBookTest, UnreadableLogIsNotOverwritten) {
    dir.Write("kivoklok.log", "[05-03-24] [10:00] oud\r\n");
    namespace fs = std::filesystem;
    fs::permissions(dir.File("kivoklok.log"), fs::perms::none, fs::perm_options::replace);
    if (std::ifstream(dir.File("kivoklok.log")).is_open()) GTEST_SKIP() << "running as root";
    for (auto action :
         {+[](LogBook& l) { l.WriteLog(LogNote, "x"); }, +[](LogBook& l) { l.PurgeLog(); }}) {
        try {
            action(log);
            ADD_FAILURE() << "no error";
        } catch (const FileOpenError& e) {
            const std::string expected = "Cannot open file \"" + dir.File("kivoklok.log") + "\". ";
            EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected) << e.what();
        }
    }
    fs::permissions(dir.File("kivoklok.log"), fs::perms::owner_all, fs::perm_options::replace);
    EXPECT_EQ(Content(), "[05-03-24] [10:00] oud\r\n");
}
#endif

TEST_F(LogBookTest, PurgeDropsOnlyOldLeadingLines) {
    log.PurgeLog();
    EXPECT_FALSE(dir.Exists("kivoklok.log"));
    dir.Write("kivoklok.log", "");
    log.PurgeLog();
    EXPECT_TRUE(dir.Exists("kivoklok.log"));
    EXPECT_EQ(Content(), "");

    dir.Write("kivoklok.log", Stamp(91) + "[14:00] oud\r\n" + Stamp(0) + "[14:00] nu\r\n");
    log.PurgeLog();
    EXPECT_EQ(Content(), Stamp(0) + "[14:00] nu\r\n");

    // Exactly 90 days stays, and stops the purge; the old line behind it stays too. Bare line
    // feeds are rewritten even when nothing goes.
    dir.Write("kivoklok.log", Stamp(90) + "a\n" + Stamp(200) + "b");
    log.PurgeLog();
    EXPECT_EQ(Content(), Stamp(90) + "a\r\n" + Stamp(200) + "b\r\n");

    dir.Write("kivoklok.log", "geen haakje\r\n[abc] x\r\n]\r\n\r\nvervolg] regel\r\n" + Stamp(1) +
                                  "recent\r\n[abc] blijft\r\n");
    log.PurgeLog();
    EXPECT_EQ(Content(), Stamp(1) + "recent\r\n[abc] blijft\r\n");

    // The two-digit year window of 2024: 73 is 2073 (future, stays), 74 is 1974 (goes).
    dir.Write("kivoklok.log", "[01-01-74] a\r\n[01-01-73] b\r\n[01-01-20] c\r\n");
    log.PurgeLog();
    EXPECT_EQ(Content(), "[01-01-73] b\r\n[01-01-20] c\r\n");

    // The first character is skipped whatever it is; blanks around the date are allowed.
    dir.Write("kivoklok.log", "x 04-03-2024 ] a\r\n");
    log.PurgeLog();
    EXPECT_EQ(Content(), "x 04-03-2024 ] a\r\n");

    dir.Write("kivoklok.log", "\r\n\n" + Stamp(400) + "weg\r\n");
    log.PurgeLog();
    EXPECT_EQ(Content(), "");
}

// What a close could not write, read back at the next start whatever the file holds (a hand
// edit, junk): one line, first in the next write, and the file goes once that is written.
TEST(LogOutbox, ALostRecordIsOneLineAtTheNextStart) {
    const std::string dir = "C:\\App\\", lost = dir + LogOutbox::LostFileName;
    for (const auto& [record, line] : std::vector<std::pair<std::string, std::string>>{
             {"3 2024 3 4 23 50 2024 3 5 0 10\r\n",
              "3 regels verloren (gemaakt van 04-03-24 23:50 tot 05-03-24 00:10)"},
             {"1 2024 3 4 23 50 2024 3 4 23 50", "1 regel verloren (gemaakt 04-03-24 23:50)"},
             {"7 2024 13 40 99 99", "7 regels verloren (gemaakt van 05-03-24 14:07 tot"},
             {"\x01junk", "1 regel verloren (gemaakt 05-03-24 14:07)"}}) {
        test::MemFiles files;
        FakeClock clock{2024, 3, 5, 14, 7};
        LogBook log{files, clock, kSettings, dir};
        LogOutbox outbox{log, files, clock, kSettings, dir};
        files.files[lost] = record;
        outbox.ReadLost();
        outbox.Note("Lees taken");
        const std::string content = files.files[log.Path()];
        EXPECT_NE(content.find("] Logboek niet beschrijfbaar: " + line), std::string::npos)
            << content;
        EXPECT_LT(content.find("verloren"), content.find("Lees taken"));
        EXPECT_FALSE(files.Exists(lost));
    }
}

TEST(ParseDateWithOrder, ReadsUnderTheStartupFormatOrAnother) {
    FormatSettings settings;
    EXPECT_EQ(ParseDateWithOrder(" 05-03-24 ", "", std::nullopt, settings, 2024), Day(2024, 3, 5));
    EXPECT_EQ(ParseDateWithOrder("31-02-24", "", std::nullopt, settings, 2024), 0);
    EXPECT_EQ(ParseDateWithOrder("05-03", "", std::nullopt, settings, 2019), Day(2019, 3, 5));
    EXPECT_EQ(ParseDateWithOrder("", "", std::nullopt, settings, 2024), 0);
    EXPECT_EQ(ParseDateWithOrder(" \t\r\n", "", std::nullopt, settings, 2024), 0);
    EXPECT_EQ(ParseDateWithOrder("2024/03/05", "YMD", '/', settings, 2024), Day(2024, 3, 5));
    EXPECT_EQ(settings.shortDateFormat, "dd-mm-yy");
    EXPECT_EQ(settings.dateSeparator, '-');
    EXPECT_EQ(ParseDateWithOrder("2024/03/05", "", '/', settings, 2024), 0); // day 2024
    EXPECT_EQ(ParseDateWithOrder("03-05-24", "MDY", std::nullopt, settings, 2024), Day(2024, 3, 5));
    EXPECT_EQ(ParseDateWithOrder("05.03.24", "DM", '.', settings, 2024), Day(2024, 3, 5));
    EXPECT_EQ(ParseDateWithOrder("05-03-24", "x", std::nullopt, settings, 2024), Day(2024, 5, 3));
    EXPECT_EQ(ParseDateWithOrder(std::string(1 << 20, '1'), "", std::nullopt, settings, 2024), 0);
}

} // namespace
} // namespace kivo
