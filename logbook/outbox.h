#pragma once
// The one way to the log book. Every line the program makes waits here, in the order it was
// made and with its own time, until a write that carries it succeeds; nothing else writes lines.
// The lines of one event (a check, the start-up, a save, a run's end) go out in one write.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logbook/logbook.h"

namespace kivo {

class LogOutbox {
public:
    // While the log refuses writes, at most this many lines wait (about a week of a busy task
    // list); beyond it the oldest go, the start-up line excepted, and the next write that
    // succeeds carries one line that says how many went and when they were made.
    static constexpr std::size_t DefaultMaxWaiting = 100'000;
    // Beside the log: what the close could not write, said at the next start.
    static constexpr const char* LostFileName = "kivoklok-niet-gelogd.txt";

    LogOutbox(LogBook& log, FileSystem& files, const Clock& clock, const FormatSettings& settings,
              std::string appDir, std::size_t maxWaiting = DefaultMaxWaiting);
    LogOutbox(const LogOutbox&) = delete;
    LogOutbox& operator=(const LogOutbox&) = delete;

    LogBook& Log() { return log_; }

    // A line, at this moment unless it has its time. Outside a batch it goes out at once.
    void Post(LogEntry entry);
    void Note(const std::string& message);

    // Lines posted while a batch is open wait for its end, which writes what waits. Nested
    // batches each write at their end: a check run inside another event's box is not held up.
    class Batch {
    public:
        explicit Batch(LogOutbox& outbox);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        LogOutbox& outbox_;
    };

    // Writes what waits in one write. True when nothing waits afterwards. A refused write
    // keeps every line; never throws.
    bool Flush();
    std::size_t Waiting() const { return waiting_.size(); }

    // The last write, at the close: what it cannot write is kept beside the log, as a count and
    // a period, for the next start.
    void Close();
    // At the start: what the previous close could not write comes first in the next write.
    void ReadLost();

    // After each write that succeeded: the lines it carried (without line ends), in order.
    std::function<void(const std::vector<std::string>& lines)> OnWritten;
    // A write was refused while the one before succeeded: once for each stretch of refusals.
    std::function<void(const std::string& error)> OnRefused;

private:
    struct Line {
        LogEntry entry;
        bool pinned; // the start-up line: never dropped
    };
    struct Lost {
        std::size_t count = 0;
        LocalDateTime first, last;
    };

    void Trim();
    void AddLost(std::size_t count, const LocalDateTime& first, const LocalDateTime& last);
    std::string LostPath() const;

    LogBook& log_;
    FileSystem& files_;
    const Clock& clock_;
    const FormatSettings& settings_;
    std::string appDir_;
    std::size_t maxWaiting_;
    std::deque<Line> waiting_;
    // Lines dropped since the last write that succeeded; their line goes before waiting_[lostAt_].
    std::optional<Lost> lost_;
    std::size_t lostAt_ = 0;
    bool lostFromFile_ = false; // the file goes once its line is written
    int batches_ = 0;
    bool refusing_ = false;
};

// <n> regels verloren ... : the line for lines that could not be written.
std::string LostLinesNote(std::size_t count, const LocalDateTime& first, const LocalDateTime& last,
                          const FormatSettings& settings);

} // namespace kivo
