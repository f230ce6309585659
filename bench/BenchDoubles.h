#pragma once

// What the benchmarks give the module link in place of the windows: nothing they do is measured.

#include <optional>

#include "DeviceDisplay.h"
#include "Dialogs.h"
#include "Pauses.h"

namespace zqb::bench {

class QuietDisplay : public DeviceDisplay {
public:
    void SetPanelText(StatusPanel, const QString& text) override { message_ = text; }
    QString PanelText(StatusPanel) const override { return message_; }
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
    void ShowChecksumVerdict(bool, const QString&) override {}
    void AppendLog(const QString&) override {}

private:
    QString message_;
};

// Nothing measured asks the user anything.
class NoDialogs : public Dialogs {
public:
    MessageAnswer ShowMessage(const QString&, const QString&, MessageIcon, MessageButtons) override
    {
        return MessageAnswer::No;
    }
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
};

class NoPauses : public Pauses {
public:
    void Pause(int) override {}
};

}  // namespace zqb::bench
