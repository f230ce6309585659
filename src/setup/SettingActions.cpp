#include "setup/SettingActions.h"

#include "protocol/AnsiText.h"
#include "protocol/CommandCodes.h"
#include "setup/SettingsFile.h"

namespace zqb {

namespace {

const QString ManualReboot = QStringLiteral(",\n    . Manual Reboot to take effect!");

// Keys never reach the log in clear.
QString Masked(const QByteArray& key) { return QString(key.size(), QLatin1Char('*')); }

}  // namespace

SettingActions::SettingActions(SessionContext& context, DeviceSettings& settings, FirmwareUpload& firmware,
                               Dialogs& dialogs, Pauses& pauses, DeviceDisplay& display)
    : context_(context), settings_(settings), firmware_(firmware), dialogs_(dialogs), pauses_(pauses), display_(display)
{
}

bool SettingActions::Confirm(const QString& text)
{
    return dialogs_.AskDefaultNo(text, ConfirmCaption, MessageIcon::Question) == MessageAnswer::Yes;
}

ActionOutcome SettingActions::Refuse(const QString& text)
{
    dialogs_.ShowMessage(text, InputErrorCaption, MessageIcon::Error, MessageButtons::Ok);
    return ActionOutcome::BadInput;
}

ActionOutcome SettingActions::RefuseField(const FieldError& error)
{
    dialogs_.ShowMessage(error.text, error.caption, MessageIcon::None, MessageButtons::Ok);
    return ActionOutcome::BadInput;
}

void SettingActions::Complete(const QString& text)
{
    dialogs_.ShowMessage(text, CompletionCaption, MessageIcon::Information, MessageButtons::Ok);
}

ActionOutcome SettingActions::Fail(const QString& what, const Outcome& outcome)
{
    dialogs_.ShowMessage(what + QStringLiteral(" failed,\n    . ") + FailureReason(outcome) + QLatin1Char('.'), FailureCaption,
                         MessageIcon::Error, MessageButtons::Ok);
    return ActionOutcome::Failed;
}

ActionOutcome SettingActions::Finish(const QString& what, const Outcome& outcome, const QString& completion)
{
    if (!outcome.Ok()) return Fail(what, outcome);
    Complete(completion);
    return ActionOutcome::Done;
}

void SettingActions::Log(const QString& line) { display_.AppendLog(line); }

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
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    ActionOutcome outcome = ActionOutcome::Done;
    const auto credentials =
        AskCredentials(input.ssid, input.key, input.secured ? 2 : 0, QStringLiteral("AP"), QStringLiteral("AP"), outcome);
    if (!credentials) return outcome;

    DeviceConfigRecord record = context_.session.deviceConfigRecord;
    PatchApSettings(record, credentials->ssid, credentials->key);
    if (credentials->type != 0) Log(QStringLiteral("AP_KEY =") + Masked(credentials->key));
    pauses_.Pause(KeyPauseMs);
    const Outcome sent = settings_.WriteRecord(record);
    if (sent.Ok()) Log(QStringLiteral("AP_SSID =") + FromAnsi(credentials->ssid));
    return Finish(what, sent, QStringLiteral("AP SSID write complete") + ManualReboot);
}

ActionOutcome SettingActions::WriteStationSettings(const StationInput& input)
{
    const QString what = QStringLiteral("STA SSID write");
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    ActionOutcome outcome = ActionOutcome::Done;
    const auto type = static_cast<std::uint8_t>(input.type);
    const auto credentials = AskCredentials(input.ssid, input.key, type, QStringLiteral("STA"), QString(), outcome);
    if (!credentials) return outcome;

    DeviceConfigRecord record = context_.session.deviceConfigRecord;
    PatchStationSettings(record, credentials->ssid, input.type, credentials->key);
    if (type != 0) Log(QStringLiteral("STA_KEY =") + Masked(credentials->key));
    pauses_.Pause(KeyPauseMs);
    Log(QStringLiteral("STA_KTYPE =%1").arg(type));
    pauses_.Pause(KeyPauseMs);
    const Outcome sent = settings_.WriteRecord(record);
    if (sent.Ok()) Log(QStringLiteral("STA_SSID =") + FromAnsi(credentials->ssid));
    return Finish(what, sent, QStringLiteral("STA SSID write complete") + ManualReboot);
}

ActionOutcome SettingActions::WriteStaticAddress(const StaticAddressInput& input)
{
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    DeviceConfigRecord record = context_.session.deviceConfigRecord;
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
    return Finish(what, settings_.WriteRecord(record), completion);
}

ActionOutcome SettingActions::WriteWebKey(const QString& text)
{
    const QString what = QStringLiteral("WEB Key write");
    const QString lengthError = QStringLiteral("    . WEB Key must be 5 chars.");
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    if (text.isEmpty()) return Refuse(lengthError);
    const TextCheck key = CheckText(text);
    if (!key.bytes) return Refuse(UnstorableTextError);
    Log(QString::number(key.Length()));
    if (key.Length() > MaxWebLoginKeyBytes) return Refuse(lengthError);
    if (!Confirm(QStringLiteral("Modify WEB Key, execute?\n    . WEB Key: ") + FromAnsi(*key.bytes) + QStringLiteral(".\n")))
        return ActionOutcome::Declined;
    const Outcome sent = settings_.SendWebKey(*key.bytes);
    if (sent.Ok()) Log(QStringLiteral("WEB Key =") + Masked(*key.bytes));
    return Finish(what, sent, QStringLiteral("WEB Key write complete,\n    .Take effect immediately."));
}

ActionOutcome SettingActions::WriteLocation(const QString& text)
{
    const QString what = QStringLiteral("Location string write");
    const QString lengthError = QStringLiteral("    . Location string must less then 31 chars.");
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    if (text.isEmpty()) return Refuse(lengthError);
    const TextCheck location = CheckText(text);
    if (!location.bytes) return Refuse(UnstorableTextError);
    Log(QString::number(location.Length()));
    if (location.Length() > MaxLocationBytes) return Refuse(lengthError);
    if (!Confirm(QStringLiteral("Modify Location string, execute?\n    . Location: ") + FromAnsi(*location.bytes) +
                 QStringLiteral(".\n")))
        return ActionOutcome::Declined;
    DeviceConfigRecord record = context_.session.deviceConfigRecord;
    PatchLocation(record, *location.bytes);
    const Outcome sent = settings_.WriteRecord(record);
    if (sent.Ok()) Log(QStringLiteral("Location =") + FromAnsi(*location.bytes));
    return Finish(what, sent, QStringLiteral("Location string write complete") + ManualReboot);
}

ActionOutcome SettingActions::WriteModbusSettings(const QString& portText, const QString& idleText)
{
    const QString what = QStringLiteral("Modify Modbus Port, Timeout write");
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    std::int32_t port = 0;
    std::int32_t seconds = 0;
    // The time-out is not looked at until the port has passed.
    if (const auto error = CheckModbusPort(portText, port)) return RefuseField(*error);
    if (const auto error = CheckIdleTimeout(idleText, seconds)) return RefuseField(*error);
    if (!Confirm(QStringLiteral("Modify Modbus Port & Idle Timeout, execute?\n    . Port: %1, Idle Timeout: %2.").arg(port).arg(seconds)))
        return ActionOutcome::Declined;
    DeviceConfigRecord record = context_.session.deviceConfigRecord;
    PatchModbus(record, static_cast<std::uint16_t>(port), static_cast<std::uint16_t>(seconds));
    const Outcome sent = settings_.WriteRecord(record);
    if (!sent.Ok()) return Fail(what, sent);
    Log(QStringLiteral("Modbus Port =%1, Idle Timeout: %2").arg(port).arg(seconds));
    pauses_.Pause(DeviceSettings::ConfigWrittenPauseMs);
    const Outcome told = settings_.SendConfigWritten();
    if (!told.Ok()) {
        dialogs_.ShowMessage(what + QStringLiteral(" failed,\n    . the settings file was stored, but telling the device so failed: ") +
                                 FailureReason(told) + QLatin1Char('.'),
                             FailureCaption, MessageIcon::Error, MessageButtons::Ok);
        return ActionOutcome::Failed;
    }
    Complete(QStringLiteral("Modify Modbus Port, Timeout write complete") + ManualReboot);
    return ActionOutcome::Done;
}

// ---- device commands ----

ActionOutcome SettingActions::ChangeWifiMode(bool accessPoint)
{
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    const QString mode = accessPoint ? QStringLiteral("AP Mode") : QStringLiteral("Station Mode");
    if (!Confirm(QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: ") + mode +
                 QStringLiteral(".\n    . Device will Reboot immediately!")))
        return ActionOutcome::Declined;
    return Finish(QStringLiteral("Wi-Fi Mode write"), settings_.SendWifiMode(accessPoint ? 2 : 0),
                  QStringLiteral("Wi-Fi Mode write complete,\n    . Reboot complete."));
}

ActionOutcome SettingActions::ResetToDefault()
{
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    if (!Confirm(QStringLiteral("Reset to default setting, execute?\n    . Device will Reboot immediately!")))
        return ActionOutcome::Declined;
    return Finish(QStringLiteral("Reset default"), settings_.SendClearFlashConfig(),
                  QStringLiteral("Reset default complete,\n    . Reboot complete."));
}

ActionOutcome SettingActions::RebootModule()
{
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    if (!Confirm(QStringLiteral("Reboot device, execute?"))) return ActionOutcome::Declined;
    return Finish(QStringLiteral("Reboot"), settings_.SendResetModule(), QStringLiteral("Reboot complete."));
}

ActionOutcome SettingActions::StartFirmwareUpdate()
{
    if (context_.ExchangeBusy) return ActionOutcome::Busy;
    if (!Confirm(QStringLiteral("F/W Update, execute?"))) return ActionOutcome::Declined;
    const QString what = QStringLiteral("F/W update");
    if (const Outcome network = settings_.CheckNetwork(); !network.Ok()) return Fail(what, network);
    // The upload says its own progress, and the module's verdict comes through reply handling;
    // only a failure on the way is said here.
    const Outcome result = firmware_.UploadFirmwareImage();
    switch (result.kind) {
    case OutcomeKind::Delivered: return ActionOutcome::Done;
    case OutcomeKind::Declined: return ActionOutcome::Declined;
    case OutcomeKind::InputError: return ActionOutcome::BadInput;  // the panel says why
    case OutcomeKind::FileError:
        dialogs_.ShowError(FailureReason(result));
        return ActionOutcome::BadInput;
    default: return Fail(what, result);
    }
}

}  // namespace zqb
