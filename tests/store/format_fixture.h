#pragma once
// The worked example of the task file and a table to read it into, for the tests of the format
// and of the task file.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/errors.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/task_builder.h"
#include "support/test_collator.h"

namespace kivo::test {

inline const std::string Header =
    "\"Omschrijving\";\"Werkdirectory\";\"Programma\";\"Parameters\";"
    "\"Starttijd\";\"Frekwentie\";\"Dagen\";\"Uren\";\"Laatstekeer\";\r\n";

inline const std::string WorkedExample =
    Header +
    "\"Back-up documenten\";\"C:\\Data\";\"C:\\Tools\\backup.exe\";\"/alles\";\"12:00\";\"1\";"
    "\"True\";\"False\";\"07-03-24\";\r\n"
    "\"Opschonen \"\"temp\"\" 50%%\";\"C:\\Temp\";\"C:\\Tools\\opschonen.bat\";;\"08:30\";\"4\";"
    "\"False\";\"True\";;\r\n";

inline std::string ReadError(const std::function<void()>& f) {
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

} // namespace kivo::test
