#pragma once

#include <cstdint>
#include <vector>

#include <QStringList>

#include "functioncfg/FunctionControls.h"
#include "platform/Dialogs.h"
#include "protocol/DeviceDisplay.h"
#include "protocol/SessionContext.h"
#include "transfer/TransferProgress.h"

namespace zqb::cli {

class Output;

// The command-line program's stand-in for the main window. It shows nothing and keeps no text:
// every command learns what happened from its typed outcome. It masks the I/O states as the
// window's panel does, and brings the module's function into the function controls as the window
// does, so that zqb saves and writes what the window would.
class CliDisplay : public DeviceDisplay {
public:
    explicit CliDisplay(SessionContext& context) : context_(context) {}
    void ShowFunctionOn(FunctionControls* controls) { function_ = controls; }

    void SetPanelText(StatusPanel, const QString&) override {}
    void SetPanelDetail(StatusPanel, const QString&) override {}
    void SetModelText(const QString&) override {}
    void SetModelColour(Rgb) override {}
    void SetLocationText(const QString&) override {}
    void SetLocationColour(Rgb) override {}
    void SetRssiText(const QString&) override {}
    QString AddressText() const override { return context_.session.hostAddress; }
    void SetAddressText(const QString&) override {}
    void SetRangeTicked(bool) override {}
    void ShowDigitalIo() override;
    void EnableModelControls(std::uint8_t) override {}
    void ShowNoDevice() override {}
    void ApplyFunctionRecord() override;
    void UntickFunctionEnable() override;
    void ShowCounters() override {}
    void ShowChecksumVerdict(const Outcome&) override {}
    void AppendLog(const QString&) override {}

private:
    SessionContext& context_;
    FunctionControls* function_ = nullptr;
};

// zqb asks its own questions and names its own files: a box the cores would raise is said on
// standard error, never answered Yes.
class CliDialogs : public Dialogs {
public:
    explicit CliDialogs(Output& output) : output_(output) {}
    MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }

private:
    Output& output_;
};

// A bar on standard error while a file goes out, drawn only when standard error is a terminal.
class ProgressBar : public TransferProgress {
public:
    explicit ProgressBar(Output& output);
    ~ProgressBar() override;
    void Begin(std::uint32_t maximum) override;
    void SetPosition(std::uint32_t position) override;
    void Repaint() override {}
    // Ends the bar's line.
    void Finish();

private:
    Output& output_;
    bool drawn_ = false;
    bool enabled_ = false;
    std::uint32_t maximum_ = 0;
    int shownPercent_ = -1;
};

}  // namespace zqb::cli
