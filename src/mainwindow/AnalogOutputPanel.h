#pragma once

#include <cstdint>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QSlider>

#include "protocol/CommandTransport.h"
#include "protocol/DeviceDisplay.h"
#include "platform/ImageButton.h"
#include "protocol/SessionContext.h"

namespace zqb {

// GroupBox2 and GroupBox4: the analog output code with its volts, milliamperes and percent, the
// current range, continuous sending, and the 10 V calibration point.
class AnalogOutputPanel : public QObject {
    Q_OBJECT
public:
    AnalogOutputPanel(SessionContext& context, CommandTransport& transport, DeviceDisplay& display,
                      QGroupBox* analogBox, QGroupBox* calibrationBox);

    void ShowDacValue(std::int32_t code);
    void ApplyDacValue(std::int32_t code);
    void SendDacValue(std::uint8_t mode, std::int32_t code);
    void SendCalibrationPoint(std::uint8_t point, std::int32_t code);
    void SendOutputRange();

    void TrackBar1Change();
    void TrackBarPressed();
    void TrackBarReleased();
    void Image6Click();
    void Image7Click();
    void CheckBox1Click();
    void CheckBox2Click();
    void SpeedButton1Click();
    void SpeedButton2Click();

    // Panel state: the code Label11 shows (the step buttons start from it), the code last handed
    // to SendDacValue, and the send/defer flags.
    std::int32_t shownCode = 0;
    std::int32_t dacSent = 0;
    bool dacDeferSend = false;
    bool dacTrackMoved = false;
    bool dacForceSend = false;

    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label11;
    QLabel* Label10;
    QLabel* Label18;
    QLabel* Label27;
    QLabel* Label28;
    QLabel* Label17;
    QLabel* Label19;
    QLabel* Label24;
    QLabel* Label25;
    QLabel* Label2;
    QLabel* Label3;
    QSlider* TrackBar1;
    ImageButton* Image6;
    ImageButton* Image7;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox1;
    QPushButton* SpeedButton1;
    QPushButton* SpeedButton2;

    static constexpr std::int32_t FourMilliampCode = 819;  // a fifth of 4095: 4 mA, 2 V
    static constexpr std::int32_t MaxCode = 4095;
    static std::int32_t OutputCode(std::int32_t code);

protected:
    // Sees the track bar's mouse and key messages before the track bar does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildAnalogBox(QGroupBox* box);
    void BuildCalibrationBox(QGroupBox* box);
    std::uint8_t AnalogMode() const { return CheckBox1->isChecked() ? 0 : 1; }

    SessionContext& context_;
    CommandTransport& transport_;
    DeviceDisplay& display_;
};

}  // namespace zqb
