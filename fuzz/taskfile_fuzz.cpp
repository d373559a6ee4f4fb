// The task file reader over arbitrary bytes: no crash or hang, and whatever it reads is written
// in a form that reads back to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "platform/collation.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"

namespace {

class ByteCollator : public kivo::Collator {
public:
    int Compare(std::string_view a, std::string_view b, bool) const override {
        return a.compare(b);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    static const FormatSettings settings;
    static const ByteCollator collator;
    static const test::FakeClock clock{2024, 6, 15};
    static const TCSVStreamFormat format{settings};

    const int year = clock.Now().date.year;
    TMemTable table("memKivoKlok", settings, collator, clock);
    // A bad value stops the read; the tasks before it stay.
    table.AppendFilled(
        format.Read(std::string_view(reinterpret_cast<const char*>(data), size), year).tasks);
    if (table.IsPending()) std::abort();
    const std::string written = WriteTable(format, table);

    TMemTable again("memKivoKlok", settings, collator, clock);
    TaskFileRead back = format.Read(written, year);
    if (back.failure) std::abort(); // what was written must read without failure
    again.AppendFilled(std::move(back.tasks));
    if (again.TaskCount() != table.TaskCount() || WriteTable(format, again) != written)
        std::abort();
    return 0;
}
