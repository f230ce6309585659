#include "platform/ImageButton.h"

#include <QKeyEvent>

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
    // No frame, but a visible mark while it has the focus.
    setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; background: transparent; }"
                                 "QToolButton:focus { border: 1px dotted #404040; }"));
}

void ImageButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        animateClick();
        return;
    }
    QToolButton::keyPressEvent(event);
}

}  // namespace zqb
