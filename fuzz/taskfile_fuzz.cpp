// The task file reader over arbitrary bytes: no crash or hang, and whatever it reads is written
// in a form that reads back to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/collation.h"
#include "platform/errors.h"
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

    TMemTable table("memKivoKlok", settings, collator, clock);
    try {
        format.Read(std::string_view(reinterpret_cast<const char*>(data), size), table);
    } catch (const KivoError&) {
        // A bad value stops the read; the tasks before it stay.
    }
    if (table.IsPending()) std::abort();
    const std::string written = format.Write(table);

    TMemTable again("memKivoKlok", settings, collator, clock);
    format.Read(written, again); // what was written must read without failure
    if (again.TaskCount() != table.TaskCount() || format.Write(again) != written) std::abort();
    return 0;
}
