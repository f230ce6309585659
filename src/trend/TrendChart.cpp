#include "trend/TrendChart.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>


namespace zqb {

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
constexpr int DacMaximum = 4095;

// Series colours with at least 4.5:1 against the chart's own background, light or dark: the axis
// labels are written in them.
struct ChartColours {
    QColor background, text, grid, frame, gap;
    QColor Of(TrendSeries series) const
    {
        switch (series) {
        case TrendSeries::Dac: return dac;
        case TrendSeries::Signal: return signal;
        case TrendSeries::Di0: return di0;
        case TrendSeries::Di1: return di1;
        case TrendSeries::Do0: return do0;
        }
        return text;
    }
    QColor dac, signal, di0, di1, do0;
};

ChartColours ColoursFor(const QPalette& palette)
{
    ChartColours c;
    c.background = palette.color(QPalette::Base);
    c.text = palette.color(QPalette::Text);
    const bool dark = c.background.lightness() < 128;
    c.grid = dark ? c.background.lighter(190) : c.background.darker(118);
    c.frame = dark ? c.background.lighter(300) : c.background.darker(160);
    c.gap = dark ? QColor(150, 150, 150) : QColor(110, 110, 110);
    if (dark) {
        c.dac = QColor(0x8A, 0xB4, 0xFF);
        c.signal = QColor(0xFF, 0xB0, 0x70);
        c.di0 = QColor(0x6F, 0xDC, 0x85);
        c.di1 = QColor(0xD6, 0xA8, 0xFF);
        c.do0 = QColor(0xFF, 0x7F, 0x9F);
    } else {
        c.dac = QColor(0x1F, 0x4F, 0xBF);
        c.signal = QColor(0xA0, 0x48, 0x00);
        c.di0 = QColor(0x1B, 0x7A, 0x2E);
        c.di1 = QColor(0x7A, 0x2E, 0xA8);
        c.do0 = QColor(0xC0, 0x18, 0x48);
    }
    return c;
}

// The signal axis spans the values shown, in whole tens of dBm, at least 20 dB.
std::pair<int, int> SignalAxis(const std::vector<TrendSample>& samples)
{
    std::optional<int> least, most;
    for (const TrendSample& s : samples) {
        if (s.gap || !s.signalDbm) continue;
        least = least ? std::min(*least, *s.signalDbm) : *s.signalDbm;
        most = most ? std::max(*most, *s.signalDbm) : *s.signalDbm;
    }
    if (!least) return {-100, -20};
    int low = static_cast<int>(std::floor(*least / 10.0)) * 10;
    int high = static_cast<int>(std::ceil(*most / 10.0)) * 10;
    if (high - low < 20) {
        low = std::min(low, high - 20);
    }
    return {low, high};
}

}  // namespace

TrendChart::TrendChart(const TrendHistory& history, QWidget* parent)
    : QWidget(parent), history_(history), endMs_(QDateTime::currentMSecsSinceEpoch())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Trend chart"));
}

void TrendChart::SetEnd(qint64 endMs)
{
    endMs_ = endMs;
    update();
}

QRect TrendChart::PlotArea() const
{
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    return rect().adjusted(metrics.horizontalAdvance(QStringLiteral("00000")) + 12, 2 * line + 6,
                           -(metrics.horizontalAdvance(QStringLiteral("-100 dBm")) + 12), -(line + 10));
}

double TrendChart::XOf(qint64 atMs) const
{
    const QRect plot = PlotArea();
    return plot.left() + static_cast<double>(atMs - StartMs()) * plot.width() / static_cast<double>(ShownMs);
}

QColor TrendChart::SeriesColour(TrendSeries series, const QPalette& palette) { return ColoursFor(palette).Of(series); }

void TrendChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const ChartColours colours = ColoursFor(palette());
    p.fillRect(rect(), colours.background);

    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const QRect plot = PlotArea();
    if (plot.width() < 40 || plot.height() < 60) return;
    const int analogHeight = plot.height() * 58 / 100;
    const QRect analog(plot.left(), plot.top(), plot.width(), analogHeight);
    const QRect digital(plot.left(), analog.bottom() + line, plot.width(), plot.bottom() - analog.bottom() - line);

    const qint64 from = StartMs();
    const qint64 to = endMs_;
    const std::vector<TrendSample> samples = history_.Covering(from, to);
    const auto xOf = [this](qint64 at) { return XOf(at); };

    // Legend, in the order of the lanes and axes; on a second line where the first is full.
    int x = plot.left();
    int legendY = line / 2 + 4;
    for (TrendSeries series : AllTrendSeries) {
        const QString name = series == TrendSeries::Dac      ? QStringLiteral("DAC code (left axis)")
                             : series == TrendSeries::Signal ? QStringLiteral("Signal dBm (right axis)")
                                                             : SeriesName(series);
        const int width = 28 + metrics.horizontalAdvance(name);
        if (x > plot.left() && x + width > this->width() - 4) {
            x = plot.left();
            legendY += line + 2;
        }
        QPen pen(colours.Of(series), 2.5);
        if (series == TrendSeries::Signal) pen.setStyle(Qt::DashLine);
        p.setPen(pen);
        p.drawLine(QPointF(x, legendY), QPointF(x + 22, legendY));
        p.setPen(colours.text);
        p.drawText(QPointF(x + 28, legendY + metrics.ascent() / 2 - 1), name);
        x += width + 18;
    }

    // Grid: a line each minute, labelled in local time.
    p.setPen(QPen(colours.grid, 1));
    const qint64 firstMinute = (from / MinuteMs + 1) * MinuteMs;
    for (qint64 at = firstMinute; at <= to; at += MinuteMs) {
        const double gx = xOf(at);
        p.setPen(QPen(colours.grid, 1));
        p.drawLine(QPointF(gx, analog.top()), QPointF(gx, analog.bottom()));
        p.drawLine(QPointF(gx, digital.top()), QPointF(gx, digital.bottom()));
        const QString label = QDateTime::fromMSecsSinceEpoch(at).toString(QStringLiteral("HH:mm"));
        const int width = metrics.horizontalAdvance(label);
        if (gx - width / 2.0 < plot.left() - 4 || gx + width / 2.0 > plot.right() + 4) continue;
        p.setPen(colours.text);
        p.drawText(QPointF(gx - width / 2.0, plot.bottom() + line + 2), label);
    }

    // DAC axis on the left, signal axis on the right, over the analog area.
    const auto [signalLow, signalHigh] = SignalAxis(samples);
    const auto dacY = [&](double code) { return analog.bottom() - code * analog.height() / DacMaximum; };
    const auto signalY = [&, low = signalLow, high = signalHigh](double dbm) {
        return analog.bottom() - (dbm - low) * analog.height() / (high - low);
    };
    for (int code : {0, 1024, 2048, 3072, 4095}) {
        const double y = dacY(code);
        p.setPen(QPen(colours.grid, 1));
        p.drawLine(QPointF(analog.left(), y), QPointF(analog.right(), y));
        p.setPen(colours.Of(TrendSeries::Dac));
        const QString label = QString::number(code);
        p.drawText(QPointF(analog.left() - 6 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2.0 - 1), label);
    }
    const int signalStep = (signalHigh - signalLow) > 40 ? 20 : 10;
    for (int dbm = signalLow; dbm <= signalHigh; dbm += signalStep) {
        p.setPen(colours.Of(TrendSeries::Signal));
        p.drawText(QPointF(analog.right() + 6, signalY(dbm) + metrics.ascent() / 2.0 - 1), QStringLiteral("%1 dBm").arg(dbm));
    }

    // Digital lanes, each with its name on the left.
    const TrendSeries lanes[] = {TrendSeries::Di0, TrendSeries::Di1, TrendSeries::Do0};
    const double laneHeight = digital.height() / 3.0;
    const auto laneY = [&](int lane, double value) {
        const double top = digital.top() + lane * laneHeight + 5;
        const double bottom = digital.top() + (lane + 1) * laneHeight - 5;
        return value != 0 ? top : bottom;
    };
    for (int lane = 0; lane < 3; ++lane) {
        p.setPen(QPen(colours.grid, 1, Qt::DotLine));
        if (lane > 0) p.drawLine(QPointF(digital.left(), digital.top() + lane * laneHeight),
                                 QPointF(digital.right(), digital.top() + lane * laneHeight));
        p.setPen(colours.text);
        const QString name = SeriesName(lanes[lane]);
        p.drawText(QPointF(digital.left() - 6 - metrics.horizontalAdvance(name),
                           digital.top() + (lane + 0.5) * laneHeight + metrics.ascent() / 2.0 - 1),
                   name);
    }

    // Lost links: hatched from the failed poll to the next sample, with no line through them.
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (!samples[i].gap) continue;
        qint64 back = to;
        for (std::size_t j = i + 1; j < samples.size(); ++j)
            if (!samples[j].gap) {
                back = samples[j].atMs;
                break;
            }
        const double left = std::max<double>(xOf(samples[i].atMs), plot.left());
        const double right = std::min<double>(xOf(back), plot.right());
        if (right <= left) continue;
        for (const QRect& area : {analog, digital}) {
            const QRectF band(left, area.top(), std::max(right - left, 2.0), area.height());
            p.fillRect(band, QBrush(colours.gap, Qt::BDiagPattern));
        }
        const QString label = QStringLiteral("link lost");
        if (right - left > metrics.horizontalAdvance(label) + 6) {
            p.setPen(colours.text);
            p.drawText(QPointF(left + 3, analog.top() + line), label);
        }
    }

    const auto drawRuns = [&](TrendSeries series, const QRect& clip, const std::function<double(double)>& yOf, Qt::PenStyle style) {
        p.save();
        p.setClipRect(clip.adjusted(-1, -3, 1, 3));
        QPen pen(colours.Of(series), 2.5, style, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        for (const TrendRun& run : SeriesRuns(samples, series)) {
            if (run.size() == 1) {
                p.setBrush(colours.Of(series));
                p.drawEllipse(QPointF(xOf(run.front().atMs), yOf(run.front().value)), 2.5, 2.5);
                continue;
            }
            QPainterPath path(QPointF(xOf(run.front().atMs), yOf(run.front().value)));
            for (std::size_t k = 1; k < run.size(); ++k) path.lineTo(xOf(run[k].atMs), yOf(run[k].value));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
        }
        p.restore();
    };
    drawRuns(TrendSeries::Dac, analog, dacY, Qt::SolidLine);
    drawRuns(TrendSeries::Signal, analog, signalY, Qt::DashLine);
    for (int lane = 0; lane < 3; ++lane)
        drawRuns(lanes[lane], digital, [&, lane](double v) { return laneY(lane, v); }, Qt::SolidLine);

    p.setPen(QPen(colours.frame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(analog);
    p.drawRect(digital);

    if (std::none_of(samples.begin(), samples.end(), [](const TrendSample& s) { return !s.gap; })) {
        p.setPen(colours.text);
        p.drawText(analog, Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("No values in these ten minutes.\nThe trend fills from the console's polls of the linked module."));
    }
}

}  // namespace zqb
