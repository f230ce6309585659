#include "protocol/ReplyHandler.h"

#include <algorithm>

#include <QStringList>

#include "protocol/AnsiText.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"

namespace zqb {

namespace {

QString HexByte(std::uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

// Short names of the commands, as the message panel shows their refusals.
QString CommandShortName(std::uint8_t code)
{
    switch (code) {
    case SetLocator: return QStringLiteral("Set Locator");
    case GetLink: return QStringLiteral("Get Link");
    case GetImageChecksum: return QStringLiteral("Get F/W CheckSum");
    case SetWifiMode: return QStringLiteral("Set WiFi Mode");
    case SetWebKey: return QStringLiteral("Set WEB Key");
    case ClearFlashConfig: return QStringLiteral("Clear Flash Cfg.");
    case BeginFileWrite: return QStringLiteral("File write");
    case GetDiCounters: return QStringLiteral("Get DI Counter");
    case ClearDiCounter: return QStringLiteral("Clear DI Counter");
    case SetDo: return QStringLiteral("Set DO");
    case SetAnalog: return QStringLiteral("Set Analog val");
    case SetCalibration: return QStringLiteral("Set DAC Cal.");
    case SetOutputRange: return QStringLiteral("Set DA Range");
    case SetFunctionConfig: return QStringLiteral("Set Function Cfg.");
    case GetIoStatus: return QStringLiteral("Get IO Status");
    case ConfigWritten: return QStringLiteral("Config Written");
    case GetFunctionConfig: return QStringLiteral("Get Function Cfg.");
    default: return {};
    }
}

}  // namespace

QString RefusalText(std::uint8_t code, std::uint8_t status)
{
    const QString name = CommandShortName(code);
    if (name.isEmpty()) return {};
    return QStringLiteral("%1 refused (status %2)").arg(name).arg(status);
}

ReplyHandler::ReplyHandler(SessionContext& context, DeviceDisplay& display, CommandTransport& transport, LinkGate& link)
    : context_(context), display_(display), transport_(transport), link_(link)
{
}

// A refusal that nothing else reports: the user is told in the message panel. The command stays
// in flight as before, for the link timer to give up.
void ReplyHandler::ReportRefusal(std::uint8_t code)
{
    const QString text = RefusalText(code, context_.replyBuffer[StatusOffset]);
    if (!text.isEmpty()) display_.SetPanelText(StatusPanel::Message, text);
}

void ReplyHandler::ClearInFlightWith(const QString& message)
{
    context_.session.commandInFlight = 0;
    display_.SetPanelText(StatusPanel::Message, message);
}

void ReplyHandler::HandleReply(std::size_t length)
{
    DeviceSession& s = context_.session;
    s.replyOverdue = 0;
    s.replyLength = static_cast<std::int32_t>(std::min(length, context_.replyBuffer.size()));
    if (!std::equal(FrameMagic.begin(), FrameMagic.end(), context_.replyBuffer.begin())) {
        display_.SetPanelText(StatusPanel::Message, InvalidHeaderText);
        return;
    }
    const bool acknowledged = context_.replyBuffer[StatusOffset] == StatusAcknowledged;
    const std::uint8_t code = s.commandInFlight;
    switch (code) {
    case NoCommand:
        // A status the module sends on its own, or the answer to a file announcement.
        if (context_.replyBuffer[CodeOffset] == GetIoStatus && acknowledged) {
            s.doState = Byte(IoStatusReply::doBits);
            s.diState = Byte(IoStatusReply::diBits);
            s.dacCode = Word(IoStatusReply::dacCode);
            display_.ShowDigitalIo();
        }
        break;
    case SetLocator:
        if (acknowledged)
            ClearInFlightWith(QStringLiteral("Set Locator done!"));
        else
            ReissueCommand();
        break;
    case GetLink:
        if (acknowledged)
            TakeLinkRecord();
        else
            ReissueCommand();
        break;
    case GetImageChecksum:
        TakeImageChecksum();
        s.commandInFlight = 0;
        s.checksumRetries = 0;
        break;
    default:
        if (!acknowledged) {
            ReportRefusal(code);
            break;
        }
        switch (code) {
        case ClearFlashConfig:
            ClearInFlightWith(QStringLiteral("Flash Config been kill!"));
            break;
        case GetDiCounters:
            s.commandInFlight = 0;
            s.diCount0 = Long(CountersReply::di0Count);
            s.diCount1 = Long(CountersReply::di1Count);
            display_.ShowCounters();
            break;
        case SetDo:
            s.doState = Byte(SetDoReply::doBits);
            s.diState = Byte(SetDoReply::diBits);
            display_.ShowDigitalIo();
            s.commandInFlight = 0;
            display_.SetPanelText(StatusPanel::Message, QStringLiteral("Set DO Done! DI:") + HexByte(s.diState));
            break;
        case SetAnalog:
            ClearInFlightWith(QStringLiteral("Set Analog val done!"));
            break;
        case SetFunctionConfig:
            ClearInFlightWith(QStringLiteral("Set Function Cfg. done!"));
            break;
        case GetIoStatus:
            TakeIoStatus();
            break;
        case GetFunctionConfig:
            TakeFunctionConfig();
            break;
        default:
            // Read but not acted on; the link timer gives the command up later.
            break;
        }
        break;
    }
}

void ReplyHandler::ShowSignalStrength(FieldSpan field)
{
    const int v = Word(field);
    if (v != 0) context_.session.signalWord = static_cast<std::uint16_t>(v);
    if (v != 0) display_.SetRssiText(QStringLiteral("RSSI: %1dBm").arg(v - 65536));
}

void ReplyHandler::TakeLinkRecord()
{
    DeviceSession& s = context_.session;
    s.commandInFlight = 0;
    display_.SetModelColour(ColourNavy);
    display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Get Device Linked!!"));
    s.modelKnown = 0;

    const std::uint8_t model = Byte(LinkField::modelCode);
    QString modelText = UnknownModelText;
    if (model == SupportedModelCode) {
        modelText = ModelName184;
        display_.EnableModelControls(model);
        s.doMask = 1;
        s.diMask = 3;
        s.modelKnown = 1;
        // Only a whole record replaces the copy: a reply cut short would leave zeros, or bytes
        // of an earlier reply, where the module's settings should be.
        if (static_cast<std::size_t>(s.replyLength) >= LinkRecordLength) {
            std::copy_n(At(LinkField::deviceConfigRecord), DeviceConfigRecordSize, s.deviceConfigRecord.begin());
            s.deviceConfigRecordValid = 1;
        }
    }
    display_.SetModelText(modelText);

    const std::uint8_t* address = At(LinkField::moduleAddress);
    const QString reported = QStringLiteral("%1.%2.%3.%4").arg(address[0]).arg(address[1]).arg(address[2]).arg(address[3]);
    if (reported != s.hostAddress) {
        // Another module answered, or one that reports another address: take nothing more, and
        // say so instead of leaving "Get Device Linked!!" up while nothing is linked.
        display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Reports IP: ") + reported);
        return;
    }

    QStringList mac;
    const std::uint8_t* macBytes = At(LinkField::macAddress);
    for (std::size_t i = 0; i < SpanOf(LinkField::macAddress).width; ++i) mac << HexByte(macBytes[i]);
    display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Dev MAC: ") + mac.join(QLatin1Char(':')));

    s.modbusIdleTimeout = Word(LinkField::modbusIdleTimeout);

    const auto text = [this](LinkField field) { return ReadTextField(At(field), SpanOf(field).width); };
    s.locationText = text(LinkField::locationText);
    display_.SetLocationColour(ColourLocation);
    display_.SetLocationText(QStringLiteral("Locate: ") + PrintableText(s.locationText));

    display_.SetPanelText(StatusPanel::Firmware, QStringLiteral("FW: V") + HexByte(Byte(LinkField::firmwareMajor)) +
                                                     QLatin1Char('.') + HexByte(Byte(LinkField::firmwareMinor)));

    s.apSsid = text(LinkField::apSsid);
    s.apSecured = Byte(LinkField::apSecurity);
    if (s.apSecured != 0) s.apKey = text(LinkField::apKey);
    s.staSsid = text(LinkField::staSsid);
    s.staKeyType = Byte(LinkField::staKeyType);
    if (s.staKeyType != 0) s.staKey = text(LinkField::staKey);

    s.wifiModeAp = Byte(LinkField::wifiMode);
    s.doState = Byte(LinkField::doBits);
    s.diState = Byte(LinkField::diBits);
    s.modbusPort = Word(LinkField::modbusPort);
    s.staticIpEnabled = Byte(LinkField::staticIpInUse) != 0 ? 1 : 0;
    std::copy_n(At(LinkField::staticIp), 4, s.staticIp.begin());
    std::copy_n(At(LinkField::staticMask), 4, s.staticMask.begin());
    std::copy_n(At(LinkField::staticGateway), 4, s.staticGateway.begin());

    ShowSignalStrength(SpanOf(LinkField::signalStrength));
    s.dacCode = Word(LinkField::dacCode);
    display_.SetRangeTicked(Byte(LinkField::currentRange) != 0);
    std::copy_n(At(LinkField::functionRecord), FunctionRecordSize, s.functionRecord.begin());
    display_.ShowDigitalIo();
    s.linked = 1;
    s.DeviceEverLinked = 1;
    s.commandInFlight = 0;
    display_.ApplyFunctionRecord();
}

void ReplyHandler::TakeIoStatus()
{
    DeviceSession& s = context_.session;
    s.doState = Byte(IoStatusReply::doBits);
    s.diState = Byte(IoStatusReply::diBits);
    ShowSignalStrength(IoStatusReply::signalStrength);
    display_.SetRangeTicked(Byte(IoStatusReply::currentRange) != 0);
    s.dacCode = Word(IoStatusReply::dacCode);
    display_.ShowDigitalIo();
    s.commandInFlight = 0;
}

void ReplyHandler::TakeImageChecksum()
{
    if (context_.replyBuffer[StatusOffset] != StatusAcknowledged) {
        ReportRefusal(GetImageChecksum);
        return;
    }
    if (context_.replyBuffer[CodeOffset] != GetImageChecksum) return;  // not the answer asked for
    const bool equal = Long(ImageChecksumReply::moduleSum) == static_cast<std::uint32_t>(context_.imageSum);
    const QString& text = equal ? ChecksumMatchText : ChecksumMismatchText;
    display_.SetPanelText(StatusPanel::Message, text);
    display_.ShowChecksumVerdict(equal, text);
    // The restart asked for here meets the exchange that is still running and is dropped;
    // the message tells the user to reboot.
    if (equal && link_.PrepareLink()) SendResetModule(context_, transport_);
}

void ReplyHandler::TakeFunctionConfig()
{
    DeviceSession& s = context_.session;
    s.commandInFlight = 0;
    if (Byte(FunctionConfigReply::recordPresent) == 1) {
        std::copy_n(At(FunctionConfigReply::record), FunctionRecordSize, s.functionRecord.begin());
        display_.SetPanelText(StatusPanel::Message, QStringLiteral("Get Function Cfg. done!"));
        display_.ApplyFunctionRecord();
    } else {
        display_.UntickFunctionEnable();
        s.functionRecord.fill(0);
        display_.SetPanelText(StatusPanel::Message, QStringLiteral("No Function Cfg. Exist!"));
    }
}

void ReplyHandler::ReissueCommand()
{
    switch (context_.session.commandInFlight) {
    case SetLocator:
        RequestLocator(context_);
        break;
    case GetLink:
        link_.RequestLink();
        break;
    case GetImageChecksum:
        RequestImageChecksum(context_, transport_);
        break;
    case SendImageChecksum:
        AnnounceImageChecksum(context_, transport_);
        break;
    case ResetModule:
        if (link_.PrepareLink()) SendResetModule(context_, transport_);
        break;
    default:
        break;
    }
}

void ReplyHandler::OverdueTick()
{
    DeviceSession& s = context_.session;
    if (s.replyOverdue != 1) return;
    // Ticks come inside socket waits too; a re-issue then would only be dropped, or raise a box
    // inside the wait, so the count waits for the exchange to end.
    if (context_.ExchangeBusy) return;
    ++s.overdueTicks;
    if (s.overdueTicks < s.overdueLimit) return;
    s.overdueTicks = 0;
    // The image check is counted on its own: the link timer resets retryCount on every tick, so
    // a module that never answers it would be asked again every 4 s for good.
    if (s.commandInFlight == GetImageChecksum) {
        if (s.checksumRetries < 3) {
            ++s.checksumRetries;
            // Said before the re-issue, whose answer brings the verdict that must stay on show.
            display_.SetPanelText(StatusPanel::Message, QStringLiteral("Retry transfer %1").arg(s.checksumRetries));
            ReissueCommand();
        } else {
            s.checksumRetries = 0;
            s.commandInFlight = 0;
            s.replyOverdue = 0;
            display_.SetPanelText(StatusPanel::Message, RetryTimeoutText);
            display_.ShowChecksumVerdict(false, ChecksumMismatchText);
        }
        return;
    }
    if (s.retryCount < 3) {
        ++s.retryCount;
        ReissueCommand();
        display_.SetPanelText(StatusPanel::Message, QStringLiteral("Retry transfer %1").arg(s.retryCount));
    } else {
        s.retryCount = 0;
        s.commandInFlight = 0;
        s.replyOverdue = 0;
        display_.SetPanelText(StatusPanel::Message, RetryTimeoutText);
    }
}

}  // namespace zqb
