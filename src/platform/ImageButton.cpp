#include "ImageButton.h"

namespace zqb {

ImageButton::ImageButton(const QIcon& icon, const QString& hint, QWidget* parent, int size) : QToolButton(parent)
{
    setIcon(icon);
    setIconSize(QSize(size, size));
    setFixedSize(size, size);
    setAutoRaise(true);
    setToolTip(hint);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; background: transparent; }"));
}

}  // namespace zqb
