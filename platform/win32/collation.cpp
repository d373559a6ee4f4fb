#include <windows.h>

#include <climits>

#include "platform/collation.h"
#include "platform/errors.h"

namespace kivo {
namespace {

class Win32Collator : public Collator {
public:
    int Compare(std::string_view a, std::string_view b, bool ignoreCase) const override {
        int la = a.size() > INT_MAX ? INT_MAX : static_cast<int>(a.size());
        int lb = b.size() > INT_MAX ? INT_MAX : static_cast<int>(b.size());
        int r = CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, a.data(), la,
                               b.data(), lb);
        if (r == 0) throw KivoError("Invalid locale.");
        return r - CSTR_EQUAL;
    }
};

} // namespace

const Collator& UserCollator() {
    static Win32Collator collator;
    return collator;
}

} // namespace kivo
