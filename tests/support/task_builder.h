#pragma once
// A task from a short spec, stored in a table as the edit panel would store it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/errors.h"
#include "store/memtable.h"
#include "store/taskfile.h"

namespace kivo::test {

struct TaskSpec {
    std::string omschrijving;
    std::string starttijd = "12:00";
    int frekwentie = 1;
    bool uren = false;
    std::optional<std::int32_t> laatstekeer = {};
    std::string programma = "prog.exe";
    std::string parameters = {};
    std::string werkdirectory = {};
    bool dagen = true;
};

inline void AddTask(TMemTable& table, const TaskSpec& t) {
    table.AppendTask();
    table.SetString(Field::Omschrijving, t.omschrijving);
    table.SetString(Field::Programma, t.programma);
    table.SetString(Field::Parameters, t.parameters);
    table.SetString(Field::Werkdirectory, t.werkdirectory);
    table.SetString(Field::Starttijd, t.starttijd);
    table.SetInteger(Field::Frekwentie, t.frekwentie);
    table.SetBoolean(Field::Uren, t.uren);
    table.SetBoolean(Field::Dagen, t.dagen);
    if (t.laatstekeer) table.SetDateTime(Field::Laatstekeer, *t.laatstekeer);
    table.PostTask();
}

// Reads a task file's content into the table as LoadTasks does: the tasks of the lines that read
// are stored, then the failure, if any, is raised.
inline void ReadInto(const TCSVStreamFormat& format, std::string_view content, TMemTable& table) {
    TaskFileRead read = format.Read(content, table.CurrentYear());
    table.AppendFilled(std::move(read.tasks));
    if (read.failure) throw KivoError(*read.failure);
}

} // namespace kivo::test

// TaskFileText: the text of a task file as the program writes it, through the composition.
#include "support/core_world.h"
