#include "algemeen/win32/dialogs.h"

namespace kivo {

std::function<void(HWND)> OnDialogShown;

int ShowMessageDialog(const std::string&, const std::string&, int, unsigned, int,
                      const std::string&) {
    return 2;
}
void ShowPlainMessage(const std::string&) {}
void ShowErrorDisplay(const std::string&) {}
std::string ErrorDisplayText(const std::string& message) {
    return message;
}
bool IsFormOpen(const std::string&) {
    return false;
}

} // namespace kivo
