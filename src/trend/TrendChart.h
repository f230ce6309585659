#pragma once

#include <QWidget>

#include "trend/TrendHistory.h"

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

    QSize sizeHint() const override { return {760, 380}; }
    QSize minimumSizeHint() const override { return {480, 260}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TrendHistory& history_;
    qint64 endMs_ = 0;
};

}  // namespace zqb
