#pragma once

#include <QWidget>

#include "trend/TrendHistory.h"
#include "trend/TrendSeries.h"

namespace zqb {

// The last ten minutes of the history up to a given end: the DAC code as a line on the left
// axis, the signal as a dashed line on the right axis, DI0, DI1 and DO as steps in lanes of their
// own below, local time along the bottom. A lost link is a hatched stretch with no line through
// it. Drawn with the widget's palette, so it reads under light and dark desktops alike.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 ShownMs = 10 * 60 * 1000;

    explicit TrendChart(const TrendHistory& history, QWidget* parent = nullptr);

    void SetEnd(qint64 endMs);
    qint64 EndMs() const { return endMs_; }
    qint64 StartMs() const { return endMs_ - ShownMs; }

    // Where a time lies across the widget, and the colour a series is drawn in with a palette.
    double XOf(qint64 atMs) const;
    static QColor SeriesColour(TrendSeries series, const QPalette& palette);

    QSize sizeHint() const override { return {760, 380}; }
    QSize minimumSizeHint() const override { return {480, 260}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect PlotArea() const;

    const TrendHistory& history_;
    qint64 endMs_ = 0;
};

}  // namespace zqb
