#pragma once

#include <map>
#include <vector>

#include <QString>
#include <QStringList>

#include "protocol/DeviceDisplay.h"
#include "support/QtPrinters.h"
#include "protocol/SessionContext.h"

namespace zqb::test {

// Stands in for the main window: keeps every text and colour the protocol writes and counts
// the calls, so tests can check what the user would see.
class RecordingDisplay : public DeviceDisplay {
public:
    explicit RecordingDisplay(SessionContext* context = nullptr) : context_(context) {}
    // The session whose states ShowDigitalIo masks.
    void Watch(SessionContext& context) { context_ = &context; }

    void SetPanelText(StatusPanel panel, const QString& text) override
    {
        panels[panel] = text;
        panelHistory.push_back(text);
    }
    QString PanelText(StatusPanel panel) const
    {
        auto it = panels.find(panel);
        return it == panels.end() ? QString() : it->second;
    }
    void SetPanelDetail(StatusPanel panel, const QString& detail) override { details[panel] = detail; }
    void SetModelText(const QString& text) override { modelText = text; }
    void SetModelColour(Rgb colour) override { modelColour = colour; }
    void SetLocationText(const QString& text) override { locationText = text; }
    void SetLocationColour(Rgb colour) override { locationColour = colour; }
    void SetRssiText(const QString& text) override { rssiText = text; }
    QString AddressText() const override { return addressText; }
    void SetAddressText(const QString& text) override { addressText = text; }
    void SetRangeTicked(bool ticked) override
    {
        if (rangeTicked != ticked) ++rangeChanges;
        rangeTicked = ticked;
    }
    // Masks the states the way the digital I/O panel does.
    void ShowDigitalIo() override
    {
        ++showDigitalIoCalls;
        if (context_) {
            context_->session.doState &= context_->session.doMask;
            context_->session.diState &= context_->session.diMask;
        }
    }
    void EnableModelControls(std::uint8_t modelCode) override { enabledModels.push_back(modelCode); }
    void ShowNoDevice() override
    {
        ++showNoDeviceCalls;
        modelText.clear();
        locationText.clear();
        rssiText = QStringLiteral("RSSI:");
    }
    void ApplyFunctionRecord() override { ++applyFunctionRecordCalls; }
    void UntickFunctionEnable() override { ++untickFunctionEnableCalls; }
    void ShowCounters() override { ++showCountersCalls; }
    void ShowChecksumVerdict(const Outcome& verdict) override
    {
        verdicts.push_back(verdict.Ok());
        verdictKinds.push_back(verdict.kind);
    }
    void AppendLog(const QString& line) override { log << line; }

    QString Message() const { return PanelText(StatusPanel::Message); }

    std::map<StatusPanel, QString> panels;
    std::map<StatusPanel, QString> details;
    std::vector<QString> panelHistory;
    QString modelText;
    Rgb modelColour{255, 0, 0};
    QString locationText;
    Rgb locationColour{0, 0, 128};
    QString rssiText = QStringLiteral("RSSI:");
    QString addressText;
    bool rangeTicked = false;
    int rangeChanges = 0;
    int showDigitalIoCalls = 0;
    std::vector<std::uint8_t> enabledModels;
    int showNoDeviceCalls = 0;
    int applyFunctionRecordCalls = 0;
    int untickFunctionEnableCalls = 0;
    int showCountersCalls = 0;
    std::vector<bool> verdicts;
    std::vector<OutcomeKind> verdictKinds;
    QStringList log;

private:
    SessionContext* context_;
};

}  // namespace zqb::test
