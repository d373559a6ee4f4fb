#pragma once
// How the core hands a message to the user: the program connects this to the plain message box.
#include <functional>
#include <string>

namespace kivo {

using ReportFn = std::function<void(const std::string& message)>;

} // namespace kivo
