#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

#include <QDateTime>

#include "protocol/Outcome.h"

namespace zqb {

// One outcome as it happened.
struct LoggedOutcome {
    QDateTime at;  // UTC: taken on every exchange, so no time zone is looked up; shown in local time
    Outcome outcome;
};

// The last outcomes of every operation on the module, newest last, bounded. Watchers (the trend,
// the diagnostics report) are told of each one as it is recorded.
class OutcomeLog {
public:
    explicit OutcomeLog(std::size_t capacity = 200) : capacity_(capacity) {}

    void Record(const Outcome& outcome)
    {
        LoggedOutcome entry{QDateTime::currentDateTimeUtc(), outcome};
        entries_.push_back(entry);
        while (entries_.size() > capacity_) entries_.pop_front();
        for (const auto& watcher : watchers_) watcher(entry);
    }

    // The last `count` outcomes, oldest first.
    std::vector<LoggedOutcome> Last(std::size_t count) const
    {
        const std::size_t n = std::min(count, entries_.size());
        return {entries_.end() - static_cast<std::ptrdiff_t>(n), entries_.end()};
    }
    std::size_t Size() const { return entries_.size(); }

    using Watcher = std::function<void(const LoggedOutcome&)>;
    void Watch(Watcher watcher) { watchers_.push_back(std::move(watcher)); }

private:
    std::size_t capacity_;
    std::deque<LoggedOutcome> entries_;
    std::vector<Watcher> watchers_;
};

}  // namespace zqb
