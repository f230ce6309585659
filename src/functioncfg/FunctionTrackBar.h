#pragma once

#include <QSlider>

namespace zqb {

// A track bar as the function window uses it. Its value is the bar's position; a vertical bar
// has its lowest position at the top, so Up (or the wheel up) moves the thumb up to a lower
// position, which the window shows as a higher value, and End goes to the bottom.
//
// changed() is the bar's change notification: it comes on every change of the position, by the
// user or by code, and also on each scroll action of the user that leaves the position as it
// was (a key at the end of the range, the end of a drag). Code that sets an unchanged position
// gets none.
class FunctionTrackBar : public QSlider {
    Q_OBJECT
public:
    FunctionTrackBar(Qt::Orientation orientation, int maximum, int position, int tickInterval,
                     QWidget* parent = nullptr);

signals:
    void changed();

protected:
    bool event(QEvent* event) override;

private:
    bool actionSeen_ = false;
    bool changeSeen_ = false;
};

}  // namespace zqb
