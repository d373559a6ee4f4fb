#include "store/csvformat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/format_fixture.h"

namespace kivo {
namespace {

using namespace std::string_literals;
using test::Header;
using test::ReadError;
using test::TaskFormatTest;
using test::WorkedExample;

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

} // namespace
} // namespace kivo
