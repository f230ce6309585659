#pragma once

#include <cstdint>
#include <functional>

#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "protocol/DeviceDisplay.h"
#include "protocol/SessionContext.h"
#include "mainwindow/ShapeIndicator.h"

namespace zqb {

// The lamp colours, set when the main window is created.
struct IoColours {
    QColor outputOn{255, 0, 100};
    QColor inputOn{39, 255, 37};
    QColor offFill{240, 240, 240};     // the system menu colour
    QColor offOutline{227, 227, 227};  // the system 3-D light colour
};

// GroupBox1: the two input lamps and the output lamp with its switch. The display follows the
// module's replies only; a click queues SetDo and changes nothing until the acknowledgement.
class DigitalIoPanel {
public:
    DigitalIoPanel(SessionContext& context, DeviceDisplay& display, QGroupBox* groupBox,
                   std::function<void(std::int32_t)> showDacValue);

    void ShowDigitalIo();
    void RequestSetDo(std::uint8_t select, std::uint8_t level);
    void SpeedButton4Click();

    IoColours colours;
    QLabel* Label14;
    QLabel* Label1;
    ShapeIndicator* Shape6;
    QLabel* Label21;
    ShapeIndicator* Shape2;
    ShapeIndicator* Shape1;
    QPushButton* SpeedButton4;

private:
    void PaintLamp(ShapeIndicator* lamp, bool on, const QColor& onColour);

    SessionContext& context_;
    DeviceDisplay& display_;
    std::function<void(std::int32_t)> showDacValue_;
};

}  // namespace zqb
