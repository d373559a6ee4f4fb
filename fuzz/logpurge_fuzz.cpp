// The purge over arbitrary log content: no crash, and what is left is a tail of the input's
// lines, every one ended by CR LF.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "logbook/logbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    if (size < 2) return 0;
    const FormatSettings settings;
    // The first two bytes set today within a few centuries of 2024.
    const std::int32_t today = DayNumber({2024, 3, 5}) + (data[0] << 8 | data[1]) - 32768;
    const CivilDate now = CivilFromDayNumber(today);
    const std::string_view content(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::string purged = PurgeLogContent(content, today, now.year, settings);
    const std::string all = NormalizeLogContent(content);
    if (purged.size() > all.size() ||
        all.compare(all.size() - purged.size(), purged.size(), purged) != 0)
        std::abort();
    if (!purged.empty() && purged.compare(purged.size() - 2, 2, "\r\n") != 0) std::abort();
    // Purging again the same day removes nothing more.
    if (PurgeLogContent(purged, today, now.year, settings) != purged) std::abort();
    const auto lines = SplitLogLines(content);
    (void)lines;
    return 0;
}
