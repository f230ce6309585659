#pragma once

#include <QIcon>
#include <QToolButton>

namespace zqb {

// A picture that acts on a click: flat, no frame, greyed out while disabled, its hint as tool tip
// and as its accessible name. It takes the keyboard focus, and Space or Enter click it.
class ImageButton : public QToolButton {
    Q_OBJECT
public:
    ImageButton(const QIcon& icon, const QString& hint, QWidget* parent, int size = 24);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace zqb
