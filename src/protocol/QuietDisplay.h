#pragma once

#include <array>

#include "protocol/DeviceDisplay.h"

namespace zqb {

// A display for runs with no window (benchmarks, fuzzing, the bridge): it keeps the panel texts
// for a look in a debugger and shows nothing. Derive to watch what a run would show.
class QuietDisplay : public DeviceDisplay {
public:
    void SetPanelText(StatusPanel panel, const QString& text) override { panels_[static_cast<std::size_t>(panel)] = text; }
    QString PanelText(StatusPanel panel) const { return panels_[static_cast<std::size_t>(panel)]; }
    void SetPanelDetail(StatusPanel, const QString&) override {}
    void SetModelText(const QString&) override {}
    void SetModelColour(Rgb) override {}
    void SetLocationText(const QString&) override {}
    void SetLocationColour(Rgb) override {}
    void SetRssiText(const QString&) override {}
    QString AddressText() const override { return {}; }
    void SetAddressText(const QString&) override {}
    void SetRangeTicked(bool) override {}
    void ShowDigitalIo() override {}
    void EnableModelControls(std::uint8_t) override {}
    void ShowNoDevice() override {}
    void ApplyFunctionRecord() override {}
    void UntickFunctionEnable() override {}
    void ShowCounters() override {}
    void ShowChecksumVerdict(const Outcome&) override {}
    void AppendLog(const QString&) override {}

private:
    std::array<QString, 4> panels_;
};

}  // namespace zqb
