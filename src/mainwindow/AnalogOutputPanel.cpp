#include "mainwindow/AnalogOutputPanel.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMouseEvent>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "setup/ConfigRecordPatch.h"
#include "protocol/DacText.h"
#include "platform/Icons.h"
#include "platform/WindowLook.h"

namespace zqb {

namespace {

QLabel* MakeLabel(const QString& text, QWidget* parent, int x, int y, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLabel* MakeValue(const QString& text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setFont(TahomaFont(13, true));
    SetTextColour(label, QColor(0, 0, 128));
    label->setGeometry(x, y, 90, 18);
    return label;
}

QCheckBox* MakeCheckBox(const QString& text, const QString& hint, QWidget* parent, int x, int y)
{
    auto* box = new QCheckBox(text, parent);
    box->setToolTip(hint);
    box->move(x, y);
    box->adjustSize();
    return box;
}

}  // namespace

AnalogOutputPanel::AnalogOutputPanel(SessionContext& context, CommandTransport& transport, DeviceDisplay& display,
                                     QGroupBox* analogBox, QGroupBox* calibrationBox)
    : context_(context), transport_(transport), display_(display)
{
    BuildAnalogBox(analogBox);
    BuildCalibrationBox(calibrationBox);
}

void AnalogOutputPanel::BuildAnalogBox(QGroupBox* box)
{
    const QFont caption = TahomaFont(11);
    Label8 = MakeLabel(QStringLiteral("DAC"), box, 9, 3, TahomaFont(11, true));

    Label9 = MakeLabel(QStringLiteral("[DEC 0~4095]:"), box, 24, 34, caption);
    Label11 = MakeValue(QStringLiteral("0"), box, 112, 32);
    Label10 = MakeLabel(QStringLiteral("[0~10V]:"), box, 214, 34, caption);
    Label18 = MakeValue(QStringLiteral("0V"), box, 290, 32);
    Label27 = MakeLabel(QStringLiteral("[0~100%]:"), box, 24, 62, caption);
    Label28 = MakeValue(QStringLiteral("0%"), box, 112, 60);
    Label17 = MakeLabel(QStringLiteral("[0~20mA]:"), box, 214, 62, caption);
    Label19 = MakeValue(QStringLiteral("0mA"), box, 290, 60);
    // Each value is announced with its caption.
    Label9->setBuddy(Label11);
    Label10->setBuddy(Label18);
    Label27->setBuddy(Label28);
    Label17->setBuddy(Label19);
    box->setAccessibleName(QStringLiteral("DAC"));

    Label24 = MakeLabel(QStringLiteral("0/0%"), box, 12, 98, caption);
    Label25 = new QLabel(QStringLiteral("4095/100%"), box);
    Label25->setFont(caption);
    Label25->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label25->setGeometry(300, 96, 105, 16);

    TrackBar1 = new QSlider(Qt::Horizontal, box);
    TrackBar1->setGeometry(8, 114, 401, 36);
    TrackBar1->setRange(0, MaxCode);
    TrackBar1->setValue(405);
    TrackBar1->setPageStep(256);
    TrackBar1->setTickPosition(QSlider::TicksBothSides);
    TrackBar1->setTickInterval(MaxCode);  // marks at the two ends only
    TrackBar1->setToolTip(QStringLiteral("DAC Value Adj. TrackBar"));
    TrackBar1->setAccessibleName(QStringLiteral("DAC Value Adj. TrackBar"));
    TrackBar1->installEventFilter(this);
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });

    Label2 = MakeLabel(QStringLiteral("0V/0mA"), box, 12, 152, caption);
    Label3 = new QLabel(QStringLiteral("10V/20mA"), box);
    Label3->setFont(caption);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3->setGeometry(300, 150, 105, 16);

    Image6 = new ImageButton(MakeIcon(IconKind::StepDown), QStringLiteral("Function Configuration"), box);
    Image6->move(12, 172);
    // Both step buttons carry the same hint; a screen reader needs to tell them apart.
    Image6->setAccessibleName(QStringLiteral("DAC step down"));
    connect(Image6, &QToolButton::clicked, this, [this] { Image6Click(); });
    Image7 = new ImageButton(MakeIcon(IconKind::StepUp), QStringLiteral("Function Configuration"), box);
    Image7->move(381, 172);
    Image7->setAccessibleName(QStringLiteral("DAC step up"));
    connect(Image7, &QToolButton::clicked, this, [this] { Image7Click(); });

    CheckBox2 = MakeCheckBox(QStringLiteral("4~20mA"), QStringLiteral("4~20mA output range"), box, 24, 214);
    connect(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(); });
    CheckBox3 = MakeCheckBox(QStringLiteral("DA Continuous Output"), QStringLiteral("4~20mA output range"), box, 150, 214);
}

void AnalogOutputPanel::BuildCalibrationBox(QGroupBox* box)
{
    box->setAccessibleName(QStringLiteral("Calibration"));
    CheckBox1 = MakeCheckBox(QStringLiteral("Cal."), QStringLiteral("Calibration"), box, 24, 17);
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });

    SpeedButton1 = new QPushButton(QStringLiteral("DAC 10V Cal. Set"), box);
    SpeedButton1->setToolTip(QStringLiteral("Set the output to 10V & Set"));
    SpeedButton1->setGeometry(100, 12, 130, 27);
    SpeedButton1->setEnabled(false);
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });

    // The 4 mA point is stored by the module's own procedure; the button stays hidden.
    SpeedButton2 = new QPushButton(QStringLiteral("DAC 4mA Cal. Set"), box);
    SpeedButton2->setToolTip(QStringLiteral("Set the output to 2V & Set"));
    SpeedButton2->setGeometry(250, 12, 130, 27);
    SpeedButton2->setEnabled(false);
    SpeedButton2->hide();
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });
}

// SetAnalog carries 0-4095: a code the module reports outside it is shown (and so stepped and
// sent) as the nearest code the output has.
std::int32_t AnalogOutputPanel::OutputCode(std::int32_t code) { return std::clamp(code, 0, MaxCode); }

void AnalogOutputPanel::ShowDacValue(std::int32_t code)
{
    code = OutputCode(code);
    TrackBar1->setValue(code);  // runs TrackBar1Change first when the position moves
    shownCode = code;
    Label11->setText(QString::number(code));
    Label18->setText(DacVoltsText(code));
    Label19->setText(DacMilliampsText(code));
    Label28->setText(DacPercentText(code));
}

void AnalogOutputPanel::ApplyDacValue(std::int32_t code)
{
    ShowDacValue(code);
    if (dacForceSend || !dacDeferSend) {
        SendDacValue(AnalogMode(), code);
        dacSent = code;
        dacForceSend = false;
    }
}

void AnalogOutputPanel::SendDacValue(std::uint8_t mode, std::int32_t code)
{
    code = OutputCode(code);
    display_.AppendLog(QStringLiteral("DAC Val=>%1").arg(code));
    const auto output = static_cast<std::uint16_t>(code);
    transport_.Exchange(SetAnalog, [mode, output](CommandFrame& f) { return BuildSetAnalog(f, mode, output); });
}

void AnalogOutputPanel::SendCalibrationPoint(std::uint8_t point, std::int32_t code)
{
    const auto output = static_cast<std::uint16_t>(OutputCode(code));
    const Outcome sent =
        transport_.Exchange(SetCalibration, [point, output](CommandFrame& f) { return BuildSetCalibration(f, point, output); });
    // Kept for the next configuration write once the module took it: a point it never got must
    // not ride along with a later settings file.
    if (sent.Ok()) PatchCalibrationPoint(context_.session.deviceConfigRecord, point, output);
}

void AnalogOutputPanel::SendOutputRange()
{
    const std::uint8_t range = CheckBox2->isChecked() ? 1 : 0;
    transport_.Exchange(SetOutputRange, [range](CommandFrame& f) { return BuildSetOutputRange(f, range); });
}

void AnalogOutputPanel::TrackBar1Change()
{
    dacTrackMoved = true;
    const int position = TrackBar1->value();
    if (position == dacSent) return;
    dacDeferSend = !CheckBox3->isChecked();
    ApplyDacValue(position);
}

void AnalogOutputPanel::TrackBarPressed() { context_.session.LinkPollEnabled = 0; }

void AnalogOutputPanel::TrackBarReleased()
{
    if (dacTrackMoved) {
        dacTrackMoved = false;
        dacDeferSend = false;
        ApplyDacValue(TrackBar1->value());
    }
    context_.session.LinkPollEnabled = 1;
}

bool AnalogOutputPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TrackBar1) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) TrackBarPressed();
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) TrackBarReleased();
            break;
        case QEvent::KeyRelease:
            // A key moves the bar without any mouse release; its code is sent when the key
            // comes up, so the module never silently differs from what the panel shows.
            if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) TrackBarReleased();
            break;
        case QEvent::Wheel:
            QMetaObject::invokeMethod(this, [this] { TrackBarReleased(); }, Qt::QueuedConnection);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void AnalogOutputPanel::Image6Click()
{
    const std::int32_t value = shownCode;
    if (value > 0) {
        dacForceSend = true;
        ApplyDacValue(value - 1);
    }
}

void AnalogOutputPanel::Image7Click()
{
    const std::int32_t value = shownCode;
    if (value < MaxCode) {
        dacForceSend = true;
        ApplyDacValue(value + 1);
    }
}

void AnalogOutputPanel::CheckBox1Click() { SpeedButton1->setEnabled(CheckBox1->isChecked()); }

void AnalogOutputPanel::CheckBox2Click()
{
    if (CheckBox2->isChecked()) {
        // The lifted bar's code is sent once, deferred or not, so the module never stays below
        // the range the panel now shows.
        if (TrackBar1->value() < FourMilliampCode) {
            dacForceSend = true;
            TrackBar1->setValue(FourMilliampCode);  // its change handler sends, as forced
            if (dacForceSend) ApplyDacValue(FourMilliampCode);  // the handler saw the code already sent
            dacForceSend = false;
        }
        Label2->setText(QStringLiteral("2V/4mA"));
        TrackBar1->setMinimum(FourMilliampCode);
        Label9->setText(QStringLiteral("DEC 819~4095:"));
        Label10->setText(QStringLiteral("2~10V:"));
        Label17->setText(QStringLiteral("4~20mA:"));
        Label24->setText(QStringLiteral("819/20%"));
        Label27->setText(QStringLiteral("20~100%:"));
    } else {
        Label2->setText(QStringLiteral("0V/0mA"));
        TrackBar1->setMinimum(0);
        Label9->setText(QStringLiteral("DEC 0~4095:"));
        Label10->setText(QStringLiteral("0~10V:"));
        Label17->setText(QStringLiteral("0~20mA:"));
        Label24->setText(QStringLiteral("0/0%"));
        Label27->setText(QStringLiteral("0~100%:"));
    }
    for (QLabel* label : {Label2, Label9, Label10, Label17, Label24, Label27}) label->adjustSize();
    SendOutputRange();
}

void AnalogOutputPanel::SpeedButton1Click() { SendCalibrationPoint(0, dacSent); }

void AnalogOutputPanel::SpeedButton2Click() { SendCalibrationPoint(1, dacSent); }

}  // namespace zqb
