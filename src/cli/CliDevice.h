#pragma once

#include <map>
#include <optional>
#include <vector>

#include <QStringList>

#include "protocol/DeviceDisplay.h"
#include "platform/Dialogs.h"
#include "functioncfg/FunctionControls.h"
#include "protocol/SessionContext.h"
#include "transfer/TransferProgress.h"

namespace zqb::cli {

class Output;

// The command-line program's stand-in for the main window: keeps what reply handling shows, so
// that a command can say how its exchange went. The states are masked as the window's I/O panel
// masks them, and the function record reaches the function controls as it reaches the window.
class CliDisplay : public DeviceDisplay {
public:
    explicit CliDisplay(SessionContext& context) : context_(context) {}
    void ShowFunctionOn(FunctionControls* controls) { function_ = controls; }

    void SetPanelText(StatusPanel panel, const QString& text) override { panels_[panel] = text; }
    QString PanelText(StatusPanel panel) const override;
    void SetPanelDetail(StatusPanel panel, const QString& detail) override { details_[panel] = detail; }
    void SetModelText(const QString& text) override { modelText = text; }
    void SetModelColour(Rgb) override {}
    void SetLocationText(const QString&) override {}
    void SetLocationColour(Rgb) override {}
    void SetRssiText(const QString&) override {}
    QString AddressText() const override { return context_.session.hostAddress; }
    void SetAddressText(const QString&) override {}
    void SetRangeTicked(bool ticked) override { fourToTwenty = ticked; }
    void ShowDigitalIo() override;
    void EnableModelControls(std::uint8_t) override {}
    void ShowNoDevice() override {}
    void ApplyFunctionRecord() override;
    void UntickFunctionEnable() override;
    void ShowCounters() override { ++counterReports; }
    void ShowChecksumVerdict(bool sumsEqual, const QString& text) override { verdicts.push_back({sumsEqual, text}); }
    void AppendLog(const QString& line) override { log << line; }

    // The message panel's text, with the longer reason when there is one.
    QString Message() const;

    struct Verdict {
        bool sumsEqual;
        QString text;
    };
    QString modelText;
    bool fourToTwenty = false;
    int counterReports = 0;
    std::vector<Verdict> verdicts;
    QStringList log;

private:
    SessionContext& context_;
    FunctionControls* function_ = nullptr;
    std::map<StatusPanel, QString> panels_;
    std::map<StatusPanel, QString> details_;
};

// Boxes become messages: what the window would say in a box, the program says on standard error
// (through the command). A file dialog is answered with the file named on the command line.
class CliDialogs : public Dialogs {
public:
    MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return file; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return file; }

    struct Box {
        QString text;
        MessageIcon icon;
    };
    std::vector<Box> shown;
    std::optional<QString> file;
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
