#include "trend/TrendSeries.h"

#include <algorithm>

#include <QDateTime>
#include <QStringList>

#include "protocol/DacText.h"

namespace zqb {

namespace {

QString ClockText(qint64 atMs) { return QDateTime::fromMSecsSinceEpoch(atMs).toString(QStringLiteral("HH:mm:ss")); }

QString OnOff(double value) { return value != 0 ? QStringLiteral("on") : QStringLiteral("off"); }

QString ValueText(TrendSeries series, double value)
{
    switch (series) {
    case TrendSeries::Dac: {
        const auto code = static_cast<std::int32_t>(value);
        return QStringLiteral("%1 (%2)").arg(code).arg(DacVoltsText(code));
    }
    case TrendSeries::Signal: return QStringLiteral("%1 dBm").arg(static_cast<int>(value));
    default: return OnOff(value);
    }
}

QString RangeText(TrendSeries series, double least, double most)
{
    if (least == most) return QStringLiteral("%1 %2 throughout").arg(SeriesName(series), ValueText(series, least));
    if (IsDigital(series)) return QStringLiteral("%1 both off and on").arg(SeriesName(series));
    return QStringLiteral("%1 from %2 to %3").arg(SeriesName(series), ValueText(series, least), ValueText(series, most));
}

}  // namespace

std::optional<double> SeriesValue(const TrendSample& sample, TrendSeries series)
{
    if (sample.gap) return std::nullopt;
    switch (series) {
    case TrendSeries::Dac: return sample.dacCode;
    case TrendSeries::Di0: return sample.Di0() ? 1 : 0;
    case TrendSeries::Di1: return sample.Di1() ? 1 : 0;
    case TrendSeries::Do0: return sample.Do0() ? 1 : 0;
    case TrendSeries::Signal:
        if (!sample.signalDbm) return std::nullopt;
        return *sample.signalDbm;
    }
    return std::nullopt;
}

bool IsDigital(TrendSeries series) { return series != TrendSeries::Dac && series != TrendSeries::Signal; }

QString SeriesName(TrendSeries series)
{
    switch (series) {
    case TrendSeries::Dac: return QStringLiteral("DAC code");
    case TrendSeries::Di0: return QStringLiteral("DI0");
    case TrendSeries::Di1: return QStringLiteral("DI1");
    case TrendSeries::Do0: return QStringLiteral("DO");
    case TrendSeries::Signal: return QStringLiteral("Signal");
    }
    return {};
}

std::vector<TrendRun> SeriesRuns(const std::vector<TrendSample>& samples, TrendSeries series)
{
    std::vector<TrendRun> runs;
    TrendRun run;
    for (const TrendSample& sample : samples) {
        const std::optional<double> value = SeriesValue(sample, series);
        if (!value) {
            if (!run.empty()) runs.push_back(std::move(run));
            run.clear();
            continue;
        }
        if (IsDigital(series) && !run.empty() && run.back().value != *value)
            run.push_back({sample.atMs, run.back().value});
        run.push_back({sample.atMs, *value});
    }
    if (!run.empty()) runs.push_back(std::move(run));
    return runs;
}

QString TrendSummaryText(const std::vector<TrendSample>& samples, qint64 fromMs, qint64 toMs, bool paused)
{
    QStringList lines;
    if (paused) lines << QStringLiteral("Paused at %1.").arg(ClockText(toMs));
    const auto last = std::find_if(samples.rbegin(), samples.rend(), [](const TrendSample& s) { return !s.gap; });
    if (last == samples.rend()) {
        lines << QStringLiteral("No values yet: the trend fills from the console's polls of the linked module.");
        return lines.join(QLatin1Char(' '));
    }
    QStringList values;
    for (TrendSeries series : AllTrendSeries) {
        const std::optional<double> value = SeriesValue(*last, series);
        values << QStringLiteral("%1 %2").arg(SeriesName(series),
                                              value ? ValueText(series, *value) : QStringLiteral("not reported"));
    }
    lines << QStringLiteral("Last values at %1: %2.").arg(ClockText(last->atMs), values.join(QStringLiteral(", ")));

    QStringList ranges;
    for (TrendSeries series : AllTrendSeries) {
        std::optional<double> least, most;
        for (const TrendSample& sample : samples) {
            const std::optional<double> value = SeriesValue(sample, series);
            if (!value) continue;
            least = least ? std::min(*least, *value) : *value;
            most = most ? std::max(*most, *value) : *value;
        }
        if (least) ranges << RangeText(series, *least, *most);
    }
    lines << QStringLiteral("From %1 to %2: %3.").arg(ClockText(fromMs), ClockText(toMs), ranges.join(QStringLiteral("; ")));

    QStringList losses;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (!samples[i].gap || samples[i].atMs < fromMs) continue;
        const auto back = std::find_if(samples.begin() + static_cast<std::ptrdiff_t>(i) + 1, samples.end(),
                                       [](const TrendSample& s) { return !s.gap; });
        losses << (back == samples.end() ? QStringLiteral("since %1").arg(ClockText(samples[i].atMs))
                                         : QStringLiteral("%1 to %2").arg(ClockText(samples[i].atMs), ClockText(back->atMs)));
    }
    if (!losses.isEmpty())
        lines << QStringLiteral("Link lost %1: %2.")
                     .arg(losses.size() == 1 ? QStringLiteral("once") : QStringLiteral("%1 times").arg(losses.size()),
                          losses.join(QStringLiteral(", ")));
    return lines.join(QLatin1Char(' '));
}

}  // namespace zqb
