#include "mainwindow/ShapeIndicator.h"

#include <QPainter>

namespace zqb {

ShapeIndicator::ShapeIndicator(const QRect& geometry, const QString& hint, QWidget* parent) : QWidget(parent)
{
    setGeometry(geometry);
    setToolTip(hint);
    setAccessibleName(hint);
}

void ShapeIndicator::SetOn(bool on)
{
    if (on == on_) return;
    on_ = on;
    NotifyShownStateChanged(this);
}

void ShapeIndicator::Paint(const QColor& fill, const QColor& outline)
{
    if (fill == fill_ && outline == outline_) return;
    fill_ = fill;
    outline_ = outline;
    update();
}

void ShapeIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(outline_, 1));
    p.setBrush(fill_);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace zqb
