#include "platform/ImageButton.h"

#include <QKeyEvent>
#include <QPainter>

#include "platform/WindowLook.h"

namespace zqb {

ImageButton::ImageButton(const QIcon& icon, const QString& hint, QWidget* parent, int size) : QToolButton(parent)
{
    setIcon(icon);
    setIconSize(QSize(size, size));
    setFixedSize(size, size);
    setAutoRaise(true);
    setToolTip(hint);
    setAccessibleName(hint);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; background: transparent; }"));
}

void ImageButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        animateClick();
        return;
    }
    QToolButton::keyPressEvent(event);
}

// The focus is a 2-pixel frame in the highlight colour over the picture's edge, plain to see on
// the white and grey backgrounds alike (a faint dotted line is lost on a 24-pixel icon).
void ImageButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    painter.setPen(QPen(LookColour::Highlight, FocusFrameWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

}  // namespace zqb
