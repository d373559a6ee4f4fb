// The import file reader and the whole import over arbitrary bytes: never a crash or a hang,
// lines within their limits, and the user's own tasks untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "store/import.h"
#include "store/store_world.h"
#include "store/taskrecord.h"
#include "support/mem_files.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    const std::string content(reinterpret_cast<const char*>(data), size);

    ImportLineReader reader(content);
    for (int i = 0; !reader.Eof(); ++i) {
        const std::string line = reader.ReadLine();
        Check(line.size() <= ImportLineReader::MaxLine);
        Check(line.find_first_of(std::string("\r\n\0\x1a", 4)) == std::string::npos);
        Check(i <= static_cast<int>(size));
    }
    Check(reader.ReadLine().empty());

    test::MemFiles files;
    test::StoreWorld w(files, "C:\\Fuzz\\");
    w.Add({.omschrijving = "Eigen taak"});
    w.Add({.omschrijving = "KIVO TAAK bestaand", .parameters = "-x"});
    files.files["C:\\Fuzz\\kivoklok.tkn"] = content;
    w.importer.ImportTasks();

    int own = 0;
    for (w.table.GotoFirst(); !w.table.AtEnd(); w.table.GotoNext())
        if (!IsManagedTask(w.table.AsString(Field::Omschrijving))) ++own;
    Check(own == 1);
    Check(w.reports.empty() != files.Exists("C:\\Fuzz\\kivoklok.tkn"));
    return 0;
}
