#pragma once

#include <QSlider>

#include "platform/WindowAccessibility.h"

namespace zqb {

// A track bar as the function window uses it. Its value is the bar's position; a vertical bar
// has its lowest position at the top, so Up (or the wheel up) moves the thumb up to a lower
// position, which the window shows as a higher value, and End goes to the bottom.
//
// Screen readers get the number the window shows for the bar (10 - position for an upside-down
// seconds bar), with its unit, never the raw position.
//
// changed() is the bar's change notification: it comes on every change of the position, by the
// user or by code, and also on each scroll action of the user that leaves the position as it
// was (a key at the end of the range, the end of a drag). Code that sets an unchanged position
// gets none.
class FunctionTrackBar : public QSlider, public ShownValue {
    Q_OBJECT
public:
    FunctionTrackBar(Qt::Orientation orientation, int maximum, int position, int tickInterval,
                     QWidget* parent = nullptr);

    // " Sec" or "%", as the window writes the bar's value.
    void SetUnit(const QString& unit) { unit_ = unit; }

    // ShownValue
    double ShownNumber() const override;
    double ShownMinimum() const override { return minimum(); }
    double ShownMaximum() const override { return maximum(); }
    QString ShownText() const override;
    void ShowNumber(double number) override;

signals:
    void changed();

protected:
    bool event(QEvent* event) override;
    void sliderChange(SliderChange change) override;

private:
    QString unit_;
    bool actionSeen_ = false;
    bool changeSeen_ = false;
};

}  // namespace zqb
