#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "trend/TrendHistory.h"

namespace zqb {

enum class TrendSeries { Dac, Di0, Di1, Do0, Signal };

inline constexpr TrendSeries AllTrendSeries[] = {TrendSeries::Dac, TrendSeries::Di0, TrendSeries::Di1, TrendSeries::Do0,
                                                 TrendSeries::Signal};

struct TrendPoint {
    qint64 atMs = 0;
    double value = 0;
};
// A stretch of one series without a break: drawn as one line.
using TrendRun = std::vector<TrendPoint>;

// The series' value in a sample; nothing in a gap, or for a signal the module did not report.
std::optional<double> SeriesValue(const TrendSample& sample, TrendSeries series);
bool IsDigital(TrendSeries series);
QString SeriesName(TrendSeries series);  // "DAC code", "DI0", "DI1", "DO", "Signal"

// The stretches of one series in the samples, oldest first: a gap, or a sample without the
// value, ends a stretch, so a lost link is drawn as nothing rather than as a flat line. Digital
// series come as steps: a value holds until the next sample, where the line rises or falls.
std::vector<TrendRun> SeriesRuns(const std::vector<TrendSample>& samples, TrendSeries series);

// For a screen reader, and for anyone: the last values, then the least and greatest value of each
// series over [fromMs, toMs] and the times the link was lost there.
QString TrendSummaryText(const std::vector<TrendSample>& samples, qint64 fromMs, qint64 toMs, bool paused);

}  // namespace zqb
