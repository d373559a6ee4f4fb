// The file reader builds each task whole, and the table takes them in bulk. These tests hold the
// reader to the tasks of awkward lines, and the bulk fill to the table that storing each task in
// turn gives.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "algemeen/text.h"
#include "platform/errors.h"
#include "store/fields.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/task_builder.h"
#include "support/test_collator.h"

namespace kivo {
namespace {

using namespace std::string_literals;

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const KivoError& e) {
        return e.what();
    }
    return "";
}

const std::string Header = "Omschrijving;Werkdirectory;Programma;Parameters;Starttijd;Frekwentie;"
                           "Dagen;Uren;Laatstekeer;\r\n";

class BulkReadTest : public ::testing::Test {
protected:
    FormatSettings settings;
    test::TestCollator collator;
    test::FakeClock clock{2024, 6, 15};
    TCSVStreamFormat format{settings};

    // The task lines the writer gives for what the content reads as, and the read's message.
    std::pair<std::string, std::string> Reread(const std::string& content) {
        TMemTable table{"memKivoKlok", settings, collator, clock};
        const std::string error = ErrorOf([&] { test::ReadInto(format, content, table); });
        EXPECT_FALSE(table.IsPending()) << content;
        std::string written = WriteTable(format, table);
        written.erase(0, written.find('\n') + 1);
        return {written, error};
    }
};

TEST_F(BulkReadTest, TrickyLinesReadByTheRulesOfEachField) {
    const std::string defaults = "\"12:00\";\"1\";\"True\";\"False\";;\r\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"a\";\"b\";\"c\";\"d\";\"08:30\";\"4\";\"True\";\"False\";\"07-03-24\";",
         "\"a\";\"b\";\"c\";\"d\";\"08:30\";\"4\";\"True\";\"False\";\"07-03-24\";\r\n"},
        {";;;;;;;;;", ";;;;;;;;;\r\n"},
        {"\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";",
         "\"\";\"\";\"\";\"\";;;\"False\";\"False\";;\r\n"},
        // A NUL ends a text; a lone "%" stays.
        {"\"x \"\"q\"\" y\";\"50% off %%\";\"%c%n%0tail\";\"%\";\"8:5\";\"-3\";\"true\";\"1\";"
         "\"7-3-2024\";",
         "\"x \"\"q\"\" y\";\"50%% off %%\";\"%c%n\";\"%%\";\"08:05\";\"-3\";\"False\";"
         "\"False\";\"07-03-24\";\r\n"},
        {"unquoted \"mid\";C:\\d;p;;23:59;$1F;True;True;29-2-24",
         "\"unquoted \"\"mid\"\"\";\"C:\\d\";\"p\";;\"23:59\";\"31\";\"True\";\"True\";"
         "\"29-02-24\";\r\n"},
        {"\"no close;still text", "\"no close;still text\";;;;" + defaults},
        {"only one", "\"only one\";;;;" + defaults},
        {"\"a\";\"b\"", "\"a\";\"b\";;;" + defaults}, // short lines keep the defaults
        {"a;b;c;d;00:00;32767;False;False;1-1-0001;extra;\"more\"",
         "\"a\";\"b\";\"c\";\"d\";\"00:00\";\"32767\";\"False\";\"False\";\"01-01-01\";\r\n"},
        {std::string(300, 'w') + ";" + std::string(300, 'v') + ";" + std::string(90, 'p'),
         "\"" + std::string(50, 'w') + "\";\"" + std::string(255, 'v') + "\";\"" +
             std::string(80, 'p') + "\";;" + defaults},
        {"a;b;c;d; 8 : 30 ;+7;True;False; 7 - 3 - 24 -",
         "\"a\";\"b\";\"c\";\"d\";\"08:30\";\"7\";\"True\";\"False\";\"07-03-24\";\r\n"},
        {"a;b;c;d;08:30;1;True;False;00007-03-2024", // leading zeros
         "\"a\";\"b\";\"c\";\"d\";\"08:30\";\"1\";\"True\";\"False\";\"07-03-24\";\r\n"},
        {"a;b;c;d;0008:0030;0x10;True;False;0007-0003-0024",
         "\"a\";\"b\";\"c\";\"d\";\"08:30\";\"16\";\"True\";\"False\";\"07-03-24\";\r\n"},
        {"a;b;c;d;8:30 PM;1;True;False;7-3",
         "\"a\";\"b\";\"c\";\"d\";\"20:30\";\"1\";\"True\";\"False\";\"07-03-24\";\r\n"},
        {"a;b;c;d;12:00:59.999;1;True;False;31-12-9999",
         "\"a\";\"b\";\"c\";\"d\";\"12:00\";\"1\";\"True\";\"False\";\"31-12-99\";\r\n"},
    };
    std::string all = Header, expected;
    for (const auto& [line, written] : cases) {
        EXPECT_EQ(Reread(Header + line + "\r\n"), std::pair(written, ""s)) << line;
        all += line + "\n\n\r";
        expected += written;
    }
    EXPECT_EQ(Reread(all).first, expected);
    // Columns in another order, twice, unknown, in lower case; a file version line first.
    EXPECT_EQ(
        Reread("\"@@FILE VERSION@@\";\"251\"\r\nstarttijd;Extra;OMSCHRIJVING;Starttijd;dagen\r\n"
               "09:00;zz;een;10:15;False\r\n\"11:11\";;twee;;True;\r\n")
            .first,
        "\"een\";;;;\"10:15\";\"1\";\"False\";\"False\";;\r\n"
        "\"twee\";;;;;\"1\";\"True\";\"False\";;\r\n");
}

TEST_F(BulkReadTest, ABadValueStopsTheReadAtItsLineWithItsMessage) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"24:00;1;07-03-24", "'24:00' is not a valid time"},
        {"8:60;1;07-03-24", "'8:60' is not a valid time"},
        {"13:00 PM;1;07-03-24", "'13:00 PM' is not a valid time"},
        {"08:30:00:00;1;07-03-24", "'08:30:00:00' is not a valid time"},
        {"08:30;40000;07-03-24",
         "40000 is not a valid value for field 'Frekwentie'. The allowed range is -32768 to 32767"},
        {"08:30;12a;07-03-24", "'12a' is not a valid integer value for field 'Frekwentie'"},
        {"08:30;1;07/03/2024", "'07/03/2024' is not a valid date"},
        {"08:30;1;30-02-24", "'30-02-24' is not a valid date"},
    };
    const std::string header = "Omschrijving;Starttijd;Frekwentie;Laatstekeer\r\n";
    for (const auto& [line, message] : bad)
        EXPECT_EQ(
            Reread(header + "goed;10:00;1;01-01-24\r\na;" + line + "\r\nna;;;\r\n"),
            std::pair("\"goed\";;;;\"10:00\";\"1\";\"True\";\"False\";\"01-01-24\";\r\n"s, message))
            << line;
}

TEST_F(BulkReadTest, PlainTimesAndDatesReadAsTheGeneralReaderReadsThem) {
    constexpr std::int64_t H = 3'600'000, M = 60'000;
    auto ms = [&](std::string_view text) {
        auto value = TryStrToTime(text, settings);
        return value ? ToMilliseconds(*value) : -1;
    };
    EXPECT_EQ(ms("08:30"), 8 * H + 30 * M);
    EXPECT_EQ(ms("8:5"), 8 * H + 5 * M);
    EXPECT_EQ(ms("0023:0059"), 23 * H + 59 * M);
    EXPECT_EQ(ms("23:60"), -1);
    EXPECT_EQ(ms("00008:30"), 8 * H + 30 * M); // leading zeros keep a long run below 1000
    EXPECT_EQ(ms("12345:30"), -1);             // the run stops at 1000 and leaves a digit
    EXPECT_EQ(ms("08:30:"), -1);

    FormatSettings blank = settings;
    blank.timeSeparator = ' ';
    EXPECT_EQ(TryStrToTime("08 30", blank).has_value(), true);
    FormatSettings digitMarker = settings;
    digitMarker.timeAMString = "08";
    EXPECT_EQ(TryStrToTime("08:30", digitMarker), std::nullopt) << "a marker before the hour";

    auto day = [&](std::string_view text, int year = 2024) {
        return TryStrToDate(text, settings, year).value_or(-1);
    };
    EXPECT_EQ(day("07-03-24"), DayNumber({2024, 3, 7}));
    EXPECT_EQ(day("07-03-74"), DayNumber({1974, 3, 7}));
    EXPECT_EQ(day("07-03-73"), DayNumber({2073, 3, 7}));
    EXPECT_EQ(day("07-03-75", 2025), DayNumber({1975, 3, 7}));
    EXPECT_EQ(day("7-3-2024"), DayNumber({2024, 3, 7}));
    EXPECT_EQ(day("0007-0003-0024"), DayNumber({24, 3, 7})); // four digits: the year itself
    EXPECT_EQ(day("7-3-02024"), DayNumber({2024, 3, 7}));
    EXPECT_EQ(day("7-3-20245"), -1);
    EXPECT_EQ(day("31-04-24"), -1);
    FormatSettings ymd = settings;
    ymd.shortDateFormat = "yyyy/mm/dd";
    ymd.dateSeparator = '/';
    EXPECT_EQ(TryStrToDate("2024/03/07", ymd, 2024), DayNumber({2024, 3, 7}));
    EXPECT_EQ(TryStrToDate("24/03/07", ymd, 2024), DayNumber({2024, 3, 7}));
}

TEST_F(BulkReadTest, APendingChangeIsSettledOnceWithTheHookAndTheTasksTakeTheirSortedPlaces) {
    TMemTable table{"memKivoKlok", settings, collator, clock};
    int hookCalls = 0;
    table.OnBeforePost = [&] { ++hookCalls; };
    table.AppendTask();
    table.SetString(Field::Omschrijving, "m");
    table.PostTask();
    table.SortByDescription();
    table.EditCurrent();
    table.SetString(Field::Omschrijving, "b"); // pending: settled before the first task
    hookCalls = 0;
    test::ReadInto(format, Header + "c;;;;;;;;\r\na;;;;;;;;\r\n", table);
    EXPECT_EQ(hookCalls, 1); // for the settled change: nothing typed belongs to the new tasks
    ASSERT_EQ(table.TaskCount(), 3);
    EXPECT_EQ(table.TaskAt(0).Omschrijving, "a");
    EXPECT_EQ(table.TaskAt(1).Omschrijving, "b");
    EXPECT_EQ(table.TaskAt(2).Omschrijving, "c");
    EXPECT_EQ(table.Current().Omschrijving, "a");

    // A collation that fails keeps every task, in an order no longer kept sorted.
    collator.fail = true;
    EXPECT_EQ(
        ErrorOf([&] { test::ReadInto(format, Header + "e;;;;;;;;\r\nd;;;;;;;;\r\n", table); }),
        "Invalid locale.");
    collator.fail = false;
    EXPECT_EQ(table.TaskCount(), 5);
    EXPECT_FALSE(table.IsSorted());
    EXPECT_EQ(table.TaskAt(4).Omschrijving, "d");

    table.CloseTable();
    EXPECT_EQ(ErrorOf([&] { test::ReadInto(format, Header + "a;;;;99:99;;;;\r\n", table); }),
              "memKivoKlok: Cannot perform this operation on a closed dataset");
}

// Many tasks, equal descriptions and nulls among them, into an unsorted and into a sorted table
// with a change pending and the hook set: the same rows, identities, cursor and state as when
// each task is stored in turn.
TEST_F(BulkReadTest, ABulkFillGivesTheTableThatStoringEachTaskGives) {
    std::vector<TaskRecord> tasks;
    for (int i = 0; i < 500; ++i) {
        TaskRecord& task = tasks.emplace_back(NewTask());
        if (i % 37 != 0) task.Omschrijving = "taak " + std::to_string(i * 7919 % 101);
        if (i % 5 == 0) task.Omschrijving = "Taak " + std::to_string(i % 13);
        task.Programma = std::to_string(i);
    }
    auto rows = [](const TMemTable& table) {
        std::vector<std::tuple<TaskId, std::string, std::string>> out;
        for (int i = 0; i < table.TaskCount(); ++i)
            out.emplace_back(table.IdAt(i), table.TaskAt(i).Omschrijving.value_or("<null>"),
                             *table.TaskAt(i).Programma);
        return out;
    };
    for (bool sorted : {false, true}) {
        SCOPED_TRACE(sorted ? "sorted" : "unsorted");
        TMemTable bulk{"memKivoKlok", settings, collator, clock};
        TMemTable each{"memKivoKlok", settings, collator, clock};
        for (TMemTable* table : {&bulk, &each}) {
            table->OnBeforePost = [] {};
            for (const char* name : {"taak 50", "taak 7", "Taak 3"}) {
                test::TaskSpec spec;
                spec.omschrijving = name;
                test::AddTask(*table, spec);
            }
            if (sorted) table->SortByDescription();
            table->GotoFirst();
            table->EditCurrent();
            table->SetString(Field::Omschrijving, "taak 60");
        }
        bulk.AppendFilled(tasks);
        for (const TaskRecord& task : tasks) {
            each.AppendTask();
            if (task.Omschrijving)
                each.SetString(Field::Omschrijving, *task.Omschrijving);
            else
                each.Clear(Field::Omschrijving);
            each.SetString(Field::Programma, *task.Programma);
            each.PostTask();
        }
        EXPECT_EQ(rows(bulk), rows(each));
        EXPECT_EQ(bulk.CurrentId(), each.CurrentId());
        EXPECT_EQ(bulk.IsSorted(), sorted);
        EXPECT_FALSE(bulk.IsPending());
        EXPECT_FALSE(bulk.AtEnd());
    }
}

} // namespace
} // namespace kivo
