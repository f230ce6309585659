#include "protocol/ReplyHandler.h"

#include <algorithm>

#include "protocol/AnsiText.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "protocol/PeopleText.h"
#include "protocol/ReplyRules.h"

namespace zqb {

namespace {

QString HexByte(std::uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

QString RefusalText(std::uint8_t code, std::uint8_t status)
{
    return Said(QStringLiteral("%1 refused (status %2)").arg(CommandName(code)).arg(status));
}

QString InvalidReplyText(std::uint8_t code) { return Said(CommandName(code) + QStringLiteral(" invalid reply")); }

ReplyHandler::ReplyHandler(SessionContext& context, DeviceDisplay& display, CommandTransport& transport, LinkGate& link)
    : context_(context), display_(display), transport_(transport), link_(link)
{
}

// A refusal that nothing else reports: the user is told in the message panel. The command stays
// in flight as before, for the link timer to give up.
void ReplyHandler::ReportRefusal(std::uint8_t code)
{
    display_.SetPanelText(StatusPanel::Message, RefusalText(code, context_.replyBuffer[StatusOffset]));
}

void ReplyHandler::ReportInvalid(std::uint8_t code, ReplyFault fault, std::size_t length, std::size_t needed)
{
    Outcome outcome = Outcome::Invalid(code, fault);
    outcome.status = context_.replyBuffer[CodeOffset];
    outcome.done = length;
    outcome.total = needed;
    ReportOutcome(display_, InvalidReplyText(code), DescribeOutcome(outcome));
}

void ReplyHandler::ClearInFlightWith(const QString& message)
{
    context_.session.commandInFlight = 0;
    display_.SetPanelText(StatusPanel::Message, message);
}

void ReplyHandler::HandleReply(std::size_t length)
{
    DeviceSession& s = context_.session;
    length = std::min(length, context_.replyBuffer.size());
    s.replyOverdue = 0;
    s.replyLength = static_cast<std::int32_t>(length);
    if (!std::equal(FrameMagic.begin(), FrameMagic.end(), context_.replyBuffer.begin())) {
        display_.SetPanelText(StatusPanel::Message, InvalidHeaderText);
        // An image check answered with a bad header is no verdict: it is asked again.
        if (s.commandInFlight == GetImageChecksum) s.replyOverdue = 1;
        return;
    }
    const std::uint8_t code = s.commandInFlight;
    if (code == NoCommand) {
        // A status the module sends on its own, or the answer to a file announcement.
        if (length >= IoStatusReply::dacCode.End() && context_.replyBuffer[CodeOffset] == GetIoStatus &&
            context_.replyBuffer[StatusOffset] == StatusAcknowledged) {
            s.doState = Byte(IoStatusReply::doBits);
            s.diState = Byte(IoStatusReply::diBits);
            s.dacCode = Word(IoStatusReply::dacCode);
            display_.ShowDigitalIo();
        }
        return;
    }
    // Zeros where the module sent nothing, or the fields of another command's reply, are no
    // values: such a reply changes nothing, and the command stays in flight for the link timer
    // (or, for the image check, is asked again).
    std::size_t needed = 0;
    const ReplyFault fault = CheckReplyForm(code, context_.replyBuffer.data(), length, needed);
    if (fault != ReplyFault::None) {
        ReportInvalid(code, fault, length, needed);
        if (code == GetImageChecksum) s.replyOverdue = 1;
        return;
    }
    const bool acknowledged = context_.replyBuffer[StatusOffset] == StatusAcknowledged;
    switch (code) {
    case SetLocator:
        if (acknowledged)
            ClearInFlightWith(QStringLiteral("Set Locator done!"));
        else
            ReissueCommand();
        return;
    case GetLink:
        if (acknowledged)
            TakeLinkRecord(DecodeLinkRecord(context_.replyBuffer.data(), length).value);
        else
            ReissueCommand();
        return;
    case GetImageChecksum:
        TakeImageChecksum();
        return;
    default:
        break;
    }
    if (!acknowledged) {
        ReportRefusal(code);
        return;
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
}

void ReplyHandler::ShowSignalStrength(std::uint16_t word)
{
    if (word == 0) return;
    context_.session.signalWord = word;
    display_.SetRssiText(QStringLiteral("RSSI: %1dBm").arg(static_cast<int>(word) - 65536));
}

void ReplyHandler::TakeLinkRecord(const LinkRecord& r)
{
    DeviceSession& s = context_.session;
    s.commandInFlight = 0;
    display_.SetModelColour(ColourNavy);
    display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Get Device Linked!!"));
    s.modelKnown = 0;

    if (r.model == SupportedModelCode) {
        display_.EnableModelControls(r.model);
        s.doMask = 1;
        s.diMask = 3;
        s.modelKnown = 1;
    }
    display_.SetModelText(r.ModelName());

    const QString reported = r.AddressText();
    if (reported != s.hostAddress) {
        // Another module answered, or one that reports another address: take nothing more, and
        // say so instead of leaving "Get Device Linked!!" up while nothing is linked.
        display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Reports IP: ") + reported);
        return;
    }

    // Only the module asked for holds the settings a later write goes back over.
    if (r.configRecord) {
        s.deviceConfigRecord = *r.configRecord;
        s.deviceConfigRecordValid = 1;
    }
    display_.SetPanelText(StatusPanel::LinkState, QStringLiteral("Dev MAC: ") + r.MacText());
    s.modbusIdleTimeout = r.modbusIdleTimeout;
    s.locationText = r.location;
    display_.SetLocationColour(ColourLocation);
    display_.SetLocationText(QStringLiteral("Locate: ") + PrintableText(s.locationText));
    display_.SetPanelText(StatusPanel::Firmware, QStringLiteral("FW: ") + r.FirmwareText());

    s.apSsid = r.apSsid;
    s.apSecured = r.apSecurity;
    if (s.apSecured != 0) s.apKey = r.apKey;
    s.staSsid = r.staSsid;
    s.staKeyType = r.staKeyType;
    if (s.staKeyType != 0) s.staKey = r.staKey;

    s.wifiModeAp = r.accessPoint ? 1 : 0;
    s.doState = r.doBits;
    s.diState = r.diBits;
    s.modbusPort = r.modbusPort;
    s.staticIpEnabled = r.staticIpInUse ? 1 : 0;
    s.staticIp = r.staticIp;
    s.staticMask = r.staticMask;
    s.staticGateway = r.staticGateway;

    ShowSignalStrength(r.signalWord);
    s.dacCode = r.dacCode;
    s.fourToTwenty = r.fourToTwenty ? 1 : 0;
    display_.SetRangeTicked(r.fourToTwenty);
    s.functionRecord = r.functionRecord;
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
    ShowSignalStrength(Word(IoStatusReply::signalStrength));
    s.fourToTwenty = Byte(IoStatusReply::currentRange) != 0 ? 1 : 0;
    display_.SetRangeTicked(s.fourToTwenty != 0);
    s.dacCode = Word(IoStatusReply::dacCode);
    display_.ShowDigitalIo();
    s.commandInFlight = 0;
}

void ReplyHandler::EndImageCheck(const Outcome& verdict, const QString& text)
{
    DeviceSession& s = context_.session;
    s.commandInFlight = 0;
    s.checksumRetries = 0;
    s.replyOverdue = 0;
    context_.imageVerdict = verdict;
    context_.outcomes.Record(verdict);
    display_.SetPanelText(StatusPanel::Message, text);
    // The image is checked: other programs may talk to the module again.
    transport_.ReleaseExclusive();
    display_.ShowChecksumVerdict(verdict);
}

void ReplyHandler::TakeImageChecksum()
{
    if (context_.replyBuffer[StatusOffset] != StatusAcknowledged) {
        // A refusal is the module's answer: the check ends without a verdict of the sums.
        const std::uint8_t status = context_.replyBuffer[StatusOffset];
        EndImageCheck(Outcome::RefusedWith(GetImageChecksum, status), RefusalText(GetImageChecksum, status));
        return;
    }
    const auto moduleSum = Long(ImageChecksumReply::moduleSum);
    const auto pcSum = static_cast<std::uint32_t>(context_.imageSum);
    const bool equal = moduleSum == pcSum;
    EndImageCheck(equal ? Outcome::Done(GetImageChecksum) : Outcome::Mismatch(GetImageChecksum, moduleSum, pcSum),
                  equal ? ChecksumMatchText : ChecksumMismatchText);
    // The restart asked for here meets the exchange that is still running and is dropped;
    // the message tells the user to reboot.
    if (equal && link_.PrepareLink()) SendResetModule(context_, transport_);
}

void ReplyHandler::TakeFunctionConfig()
{
    DeviceSession& s = context_.session;
    s.commandInFlight = 0;
    s.functionStored = Byte(FunctionConfigReply::recordPresent) == 1 ? 1 : 0;
    if (s.functionStored) {
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
            const Outcome asked = RequestImageChecksum(context_, transport_);
            if (asked.kind == OutcomeKind::Unreachable || asked.kind == OutcomeKind::CutShort) {
                // The transport gave the command up; the check still waits for its verdict, and
                // a module that cannot be reached gets no more chances than a silent one.
                s.commandInFlight = GetImageChecksum;
                s.replyOverdue = 1;
                checkMiss_ = asked;
            } else {
                checkMiss_ = Outcome::Silent(GetImageChecksum);
            }
        } else {
            EndImageCheck(checkMiss_, RetryTimeoutText);
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
