#pragma once

#include <QtGlobal>

#include "protocol/DeviceDisplay.h"

namespace zqb {

// Hands every display call on to the window that shows the module. The link to the module is
// built before its main window (which needs the link to send); the window attaches itself as
// its first step and detaches as its last, and a call with no window attached is a wiring
// fault that stops the program at once rather than vanishing.
class DisplayRelay : public DeviceDisplay {
public:
    void Attach(DeviceDisplay& display) { target_ = &display; }
    void Detach(const DeviceDisplay& display)
    {
        if (target_ == &display) target_ = nullptr;
    }
    bool Attached() const { return target_ != nullptr; }

    void SetPanelText(StatusPanel panel, const QString& text) override { Target().SetPanelText(panel, text); }
    QString PanelText(StatusPanel panel) const override { return Target().PanelText(panel); }
    void SetPanelDetail(StatusPanel panel, const QString& detail) override { Target().SetPanelDetail(panel, detail); }
    void SetModelText(const QString& text) override { Target().SetModelText(text); }
    void SetModelColour(Rgb colour) override { Target().SetModelColour(colour); }
    void SetLocationText(const QString& text) override { Target().SetLocationText(text); }
    void SetLocationColour(Rgb colour) override { Target().SetLocationColour(colour); }
    void SetRssiText(const QString& text) override { Target().SetRssiText(text); }
    QString AddressText() const override { return Target().AddressText(); }
    void SetAddressText(const QString& text) override { Target().SetAddressText(text); }
    void SetRangeTicked(bool ticked) override { Target().SetRangeTicked(ticked); }
    void ShowDigitalIo() override { Target().ShowDigitalIo(); }
    void EnableModelControls(std::uint8_t modelCode) override { Target().EnableModelControls(modelCode); }
    void ShowNoDevice() override { Target().ShowNoDevice(); }
    void ApplyFunctionRecord() override { Target().ApplyFunctionRecord(); }
    void UntickFunctionEnable() override { Target().UntickFunctionEnable(); }
    void ShowCounters() override { Target().ShowCounters(); }
    void ShowChecksumVerdict(bool sumsEqual, const QString& text) override { Target().ShowChecksumVerdict(sumsEqual, text); }
    void AppendLog(const QString& line) override { Target().AppendLog(line); }

private:
    DeviceDisplay& Target() const
    {
        if (!target_) qFatal("zqb: the module's display was used before a window attached to it");
        return *target_;
    }

    DeviceDisplay* target_ = nullptr;
};

}  // namespace zqb
