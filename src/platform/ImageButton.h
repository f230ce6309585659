#pragma once

#include <QIcon>
#include <QToolButton>

namespace zqb {

// A picture that acts on a click: flat, no frame, greyed out while disabled, its hint as tool tip.
class ImageButton : public QToolButton {
    Q_OBJECT
public:
    ImageButton(const QIcon& icon, const QString& hint, QWidget* parent, int size = 24);
};

}  // namespace zqb
