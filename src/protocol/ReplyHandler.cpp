#include "ReplyHandler.h"

#include <algorithm>

#include <QStringList>

#include "AnsiText.h"
#include "CommandCodes.h"
#include "CommandSenders.h"

namespace zqb {

namespace {

QString HexByte(std::uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

ReplyHandler::ReplyHandler(SessionContext& context, DeviceDisplay& display, CommandTransport& transport)
    : context_(context), display_(display), transport_(transport)
{
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
    const bool acknowledged = B(StatusOffset) == StatusAcknowledged;
    switch (s.commandInFlight) {
    case NoCommand:
        // A status the module sends on its own, or the answer to a file announcement.
        if (B(CodeOffset) == GetIoStatus && acknowledged) {
            s.doState = B(6);
            s.diState = B(7);
            s.dacCode = W(10);
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
        break;
    case ClearFlashConfig:
        if (acknowledged) ClearInFlightWith(QStringLiteral("Flash Config been kill!"));
        break;
    case GetDiCounters:
        if (acknowledged) {
            s.commandInFlight = 0;
            s.diCount0 = L(6);
            s.diCount1 = L(10);
            display_.ShowCounters();
        }
        break;
    case SetDo:
        if (acknowledged) {
            s.doState = B(6);
            s.diState = B(7);
            display_.ShowDigitalIo();
            s.commandInFlight = 0;
            display_.SetPanelText(StatusPanel::Message, QStringLiteral("Set DO Done! DI:") + HexByte(s.diState));
        }
        break;
    case SetAnalog:
        if (acknowledged) ClearInFlightWith(QStringLiteral("Set Analog val done!"));
        break;
    case SetFunctionConfig:
        if (acknowledged) ClearInFlightWith(QStringLiteral("Set Function Cfg. done!"));
        break;
    case GetIoStatus:
        if (acknowledged) TakeIoStatus();
        break;
    case GetFunctionConfig:
        if (acknowledged) TakeFunctionConfig();
        break;
    default:
        // Read but not acted on; the link timer gives the command up later.
        break;
    }
}

void ReplyHandler::ShowSignalStrength(std::size_t offset)
{
    const int v = W(offset);
    if (v != 0) display_.SetRssiText(QStringLiteral("RSSI: %1dBm").arg(v - 65536));
}

void ReplyHandler::TakeLinkRecord()
{
    DeviceSession& s = context_.session;
    s.commandInFlight = 0;
    display_.SetModelColour(ColourNavy);
    display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Get Device Linked!!"));
    s.modelKnown = 0;

    QString model = UnknownModelText;
    if (B(6) == SupportedModelCode) {
        model = ModelName184;
        display_.EnableModelControls(B(6));
        s.doMask = 1;
        s.diMask = 3;
        s.modelKnown = 1;
        std::copy_n(context_.replyBuffer.begin() + 250, DeviceConfigRecordSize, s.deviceConfigRecord.begin());
    }
    display_.SetModelText(model);

    const QString reported = QStringLiteral("%1.%2.%3.%4").arg(B(7)).arg(B(8)).arg(B(9)).arg(B(10));
    if (reported != s.hostAddress) return;  // another module answered: take nothing more

    QStringList mac;
    for (std::size_t i = 11; i <= 16; ++i) mac << HexByte(B(i));
    display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Dev MAC: ") + mac.join(QLatin1Char(':')));

    s.modbusIdleTimeout = W(36);

    const std::uint8_t* reply = context_.replyBuffer.data();
    s.locationText = ReadTextField(reply + 40, 31);
    display_.SetLocationColour(ColourLocation);
    display_.SetLocationText(QStringLiteral("Locate: ") + FromAnsi(s.locationText));

    display_.SetPanelText(StatusPanel::Firmware, QStringLiteral("FW: V") + HexByte(B(24)) + QLatin1Char('.') + HexByte(B(25)));

    s.apSsid = ReadTextField(reply + 80, 31);
    s.apSecured = B(112);
    if (s.apSecured != 0) s.apKey = ReadTextField(reply + 113, 14);
    s.staSsid = ReadTextField(reply + 128, 31);
    s.staKeyType = B(160);
    if (s.staKeyType != 0) s.staKey = ReadTextField(reply + 161, 14);

    s.wifiModeAp = B(176);
    s.doState = B(177);
    s.diState = B(178);
    s.modbusPort = W(179);
    s.staticIpEnabled = B(181) != 0 ? 1 : 0;
    std::copy_n(reply + 182, 4, s.staticIp.begin());
    std::copy_n(reply + 186, 4, s.staticMask.begin());
    std::copy_n(reply + 190, 4, s.staticGateway.begin());

    ShowSignalStrength(194);
    s.dacCode = W(196);
    display_.SetRangeTicked(B(199) != 0);
    std::copy_n(reply + 200, FunctionRecordSize, s.functionRecord.begin());
    display_.ShowDigitalIo();
    s.linked = 1;
    s.DeviceEverLinked = 1;
    s.commandInFlight = 0;
    display_.ApplyFunctionRecord();
}

void ReplyHandler::TakeIoStatus()
{
    DeviceSession& s = context_.session;
    s.doState = B(6);
    s.diState = B(7);
    ShowSignalStrength(8);
    display_.SetRangeTicked(B(12) != 0);
    s.dacCode = W(10);
    display_.ShowDigitalIo();
    s.commandInFlight = 0;
}

void ReplyHandler::TakeImageChecksum()
{
    if (B(CodeOffset) != GetImageChecksum || B(StatusOffset) != StatusAcknowledged) return;
    const bool equal = L(6) == static_cast<std::uint32_t>(context_.imageSum);
    const QString& text = equal ? ChecksumMatchText : ChecksumMismatchText;
    display_.SetPanelText(StatusPanel::Message, text);
    display_.ShowChecksumVerdict(equal, text);
    // The restart asked for here meets the exchange that is still running and is dropped;
    // the message tells the user to reboot.
    if (equal && gate_ && gate_->PrepareLink()) SendResetModule(context_, transport_);
}

void ReplyHandler::TakeFunctionConfig()
{
    DeviceSession& s = context_.session;
    s.commandInFlight = 0;
    if (B(6) == 1) {
        std::copy_n(context_.replyBuffer.begin() + 7, FunctionRecordSize, s.functionRecord.begin());
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
        if (gate_) gate_->RequestLink();
        break;
    case GetImageChecksum:
        RequestImageChecksum(context_, transport_);
        break;
    case SendImageChecksum:
        AnnounceImageChecksum(context_, transport_);
        break;
    case ResetModule:
        if (gate_ && gate_->PrepareLink()) SendResetModule(context_, transport_);
        break;
    default:
        break;
    }
}

void ReplyHandler::OverdueTick()
{
    DeviceSession& s = context_.session;
    if (s.replyOverdue != 1) return;
    ++s.overdueTicks;
    if (s.overdueTicks < s.overdueLimit) return;
    if (s.retryCount < 3) {
        ++s.retryCount;
        ReissueCommand();
        display_.SetPanelText(StatusPanel::Message, QStringLiteral("Retry transfer %1").arg(s.retryCount));
    } else {
        s.retryCount = 0;
        s.commandInFlight = 0;
        s.replyOverdue = 0;
        display_.SetPanelText(StatusPanel::Message, QStringLiteral("Retry timeout, abort transfer!"));
    }
    s.overdueTicks = 0;
}

}  // namespace zqb
