#pragma once

#include <cstdint>
#include <optional>

#include <QString>

#include "setup/ConfigRecordPatch.h"
#include "transfer/FileTransfer.h"
#include "transfer/FirmwareUpload.h"
#include "link/ModuleLink.h"
#include "setup/SettingRules.h"

namespace zqb {

// A command sent after a link check: nothing when the check failed and nothing was sent.
using ExchangeOutcome = std::optional<ExchangeResult>;

// How a setting action ended.
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

// The setup window's actions, without the window: each checks its input, asks for
// confirmation, checks the link, patches and sends, and says how it went in a box. A completion
// box appears only when every step succeeded: the settings file delivered, each command
// connected and written, and no refusal came back.
class SettingActions {
public:
    SettingActions(ModuleLink& link, FileTransfer& transfer, FirmwareUpload& firmware);

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

    // The command senders; each checks the link first and sends nothing (nothing returned)
    // when it fails.
    ExchangeOutcome SendWebKey(const QByteArray& key);
    ExchangeOutcome SendConfigWritten();
    // The record is patched only once the command went out unrefused.
    ExchangeOutcome SendWifiMode(std::uint8_t mode);
    // The record stops being the module's own once the reset went out unrefused.
    ExchangeOutcome SendClearFlashConfig();
    ExchangeOutcome SendResetModule();

    static constexpr int KeyPauseMs = 200;
    static constexpr int ConfigWrittenPauseMs = 300;

private:
    std::optional<WirelessCredentials> AskCredentials(const QString& ssid, const QString& key, std::uint8_t type,
                                                      const QString& name, const QString& logPrefix,
                                                      ActionOutcome& outcome);
    bool Confirm(const QString& text);
    ActionOutcome Refuse(const QString& text);
    ActionOutcome RefuseField(const FieldError& error);
    void Complete(const QString& text);
    ActionOutcome Fail(const QString& what, const QString& reason);
    // PrepareLink, with the failure said in a box.
    bool LinkReady(const QString& what);
    // A command's delivery judged: the link was there, the frame went out whole and no refusal
    // came back. A missing reply is no refusal: the module may restart at once.
    bool Delivered(const ExchangeOutcome& result, std::uint8_t code, QString& reason) const;
    void Log(const QString& line);

    ModuleLink& link_;
    FileTransfer& transfer_;
    FirmwareUpload& firmware_;
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
