// The file reader builds each task whole. These tests hold it against a reader that fills the
// table field by field through the setters, the way a task is filled anywhere else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "algemeen/text.h"
#include "platform/errors.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/mem_files.h"
#include "support/task_builder.h"
#include "support/test_collator.h"

namespace kivo {
namespace {

using namespace std::string_literals;

// Field by field: AppendTask, one setter per value, PostTask. Lines, values and escapes are
// split by the plain rules of the format, written out the long way.
void ReadFieldByField(std::string_view content, TMemTable& table, const FormatSettings& settings) {
    auto isBreak = [](char c) { return c == '\r' || c == '\n' || c == '\0'; };
    std::vector<std::string> lines;
    std::string current;
    for (char c : content) {
        if (!isBreak(c)) {
            current += c;
        } else if (!current.empty()) {
            lines.push_back(current);
            current.clear();
        }
    }
    if (!current.empty()) lines.push_back(current);

    struct Value {
        std::string text;
        bool quoted;
    };
    auto split = [](const std::string& line) {
        std::vector<Value> values;
        std::size_t i = 0;
        while (i < line.size()) {
            Value v{"", line[i] == '"'};
            if (v.quoted) {
                for (++i; i < line.size(); ++i) {
                    if (line[i] != '"') {
                        v.text += line[i];
                    } else if (i + 1 < line.size() && line[i + 1] == '"') {
                        v.text += '"';
                        ++i;
                    } else {
                        i += 2;
                        break;
                    }
                }
            } else {
                while (i < line.size() && line[i] != ';') v.text += line[i++];
                ++i;
            }
            values.push_back(v);
        }
        return values;
    };
    auto unescape = [](const std::string& text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char next = i + 1 < text.size() ? text[i + 1] : 'x';
            if (text[i] == '%' && (next == '%' || next == 'c' || next == 'n' || next == '0')) {
                out += next == '%' ? '%' : next == 'c' ? '\r' : next == 'n' ? '\n' : '\0';
                ++i;
            } else {
                out += text[i];
            }
        }
        return out;
    };

    std::size_t first = 0;
    while (first < lines.size() && split(lines[first])[0].text == "@@FILE VERSION@@") ++first;
    if (first >= lines.size()) return;
    std::vector<int> columns;
    for (const Value& v : split(lines[first])) {
        int field = -1;
        for (int f = 0; f < FieldCount; ++f)
            if (SameTextAZ(v.text, FieldName(static_cast<Field>(f)))) field = f;
        columns.push_back(field);
    }
    FormatSettings colon = settings;
    colon.timeSeparator = ':';
    for (std::size_t l = first + 1; l < lines.size(); ++l) {
        table.AppendTask();
        try {
            std::vector<Value> values = split(lines[l]);
            for (std::size_t c = 0; c < columns.size() && c < values.size(); ++c) {
                if (columns[c] < 0) continue;
                const Field field = static_cast<Field>(columns[c]);
                const Value& v = values[c];
                if (!v.quoted && v.text.empty())
                    table.Clear(field);
                else if (FieldLimit(field) > 0)
                    table.SetString(field, unescape(v.text));
                else if (field == Field::Dagen || field == Field::Uren)
                    table.SetBoolean(field, v.text == "True");
                else if (field == Field::Starttijd && !v.text.empty())
                    table.SetDateTime(
                        field, StrToTime(v.text, TryStrToTime(v.text, colon) ? colon : settings));
                else
                    table.SetString(field, v.text);
            }
            table.PostTask();
        } catch (...) {
            table.CancelTask();
            throw;
        }
    }
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const KivoError& e) {
        return e.what();
    }
    return "";
}

void ExpectSameTasks(TMemTable& a, TMemTable& b, const std::string& content) {
    ASSERT_EQ(a.TaskCount(), b.TaskCount()) << content;
    for (int i = 0; i < a.TaskCount(); ++i) {
        const TaskRecord& x = a.TaskAt(i);
        const TaskRecord& y = b.TaskAt(i);
        EXPECT_EQ(x.Omschrijving, y.Omschrijving) << content;
        EXPECT_EQ(x.Werkdirectory, y.Werkdirectory) << content;
        EXPECT_EQ(x.Programma, y.Programma) << content;
        EXPECT_EQ(x.Parameters, y.Parameters) << content;
        EXPECT_EQ(x.Starttijd, y.Starttijd) << content;
        EXPECT_EQ(x.Frekwentie, y.Frekwentie) << content;
        EXPECT_EQ(x.Dagen, y.Dagen) << content;
        EXPECT_EQ(x.Uren, y.Uren) << content;
        EXPECT_EQ(x.Laatstekeer, y.Laatstekeer) << content;
    }
}

class BulkReadTest : public ::testing::Test {
protected:
    FormatSettings settings;
    test::TestCollator collator;
    test::FakeClock clock{2024, 6, 15};

    // Reads the content both ways into fresh tables; both must keep the same tasks and fail
    // with the same message.
    void Compare(const std::string& content) {
        TMemTable bulk{"memKivoKlok", settings, collator, clock};
        TMemTable byField{"memKivoKlok", settings, collator, clock};
        TCSVStreamFormat format{settings};
        const std::string bulkError = ErrorOf([&] { test::ReadInto(format, content, bulk); });
        const std::string fieldError =
            ErrorOf([&] { ReadFieldByField(content, byField, settings); });
        EXPECT_EQ(bulkError, fieldError) << content;
        EXPECT_FALSE(bulk.IsPending()) << content;
        ExpectSameTasks(bulk, byField, content);
    }
};

const std::string Header = "Omschrijving;Werkdirectory;Programma;Parameters;Starttijd;Frekwentie;"
                           "Dagen;Uren;Laatstekeer;\r\n";

TEST_F(BulkReadTest, TrickyLinesGiveTheSameTasksAsFillingFieldByField) {
    const std::vector<std::string> lines = {
        "\"a\";\"b\";\"c\";\"d\";\"08:30\";\"4\";\"True\";\"False\";\"07-03-24\";",
        ";;;;;;;;;",
        "\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";",
        "\"x \"\"q\"\" y\";\"50% off "
        "%%\";\"%c%n%0tail\";\"%\";\"8:5\";\"-3\";\"true\";\"1\";\"7-3-2024\";",
        "unquoted \"mid\";C:\\d;p;;23:59;$1F;True;True;29-2-24",
        "\"no close;still text",
        "only one",
        "\"a\";\"b\"", // short lines keep the defaults
        "a;b;c;d;00:00;32767;False;False;1-1-0001;extra;\"more\"",
        std::string(300, 'w') + ";" + std::string(300, 'v') + ";" + std::string(90, 'p'),
        "a;b;c;d; 8 : 30 ;+7;True;False; 7 - 3 - 24 -",
        "a;b;c;d;0008:0030;0x10;True;False;0007-0003-0024",
        "a;b;c;d;8:30 PM;1;True;False;7-3",
        "a;b;c;d;12:00:59.999;1;True;False;31-12-9999",
    };
    for (const std::string& line : lines) Compare(Header + line + "\r\n");

    std::string all = Header;
    for (const std::string& line : lines) all += line + "\n\n\r";
    Compare(all);
    // Columns in another order, twice, unknown, in lower case; a file version line first.
    Compare("\"@@FILE VERSION@@\";\"251\"\r\nstarttijd;Extra;OMSCHRIJVING;Starttijd;dagen\r\n"
            "09:00;zz;een;10:15;False\r\n\"11:11\";;twee;;True;\r\n");
}

TEST_F(BulkReadTest, ABadValueStopsAtTheSameLineWithTheSameMessage) {
    const std::vector<std::string> bad = {
        "a;b;c;d;24:00;1;True;False;07-03-24",       "a;b;c;d;8:60;1;True;False;07-03-24",
        "a;b;c;d;08:30;40000;True;False;07-03-24",   "a;b;c;d;08:30;12a;True;False;07-03-24",
        "a;b;c;d;08:30;1;True;False;07/03/2024",     "a;b;c;d;08:30;1;True;False;30-02-24",
        "a;b;c;d;08:30;1;True;False;00007-03-2024",  "a;b;c;d;13:00 PM;1;True;False;07-03-24",
        "a;b;c;d;08:30:00:00;1;True;False;07-03-24",
    };
    for (const std::string& line : bad)
        Compare(Header + "goed;;;;10:00;1;True;False;01-01-24\r\n" + line + "\r\nna;;;;;;;;\r\n");

    TMemTable table{"memKivoKlok", settings, collator, clock};
    EXPECT_EQ(ErrorOf([&] {
                  test::ReadInto(TCSVStreamFormat(settings), Header + "a;;;;1:2:3:4\r\n", table);
              }),
              "'1:2:3:4' is not a valid time");
    EXPECT_EQ(table.TaskCount(), 0);
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

TEST_F(BulkReadTest, APendingChangeASortedTableAndTheHookAreTreatedAsByNewTasks) {
    TMemTable table{"memKivoKlok", settings, collator, clock};
    TCSVStreamFormat format{settings};
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
    EXPECT_EQ(hookCalls, 3); // the settled change and each stored task
    ASSERT_EQ(table.TaskCount(), 3);
    EXPECT_EQ(table.TaskAt(0).Omschrijving, "a"); // sorted places, as PostTask gives them
    EXPECT_EQ(table.TaskAt(1).Omschrijving, "b");
    EXPECT_EQ(table.TaskAt(2).Omschrijving, "c");
    EXPECT_EQ(table.Current().Omschrijving, "a");

    table.CloseTable();
    EXPECT_EQ(ErrorOf([&] { test::ReadInto(format, Header + "a;;;;99:99;;;;\r\n", table); }),
              "memKivoKlok: Cannot perform this operation on a closed dataset");
}

} // namespace
} // namespace kivo
