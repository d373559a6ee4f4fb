#pragma once
#include <windows.h>

#include <string>

namespace kivo {

// The system's text for an error code, without the trailing line break and full stop.
inline std::string Win32ErrorText(DWORD code) {
    char* buffer = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text;
    if (n && buffer) text.assign(buffer, n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.'))
        text.pop_back();
    if (text.empty()) text = "System error " + std::to_string(code);
    return text;
}

} // namespace kivo
