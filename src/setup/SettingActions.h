#pragma once

#include <cstdint>
#include <optional>

#include <QString>

#include "platform/Dialogs.h"
#include "platform/Pauses.h"
#include "protocol/DeviceDisplay.h"
#include "protocol/Outcome.h"
#include "protocol/SessionContext.h"
#include "setup/ConfigRecordPatch.h"
#include "setup/DeviceSettings.h"
#include "setup/SettingRules.h"
#include "transfer/FirmwareUpload.h"

namespace zqb {

// How a setting action ended, as the window sees it.
enum class ActionOutcome {
    Done,      // every step succeeded; the completion box was shown
    BadInput,  // the input was refused (error box); nothing was sent
    Declined,  // the user answered No; nothing was sent
    Busy,      // another exchange was running; nothing was asked or sent
    Failed,    // a step failed after Yes; the error box says which, no completion box
};

// What the setup window's inputs hold when an action runs.
struct ApInput {
    QString ssid;
    QString key;
    bool secured = false;  // RadioButton2 "WPA/WPA2"
};
struct StationInput {
    QString ssid;
    QString key;
    StationKeyType type = StationKeyType::Wpa;
};
struct StaticAddressInput {
    bool enabled = false;  // CheckBox1 "Static IP"
    QString address;
    QString mask;
    QString gateway;
};

// The setup window's actions: each checks its input, asks for confirmation, has the settings
// core send it, and turns the typed outcome into the window's boxes. A completion box appears
// only when every step was delivered.
class SettingActions {
public:
    SettingActions(SessionContext& context, DeviceSettings& settings, FirmwareUpload& firmware, Dialogs& dialogs,
                   Pauses& pauses, DeviceDisplay& display);

    ActionOutcome WriteApSettings(const ApInput& input);
    ActionOutcome WriteStationSettings(const StationInput& input);
    ActionOutcome WriteStaticAddress(const StaticAddressInput& input);
    ActionOutcome WriteWebKey(const QString& key);
    ActionOutcome WriteLocation(const QString& location);
    ActionOutcome WriteModbusSettings(const QString& port, const QString& idleTimeout);
    ActionOutcome ChangeWifiMode(bool accessPoint);
    ActionOutcome ResetToDefault();
    ActionOutcome RebootModule();
    ActionOutcome StartFirmwareUpdate();

    static constexpr int KeyPauseMs = 200;

private:
    std::optional<WirelessCredentials> AskCredentials(const QString& ssid, const QString& key, std::uint8_t type,
                                                      const QString& name, const QString& logPrefix,
                                                      ActionOutcome& outcome);
    // Confirmations of changes default to No: each one rewrites or restarts the module.
    bool Confirm(const QString& text);
    ActionOutcome Refuse(const QString& text);
    ActionOutcome RefuseField(const FieldError& error);
    void Complete(const QString& text);
    // The failure box for an outcome that was not delivered.
    ActionOutcome Fail(const QString& what, const Outcome& outcome);
    ActionOutcome Finish(const QString& what, const Outcome& outcome, const QString& completion);
    void Log(const QString& line);

    SessionContext& context_;
    DeviceSettings& settings_;
    FirmwareUpload& firmware_;
    Dialogs& dialogs_;
    Pauses& pauses_;
    DeviceDisplay& display_;
};

// The box captions of the setup window.
inline const QString ConfirmCaption = QStringLiteral("Confirm");
inline const QString CompletionCaption = QStringLiteral("Information");
inline const QString InputErrorCaption = QStringLiteral("Error found!");
inline const QString FailureCaption = QStringLiteral("Error");

inline const QString WirelessErrorText = QStringLiteral(
    "    . SSID must less then 31 chars.\n    . Key must around chars  8~15.\n    . If Open type selected, Key can be ignore.");
inline const QString UnstorableTextError = QStringLiteral("    . The device stores Latin-1 characters only.");

}  // namespace zqb
