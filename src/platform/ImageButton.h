#pragma once

#include <QIcon>
#include <QToolButton>

namespace zqb {

// A picture that acts on a click: flat, no frame, greyed out while disabled, its hint as tool tip
// and as its accessible name. It takes the keyboard focus, shows it with a clear frame, and Space
// or Enter click it.
class ImageButton : public QToolButton {
    Q_OBJECT
public:
    ImageButton(const QIcon& icon, const QString& hint, QWidget* parent, int size = 24);

    static constexpr int FocusFrameWidth = 2;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace zqb
