#pragma once

#include <cstdint>

#include <QtGlobal>

#include "protocol/DeviceDisplay.h"
#include "protocol/PeopleText.h"

namespace zqb {

// Hands every display call on to the window that shows the module, each text as Said() gives
// it. The link to the module is built before its main window (which needs the link to send); the
// window attaches itself as its first step and detaches as its last, and a call with no window
// attached is a wiring fault that stops the program at once rather than vanishing.
class DisplayRelay : public DeviceDisplay {
public:
    void Attach(DeviceDisplay& display) { target_ = &display; }
    void Detach(const DeviceDisplay& display)
    {
        if (target_ == &display) target_ = nullptr;
    }
    bool Attached() const { return target_ != nullptr; }
    // How often the message panel was written: a writer can tell whether its text still stands
    // without reading any text back.
    std::uint64_t MessageWrites() const { return messageWrites_; }

    void SetPanelText(StatusPanel panel, const QString& text) override
    {
        if (panel == StatusPanel::Message) ++messageWrites_;
        Target().SetPanelText(panel, Said(text));
    }
    void SetPanelDetail(StatusPanel panel, const QString& detail) override { Target().SetPanelDetail(panel, Said(detail)); }
    void SetModelText(const QString& text) override { Target().SetModelText(Said(text)); }
    void SetModelColour(Rgb colour) override { Target().SetModelColour(colour); }
    void SetLocationText(const QString& text) override { Target().SetLocationText(Said(text)); }
    void SetLocationColour(Rgb colour) override { Target().SetLocationColour(colour); }
    void SetRssiText(const QString& text) override { Target().SetRssiText(Said(text)); }
    QString AddressText() const override { return Target().AddressText(); }
    void SetAddressText(const QString& text) override { Target().SetAddressText(text); }
    void SetRangeTicked(bool ticked) override { Target().SetRangeTicked(ticked); }
    void ShowDigitalIo() override { Target().ShowDigitalIo(); }
    void EnableModelControls(std::uint8_t modelCode) override { Target().EnableModelControls(modelCode); }
    void ShowNoDevice() override { Target().ShowNoDevice(); }
    void ApplyFunctionRecord() override { Target().ApplyFunctionRecord(); }
    void UntickFunctionEnable() override { Target().UntickFunctionEnable(); }
    void ShowCounters() override { Target().ShowCounters(); }
    void ShowChecksumVerdict(const Outcome& verdict) override { Target().ShowChecksumVerdict(verdict); }
    void AppendLog(const QString& line) override { Target().AppendLog(Said(line)); }

private:
    DeviceDisplay& Target() const
    {
        if (!target_) qFatal("zqb: the module's display was used before a window attached to it");
        return *target_;
    }

    DeviceDisplay* target_ = nullptr;
    std::uint64_t messageWrites_ = 0;
};

}  // namespace zqb
