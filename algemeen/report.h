#pragma once
// How the core hands a message to the user: the program connects this to the plain message box.
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kivo {

using ReportFn = std::function<void(const std::string& message)>;

// The boxes waiting for the user and those on screen. A box left open on an unattended PC must
// not be joined by a copy of itself every minute: a message that is waiting or shown already is
// not added again. Shown boxes may stack (a box's own message loop shows the next one), so more
// than one can be on screen.
class ReportQueue {
public:
    enum Kind { Plain, ErrorDisplay };
    struct Entry {
        Kind kind = Plain;
        std::string message;
    };

    // False when this message already waits or is on screen.
    bool Add(Kind kind, const std::string& message);
    // Takes the oldest waiting message; it counts as on screen until Done.
    bool Next(Entry& entry);
    void Done(const Entry& entry);
    bool Waiting() const { return !waiting_.empty(); }
    bool Showing(const std::string& message) const;

private:
    bool Known(Kind kind, const std::string& message) const;

    std::deque<Entry> waiting_;
    std::vector<Entry> shown_;
};

} // namespace kivo
