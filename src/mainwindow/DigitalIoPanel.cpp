#include "mainwindow/DigitalIoPanel.h"

#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "platform/WindowLook.h"

namespace zqb {

DigitalIoPanel::DigitalIoPanel(SessionContext& context, DeviceDisplay& display, QGroupBox* groupBox,
                               std::function<void(std::int32_t)> showDacValue)
    : context_(context), display_(display), showDacValue_(std::move(showDacValue))
{
    Label14 = new QLabel(QStringLiteral("DIO"), groupBox);
    Label14->setFont(TahomaFont(11, true));
    Label14->move(9, 3);
    Label14->adjustSize();
    groupBox->setAccessibleName(QStringLiteral("DIO"));

    Label1 = new QLabel(QStringLiteral("DI0"), groupBox);
    Label1->move(83, 13);
    Label1->adjustSize();
    Shape6 = new ShapeIndicator(QRect(76, 30, 36, 16), QStringLiteral("DI0"), groupBox);
    Label1->setBuddy(Shape6);

    Label21 = new QLabel(QStringLiteral("DI1"), groupBox);
    Label21->move(185, 13);
    Label21->adjustSize();
    Shape2 = new ShapeIndicator(QRect(178, 30, 36, 16), QStringLiteral("DI1"), groupBox);
    Label21->setBuddy(Shape2);

    Shape1 = new ShapeIndicator(QRect(278, 17, 60, 7), QString(), groupBox);
    Shape1->setAccessibleName(QStringLiteral("DO0"));
    SpeedButton4 = new QPushButton(QStringLiteral("DO Off"), groupBox);
    SpeedButton4->setGeometry(278, 22, 61, 25);
    SpeedButton4->setToolTip(QStringLiteral("DO0"));
    QObject::connect(SpeedButton4, &QPushButton::clicked, [this] { SpeedButton4Click(); });
}

void DigitalIoPanel::PaintLamp(ShapeIndicator* lamp, bool on, const QColor& onColour)
{
    if (on)
        lamp->Paint(onColour, onColour);
    else
        lamp->Paint(colours.offFill, colours.offOutline);
    lamp->SetOn(on);
}

void DigitalIoPanel::ShowDigitalIo()
{
    DeviceSession& s = context_.session;
    s.doState &= s.doMask;
    const bool outputOn = (s.doState & 1) != 0;
    PaintLamp(Shape1, outputOn, colours.outputOn);
    SpeedButton4->setText(outputOn ? QStringLiteral("DO On") : QStringLiteral("DO Off"));
    // The caption is the state; what a press does is said apart.
    SpeedButton4->setAccessibleDescription(outputOn ? QStringLiteral("Switches DO0 off") : QStringLiteral("Switches DO0 on"));
    s.diState &= s.diMask;
    PaintLamp(Shape6, (s.diState & 1) != 0, colours.inputOn);
    PaintLamp(Shape2, (s.diState & 2) != 0, colours.inputOn);
    showDacValue_(s.dacCode);
}

void DigitalIoPanel::RequestSetDo(std::uint8_t select, std::uint8_t level)
{
    QueueCommand(context_, SetDo, select, level);
    display_.AppendLog(QStringLiteral("Loop:%1,Val:%2").arg(select).arg(level));
}

void DigitalIoPanel::SpeedButton4Click()
{
    // Switch DO0 to the opposite of what is shown.
    RequestSetDo(1, static_cast<std::uint8_t>(~context_.session.doState & 1));
}

}  // namespace zqb
