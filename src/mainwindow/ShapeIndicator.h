#pragma once

#include <QColor>
#include <QWidget>

#include "platform/WindowAccessibility.h"

namespace zqb {

// A filled rectangle with an outline: the input and output lamps of the digital I/O panel. What
// its colour says is also its state, for screen readers: an indicator, named, on or off.
class ShapeIndicator : public QWidget, public ShownState {
    Q_OBJECT
public:
    ShapeIndicator(const QRect& geometry, const QString& hint, QWidget* parent);

    void Paint(const QColor& fill, const QColor& outline);
    void SetOn(bool on);
    // A state from an earlier link: drawn washed out with a dashed outline, and said so.
    void SetStale(bool stale);
    bool IsStale() const { return stale_; }
    bool IsOn() const override { return on_; }
    QColor Fill() const { return fill_; }
    QColor Outline() const { return outline_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor outline_;
    bool on_ = false;
    bool stale_ = false;
};

}  // namespace zqb
