#pragma once
// Linguistic comparison in the user's locale (CompareStringA on Windows). Not byte order.
#include <string_view>

namespace kivo {

class Collator {
public:
    virtual ~Collator() = default;
    // <0, 0, >0. Throws KivoError("Invalid locale.") when the service fails.
    virtual int Compare(std::string_view a, std::string_view b, bool ignoreCase) const = 0;
};

const Collator& UserCollator();

} // namespace kivo
