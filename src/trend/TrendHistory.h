#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include <QObject>

namespace zqb {

// What the console knew of the module after one of its polls, or the mark of a poll that found
// no module: the link was lost there, and nothing is known until the next sample.
struct TrendSample {
    qint64 atMs = 0;  // milliseconds since the epoch (UTC); shown in local time
    bool gap = false;
    std::int32_t dacCode = 0;
    std::uint8_t diBits = 0;  // bit 0 DI0, bit 1 DI1
    std::uint8_t doBits = 0;  // bit 0 DO0
    std::optional<int> signalDbm;  // not reported: none

    bool Di0() const { return diBits & 1; }
    bool Di1() const { return diBits & 2; }
    bool Do0() const { return doBits & 1; }
};

// The samples of the last hour, oldest first, in memory for the whole run so that the trend
// window can be closed and opened again without losing them.
class TrendHistory : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 KeptMs = 60 * 60 * 1000;
    // A bound on memory whatever the rate: polls come about every 3.1 s, replies to the output
    // switch between them.
    static constexpr std::size_t MaxSamples = 20000;

    explicit TrendHistory(QObject* parent = nullptr) : QObject(parent) {}

    // Samples older than an hour before the newest one, or past the count, are dropped. A gap
    // after a gap adds nothing: the link is still lost. A sample earlier than the newest (the
    // clock was set back) starts the history again rather than drawing back in time.
    void Append(const TrendSample& sample);
    const std::deque<TrendSample>& Samples() const { return samples_; }
    bool Empty() const { return samples_.empty(); }

    // The samples that matter for [fromMs, toMs]: those inside, and the last one before, whose
    // value holds at fromMs.
    std::vector<TrendSample> Covering(qint64 fromMs, qint64 toMs) const;

signals:
    void appended();

private:
    std::deque<TrendSample> samples_;
};

}  // namespace zqb
