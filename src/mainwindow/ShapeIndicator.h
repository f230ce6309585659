#pragma once

#include <QColor>
#include <QWidget>

namespace zqb {

// A filled rectangle with an outline: the input and output lamps of the digital I/O panel.
class ShapeIndicator : public QWidget {
    Q_OBJECT
public:
    ShapeIndicator(const QRect& geometry, const QString& hint, QWidget* parent);

    void Paint(const QColor& fill, const QColor& outline);
    QColor Fill() const { return fill_; }
    QColor Outline() const { return outline_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor outline_;
};

}  // namespace zqb
