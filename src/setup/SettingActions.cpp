#include "setup/SettingActions.h"

#include "protocol/AnsiText.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "setup/SettingRules.h"
#include "setup/SettingsFile.h"

namespace zqb {

namespace {

const QString ManualReboot = QStringLiteral(",\n    . Manual Reboot to take effect!");
const QString NotFoundReason = QStringLiteral("the device was not found on the network");

// Keys never reach the log in clear.
QString Masked(const QByteArray& key) { return QString(key.size(), QLatin1Char('*')); }

QString ExchangeReason(const ExchangeResult& result)
{
    switch (result.kind) {
    case ExchangeResult::Kind::Dropped: return QStringLiteral("another exchange with the device was running");
    case ExchangeResult::Kind::NotConnected: return QStringLiteral("the device did not accept a connection");
    case ExchangeResult::Kind::ConnectionLost: return QStringLiteral("the connection broke on the way");
    default: return {};
    }
}

}  // namespace

SettingActions::SettingActions(ModuleLink& link, FileTransfer& transfer, FirmwareUpload& firmware)
    : link_(link), transfer_(transfer), firmware_(firmware)
{
}

bool SettingActions::Confirm(const QString& text)
{
    return link_.GetDialogs().AskDefaultNo(text, ConfirmCaption, MessageIcon::Question) ==
           MessageAnswer::Yes;
}

ActionOutcome SettingActions::Refuse(const QString& text)
{
    link_.GetDialogs().ShowMessage(text, InputErrorCaption, MessageIcon::Error, MessageButtons::Ok);
    return ActionOutcome::BadInput;
}

ActionOutcome SettingActions::RefuseField(const FieldError& error)
{
    link_.GetDialogs().ShowMessage(error.text, error.caption, MessageIcon::None, MessageButtons::Ok);
    return ActionOutcome::BadInput;
}

void SettingActions::Complete(const QString& text)
{
    link_.GetDialogs().ShowMessage(text, CompletionCaption, MessageIcon::Information, MessageButtons::Ok);
}

ActionOutcome SettingActions::Fail(const QString& what, const QString& reason)
{
    link_.GetDialogs().ShowMessage(what + QStringLiteral(" failed,\n    . ") + reason + QLatin1Char('.'), FailureCaption,
                                   MessageIcon::Error, MessageButtons::Ok);
    return ActionOutcome::Failed;
}

bool SettingActions::LinkReady(const QString& what)
{
    if (link_.Supervisor().PrepareLink()) return true;
    Fail(what, NotFoundReason);
    return false;
}

void SettingActions::Log(const QString& line) { link_.Display().AppendLog(line); }

bool SettingActions::Delivered(const std::optional<ExchangeResult>& result, std::uint8_t code, QString& reason) const
{
    if (!result) {
        reason = NotFoundReason;
        return false;
    }
    if (!result->Delivered()) {
        reason = ExchangeReason(*result);
        return false;
    }
    if (ReplyRefused(link_.Context(), *result, code)) {
        reason = QStringLiteral("the device refused it (status %1)").arg(link_.Context().replyBuffer[StatusOffset]);
        return false;
    }
    return true;
}

// ---- the settings file ----

// The checks both wireless actions make, each text's length logged as it is taken, and the
// question: the credentials once the user said Yes; otherwise nothing, and `outcome` says why.
std::optional<WirelessCredentials> SettingActions::AskCredentials(const QString& ssidText, const QString& keyText,
                                                                  std::uint8_t type, const QString& name,
                                                                  const QString& logPrefix, ActionOutcome& outcome)
{
    const auto stop = [&outcome](ActionOutcome why) -> std::optional<WirelessCredentials> {
        outcome = why;
        return std::nullopt;
    };
    bool ssidOk = false;
    const TextCheck ssid = CheckText(ssidText);
    if (!ssidText.isEmpty()) {
        if (!ssid.bytes) return stop(Refuse(UnstorableTextError));
        Log(logPrefix.isEmpty() ? QString::number(ssid.Length()) : logPrefix + QStringLiteral("_SSID.Length=%1").arg(ssid.Length()));
        ssidOk = ssid.Length() <= MaxSsidBytes;
    }
    bool keyOk = false;
    TextCheck key = CheckText(keyText);
    if (!keyText.isEmpty()) {
        if (!key.bytes && type != 0) return stop(Refuse(UnstorableTextError));
        const qsizetype length = key.bytes ? key.Length() : keyText.size();
        Log(logPrefix.isEmpty() ? QString::number(length) : logPrefix + QStringLiteral("_KEY.Length=%1").arg(length));
        keyOk = key.Fits(MinKeyBytes, MaxKeyBytes);
    }
    if (type == 0) key.bytes = QByteArray();  // an open network's key is ignored
    if (!ssidOk || (type != 0 && !keyOk)) return stop(Refuse(WirelessErrorText));

    if (!Confirm(QStringLiteral("Modify %1 SSID, execute?\n    . SSID: ").arg(name) + FromAnsi(*ssid.bytes) +
                 QStringLiteral("\n    . Type: [%1] ").arg(type) + KeyTypeName(type) + QStringLiteral("\n    . KEY: ") +
                 FromAnsi(*key.bytes)))
        return stop(ActionOutcome::Declined);
    return WirelessCredentials{*ssid.bytes, *key.bytes, type};
}

ActionOutcome SettingActions::WriteApSettings(const ApInput& input)
{
    const QString what = QStringLiteral("AP SSID write");
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    ActionOutcome outcome = ActionOutcome::Done;
    const auto credentials =
        AskCredentials(input.ssid, input.key, input.secured ? 2 : 0, QStringLiteral("AP"), QStringLiteral("AP"), outcome);
    if (!credentials) return outcome;
    if (!LinkReady(what)) return ActionOutcome::Failed;

    DeviceConfigRecord record = link_.Session().deviceConfigRecord;
    PatchApSettings(record, credentials->ssid, credentials->key);
    if (credentials->type != 0) Log(QStringLiteral("AP_KEY =") + Masked(credentials->key));
    link_.GetPauses().Pause(KeyPauseMs);
    const TransferResult sent = SendConfigRecord(link_, transfer_, record);
    if (!sent.Sent()) return Fail(what, sent.reason);
    Log(QStringLiteral("AP_SSID =") + FromAnsi(credentials->ssid));
    Complete(QStringLiteral("AP SSID write complete") + ManualReboot);
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::WriteStationSettings(const StationInput& input)
{
    const QString what = QStringLiteral("STA SSID write");
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    ActionOutcome outcome = ActionOutcome::Done;
    const auto type = static_cast<std::uint8_t>(input.type);
    const auto credentials = AskCredentials(input.ssid, input.key, type, QStringLiteral("STA"), QString(), outcome);
    if (!credentials) return outcome;
    if (!LinkReady(what)) return ActionOutcome::Failed;

    DeviceConfigRecord record = link_.Session().deviceConfigRecord;
    PatchStationSettings(record, credentials->ssid, input.type, credentials->key);
    if (type != 0) Log(QStringLiteral("STA_KEY =") + Masked(credentials->key));
    link_.GetPauses().Pause(KeyPauseMs);
    Log(QStringLiteral("STA_KTYPE =%1").arg(type));
    link_.GetPauses().Pause(KeyPauseMs);
    const TransferResult sent = SendConfigRecord(link_, transfer_, record);
    if (!sent.Sent()) return Fail(what, sent.reason);
    Log(QStringLiteral("STA_SSID =") + FromAnsi(credentials->ssid));
    Complete(QStringLiteral("STA SSID write complete") + ManualReboot);
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::WriteStaticAddress(const StaticAddressInput& input)
{
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    DeviceConfigRecord record = link_.Session().deviceConfigRecord;
    QString what;
    QString completion;
    if (input.enabled) {
        what = QStringLiteral("Station Static IP write");
        for (const QString* text : {&input.address, &input.mask, &input.gateway}) {
            if (!ToModuleText(*text) || !IsValidIpv4Text(*text))
                return Refuse(QStringLiteral("    . IP, Mask, Gateway input error.\n"));
        }
        if (!Confirm(QStringLiteral("Modify Station Static IP, Mask, Gateway, execute?\n    . IP: ") + input.address +
                     QStringLiteral("\n    . Mask: ") + input.mask + QStringLiteral("\n    . Gateway: ") + input.gateway))
            return ActionOutcome::Declined;
        PatchStaticAddress(record, Ipv4BytesOf(input.address), Ipv4BytesOf(input.mask), Ipv4BytesOf(input.gateway));
        completion = QStringLiteral("Station Static IP write complete") + ManualReboot;
    } else {
        // Deleting looks at none of the address boxes.
        what = QStringLiteral("Station Static IP delete");
        if (!Confirm(QStringLiteral("Delete Station Static IP config, execute?\n"))) return ActionOutcome::Declined;
        PatchStaticAddressDeleted(record);
        completion = QStringLiteral("Station Static IP delete complete") + ManualReboot;
    }
    if (!LinkReady(what)) return ActionOutcome::Failed;
    const TransferResult sent = SendConfigRecord(link_, transfer_, record);
    if (!sent.Sent()) return Fail(what, sent.reason);
    Complete(completion);
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::WriteWebKey(const QString& text)
{
    const QString what = QStringLiteral("WEB Key write");
    const QString lengthError = QStringLiteral("    . WEB Key must be 5 chars.");
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    if (text.isEmpty()) return Refuse(lengthError);
    const TextCheck key = CheckText(text);
    if (!key.bytes) return Refuse(UnstorableTextError);
    Log(QString::number(key.Length()));
    if (key.Length() > MaxWebLoginKeyBytes) return Refuse(lengthError);
    if (!Confirm(QStringLiteral("Modify WEB Key, execute?\n    . WEB Key: ") + FromAnsi(*key.bytes) + QStringLiteral(".\n")))
        return ActionOutcome::Declined;
    if (!LinkReady(what)) return ActionOutcome::Failed;
    QString reason;
    if (!Delivered(SendWebKey(*key.bytes), SetWebKey, reason)) return Fail(what, reason);
    Log(QStringLiteral("WEB Key =") + Masked(*key.bytes));
    Complete(QStringLiteral("WEB Key write complete,\n    .Take effect immediately."));
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::WriteLocation(const QString& text)
{
    const QString what = QStringLiteral("Location string write");
    const QString lengthError = QStringLiteral("    . Location string must less then 31 chars.");
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    if (text.isEmpty()) return Refuse(lengthError);
    const TextCheck location = CheckText(text);
    if (!location.bytes) return Refuse(UnstorableTextError);
    Log(QString::number(location.Length()));
    if (location.Length() > MaxLocationBytes) return Refuse(lengthError);
    if (!Confirm(QStringLiteral("Modify Location string, execute?\n    . Location: ") + FromAnsi(*location.bytes) +
                 QStringLiteral(".\n")))
        return ActionOutcome::Declined;
    if (!LinkReady(what)) return ActionOutcome::Failed;
    DeviceConfigRecord record = link_.Session().deviceConfigRecord;
    PatchLocation(record, *location.bytes);
    const TransferResult sent = SendConfigRecord(link_, transfer_, record);
    if (!sent.Sent()) return Fail(what, sent.reason);
    Log(QStringLiteral("Location =") + FromAnsi(*location.bytes));
    Complete(QStringLiteral("Location string write complete") + ManualReboot);
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::WriteModbusSettings(const QString& portText, const QString& idleText)
{
    const QString what = QStringLiteral("Modify Modbus Port, Timeout write");
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    std::int32_t port = 0;
    std::int32_t seconds = 0;
    // The time-out is not looked at until the port has passed.
    if (const auto error = CheckModbusPort(portText, port)) return RefuseField(*error);
    if (const auto error = CheckIdleTimeout(idleText, seconds)) return RefuseField(*error);
    if (!Confirm(QStringLiteral("Modify Modbus Port & Idle Timeout, execute?\n    . Port: %1, Idle Timeout: %2.").arg(port).arg(seconds)))
        return ActionOutcome::Declined;
    if (!LinkReady(what)) return ActionOutcome::Failed;
    DeviceConfigRecord record = link_.Session().deviceConfigRecord;
    PatchModbus(record, static_cast<std::uint16_t>(port), static_cast<std::uint16_t>(seconds));
    const TransferResult sent = SendConfigRecord(link_, transfer_, record);
    if (!sent.Sent()) return Fail(what, sent.reason);
    Log(QStringLiteral("Modbus Port =%1, Idle Timeout: %2").arg(port).arg(seconds));
    link_.GetPauses().Pause(ConfigWrittenPauseMs);
    QString reason;
    if (!Delivered(SendConfigWritten(), ConfigWritten, reason))
        return Fail(what, QStringLiteral("the settings file was stored, but telling the device so failed: ") + reason);
    Complete(QStringLiteral("Modify Modbus Port, Timeout write complete") + ManualReboot);
    return ActionOutcome::Done;
}

// ---- device commands ----

ActionOutcome SettingActions::ChangeWifiMode(bool accessPoint)
{
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    const QString mode = accessPoint ? QStringLiteral("AP Mode") : QStringLiteral("Station Mode");
    if (!Confirm(QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: ") + mode +
                 QStringLiteral(".\n    . Device will Reboot immediately!")))
        return ActionOutcome::Declined;
    QString reason;
    if (!Delivered(SendWifiMode(accessPoint ? 2 : 0), SetWifiMode, reason)) return Fail(QStringLiteral("Wi-Fi Mode write"), reason);
    Complete(QStringLiteral("Wi-Fi Mode write complete,\n    . Reboot complete."));
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::ResetToDefault()
{
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    if (!Confirm(QStringLiteral("Reset to default setting, execute?\n    . Device will Reboot immediately!")))
        return ActionOutcome::Declined;
    QString reason;
    if (!Delivered(SendClearFlashConfig(), ClearFlashConfig, reason)) return Fail(QStringLiteral("Reset default"), reason);
    Complete(QStringLiteral("Reset default complete,\n    . Reboot complete."));
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::RebootModule()
{
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    if (!Confirm(QStringLiteral("Reboot device, execute?"))) return ActionOutcome::Declined;
    QString reason;
    if (!Delivered(SendResetModule(), ResetModule, reason)) return Fail(QStringLiteral("Reboot"), reason);
    Complete(QStringLiteral("Reboot complete."));
    return ActionOutcome::Done;
}

ActionOutcome SettingActions::StartFirmwareUpdate()
{
    if (link_.Context().ExchangeBusy) return ActionOutcome::Busy;
    if (!Confirm(QStringLiteral("F/W Update, execute?"))) return ActionOutcome::Declined;
    const QString what = QStringLiteral("F/W update");
    if (!LinkReady(what)) return ActionOutcome::Failed;
    // The upload says its own progress, and the module's verdict comes through reply handling;
    // only a failure on the way is said here.
    const FirmwareResult result = firmware_.UploadFirmwareImage();
    switch (result.step) {
    case FirmwareStep::Cancelled: return ActionOutcome::Declined;
    case FirmwareStep::FileRefused: return ActionOutcome::BadInput;
    case FirmwareStep::NotAnnounced:
    case FirmwareStep::DataFailed:
    case FirmwareStep::ChecksumNotAsked:
        return Fail(what, result.reason.isEmpty() ? QStringLiteral("the image did not reach the device") : result.reason);
    case FirmwareStep::ChecksumAsked:
    case FirmwareStep::LegacySent:
        break;
    }
    return ActionOutcome::Done;
}

ExchangeOutcome SettingActions::SendWebKey(const QByteArray& key)
{
    if (!link_.Supervisor().PrepareLink()) return std::nullopt;
    if (!BeginCommand(link_.Context(), SetWebKey)) return ExchangeResult{};
    return link_.Transport().ExchangeCommand(BuildSetWebKey(link_.Context().commandFrame, key));
}

ExchangeOutcome SettingActions::SendConfigWritten()
{
    if (!link_.Supervisor().PrepareLink()) return std::nullopt;
    if (!BeginCommand(link_.Context(), ConfigWritten)) return ExchangeResult{};
    return link_.Transport().ExchangeCommand(BuildConfigWritten(link_.Context().commandFrame));
}

ExchangeOutcome SettingActions::SendWifiMode(std::uint8_t mode)
{
    if (!link_.Supervisor().PrepareLink()) return std::nullopt;
    SessionContext& context = link_.Context();
    context.session.retryCount = 0;
    if (!BeginCommand(context, SetWifiMode)) return ExchangeResult{};  // dropped: busy
    const ExchangeResult result = link_.Transport().ExchangeCommand(BuildSetWifiMode(context.commandFrame, mode));
    if (result.Delivered() && !ReplyRefused(context, result, SetWifiMode)) PatchWifiMode(context.session.deviceConfigRecord, mode);
    return result;
}

ExchangeOutcome SettingActions::SendClearFlashConfig()
{
    if (!link_.Supervisor().PrepareLink()) return std::nullopt;
    SessionContext& context = link_.Context();
    if (!BeginCommand(context, ClearFlashConfig)) return ExchangeResult{};
    const ExchangeResult result = link_.Transport().ExchangeCommand(BuildClearFlashConfig(context.commandFrame));
    if (result.Delivered() && !ReplyRefused(context, result, ClearFlashConfig)) context.session.deviceConfigRecordValid = 0;
    return result;
}

ExchangeOutcome SettingActions::SendResetModule()
{
    if (!link_.Supervisor().PrepareLink()) return std::nullopt;
    return zqb::SendResetModule(link_.Context(), link_.Transport());
}

}  // namespace zqb
