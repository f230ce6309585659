#include "mainwindow/ShapeIndicator.h"

#include <QPainter>

#include "platform/WindowLook.h"

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

void ShapeIndicator::SetStale(bool stale)
{
    if (stale == stale_) return;
    stale_ = stale;
    setAccessibleDescription(stale ? QStringLiteral("From an earlier link") : QString());
    update();
}

void ShapeIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect box = rect().adjusted(0, 0, -1, -1);
    if (!stale_) {
        p.setPen(QPen(outline_, 1));
        p.setBrush(fill_);
        p.drawRect(box);
        return;
    }
    // Its colour still tells on from off, faintly, behind a grey dashed frame.
    QColor washed = fill_;
    washed.setAlpha(80);
    p.fillRect(box, Qt::white);
    p.fillRect(box, washed);
    p.setPen(QPen(LookColour::DisabledText, 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
}

}  // namespace zqb
