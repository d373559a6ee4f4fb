#include "logbook/outbox.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "algemeen/datetime.h"
#include "algemeen/text.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace kivo {

namespace {

std::string Moment(const LocalDateTime& t, const FormatSettings& settings) {
    std::string text = FormatDate(DateOf(t), settings);
    text += ' ';
    text += FormatTime(TimeOf(t), settings);
    return text;
}

bool Before(const LocalDateTime& a, const LocalDateTime& b) {
    const double x = DateOf(a) + TimeOf(a), y = DateOf(b) + TimeOf(b);
    return x < y;
}

// The lost record as the close leaves it: "<count> <y> <m> <d> <h> <n> <y> <m> <d> <h> <n>".
std::string LostRecordText(std::size_t count, const LocalDateTime& a, const LocalDateTime& b) {
    char text[128];
    std::snprintf(text, sizeof text, "%zu %d %d %d %d %d %d %d %d %d %d\r\n", count, a.date.year,
                  a.date.month, a.date.day, a.time.hour, a.time.minute, b.date.year, b.date.month,
                  b.date.day, b.time.hour, b.time.minute);
    return text;
}

bool ValidMoment(const LocalDateTime& t) {
    return IsValidDate(t.date.year, t.date.month, t.date.day) && t.time.hour >= 0 &&
           t.time.hour < 24 && t.time.minute >= 0 && t.time.minute < 60;
}

} // namespace

std::string LostLinesNote(std::size_t count, const LocalDateTime& first, const LocalDateTime& last,
                          const FormatSettings& settings) {
    std::string note = "Logboek niet beschrijfbaar: ";
    note += std::to_string(count);
    if (count == 1) {
        note += " regel verloren (gemaakt ";
        note += Moment(first, settings);
    } else {
        note += " regels verloren (gemaakt van ";
        note += Moment(first, settings);
        note += " tot ";
        note += Moment(last, settings);
    }
    note += ')';
    return note;
}

LogOutbox::LogOutbox(LogBook& log, FileSystem& files, const Clock& clock,
                     const FormatSettings& settings, std::string appDir, std::size_t maxWaiting)
    : log_(log), files_(files), clock_(clock), settings_(settings), appDir_(std::move(appDir)),
      maxWaiting_(maxWaiting < 2 ? 2 : maxWaiting) {}

std::string LogOutbox::LostPath() const {
    return appDir_ + LostFileName;
}

void LogOutbox::Post(LogEntry entry) {
    if (!entry.at) entry.at = clock_.Now();
    const bool pinned = entry.kind == LogStarted;
    waiting_.push_back(Line{std::move(entry), pinned});
    if (batches_ == 0) Flush();
}

void LogOutbox::Note(const std::string& message) {
    LogEntry entry;
    entry.message = message;
    Post(std::move(entry));
}

LogOutbox::Batch::Batch(LogOutbox& outbox) : outbox_(outbox) {
    ++outbox_.batches_;
}

LogOutbox::Batch::~Batch() {
    --outbox_.batches_;
    outbox_.Flush();
}

bool LogOutbox::Flush() {
    if (waiting_.empty() && !lost_) return true;
    std::vector<LogEntry> lines;
    lines.reserve(waiting_.size() + 1);
    for (std::size_t i = 0; i <= waiting_.size(); ++i) {
        if (lost_ && i == lostAt_) {
            LogEntry note;
            note.message = LostLinesNote(lost_->count, lost_->first, lost_->last, settings_);
            note.at = lost_->first;
            lines.push_back(std::move(note));
        }
        if (i < waiting_.size()) lines.push_back(waiting_[i].entry);
    }
    std::vector<std::string> written;
    try {
        written = log_.WriteLog(lines);
    } catch (const std::exception& e) {
        const bool first = !std::exchange(refusing_, true);
        Trim();
        if (first && OnRefused) OnRefused(e.what());
        return false;
    }
    refusing_ = false;
    waiting_.clear();
    lost_.reset();
    lostAt_ = 0;
    if (std::exchange(lostFromFile_, false)) files_.Delete(LostPath());
    if (OnWritten) {
        try {
            OnWritten(written);
        } catch (const std::exception&) {
            // What follows the log must not take back what is in it.
        }
    }
    return true;
}

// Only a log that refuses writes lets lines pile up: the oldest go, never the start-up line.
void LogOutbox::Trim() {
    while (waiting_.size() > maxWaiting_ - 1) {
        std::size_t i = lostAt_;
        while (i < waiting_.size() && waiting_[i].pinned) ++i;
        if (i == waiting_.size()) return;
        if (!lost_) lostAt_ = i;
        const LocalDateTime at = *waiting_[i].entry.at;
        AddLost(1, at, at);
        waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void LogOutbox::AddLost(std::size_t count, const LocalDateTime& first, const LocalDateTime& last) {
    if (!lost_) {
        lost_ = Lost{count, first, last};
        return;
    }
    lost_->count += count;
    if (Before(first, lost_->first)) lost_->first = first;
    if (Before(lost_->last, last)) lost_->last = last;
}

void LogOutbox::Close() {
    if (Flush()) return;
    std::size_t count = 0;
    LocalDateTime first{}, last{};
    for (const Line& w : waiting_) {
        if (count == 0 || Before(*w.entry.at, first)) first = *w.entry.at;
        if (count == 0 || Before(last, *w.entry.at)) last = *w.entry.at;
        ++count;
    }
    if (count > 0) AddLost(count, first, last);
    waiting_.clear();
    if (!lost_) return;
    try {
        files_.ReplaceAll(LostPath(), LostRecordText(lost_->count, lost_->first, lost_->last));
    } catch (const std::exception&) {
        // Neither the log nor its folder takes a line: nothing is left to say it with.
    }
}

void LogOutbox::ReadLost() {
    std::string text;
    try {
        if (!files_.Exists(LostPath())) return;
        text = files_.ReadAll(LostPath());
    } catch (const std::exception&) {
        return; // read at the next start
    }
    unsigned long long count = 0;
    LocalDateTime a{}, b{};
    const int read =
        std::sscanf(text.c_str(), "%llu %d %d %d %d %d %d %d %d %d %d", &count, &a.date.year,
                    &a.date.month, &a.date.day, &a.time.hour, &a.time.minute, &b.date.year,
                    &b.date.month, &b.date.day, &b.time.hour, &b.time.minute);
    lostFromFile_ = true;
    if (read != 11 || count == 0 || !ValidMoment(a) || !ValidMoment(b)) {
        // Not ours to read: at least the number, when there is one.
        if (read < 1 || count == 0) count = 1;
        a = b = clock_.Now();
    }
    if (!lost_) lostAt_ = 0;
    AddLost(static_cast<std::size_t>(count), a, b);
}

} // namespace kivo
