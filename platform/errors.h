#pragma once
// Every failure of the system is one of these, carrying the text the user is shown.
#include <stdexcept>
#include <string>

namespace kivo {

class KivoError : public std::runtime_error {
public:
    explicit KivoError(const std::string& message) : std::runtime_error(message) {}
};

// A file that exists but cannot be opened (or a folder that is missing). The import must
// tell this apart from other failures: it skips such a file silently and tries again later.
class FileOpenError : public KivoError {
public:
    using KivoError::KivoError;
};

} // namespace kivo
