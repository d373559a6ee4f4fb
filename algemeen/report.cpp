#include "algemeen/report.h"

#include <algorithm>

namespace kivo {

bool ReportQueue::Known(Kind kind, const std::string& message) const {
    auto same = [&](const Entry& e) { return e.kind == kind && e.message == message; };
    return std::any_of(waiting_.begin(), waiting_.end(), same) ||
           std::any_of(shown_.begin(), shown_.end(), same);
}

bool ReportQueue::Add(Kind kind, const std::string& message) {
    if (Known(kind, message)) return false;
    waiting_.push_back(Entry{kind, message});
    return true;
}

bool ReportQueue::Next(Entry& entry) {
    if (waiting_.empty()) return false;
    entry = std::move(waiting_.front());
    waiting_.pop_front();
    shown_.push_back(entry);
    return true;
}

void ReportQueue::Done(const Entry& entry) {
    auto it = std::find_if(shown_.begin(), shown_.end(), [&](const Entry& e) {
        return e.kind == entry.kind && e.message == entry.message;
    });
    if (it != shown_.end()) shown_.erase(it);
}

bool ReportQueue::Showing(const std::string& message) const {
    return std::any_of(shown_.begin(), shown_.end(),
                       [&](const Entry& e) { return e.message == message; });
}

} // namespace kivo
