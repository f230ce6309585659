#include "LinkSupervisor.h"

#include <QStringList>

#include "CommandBuilders.h"
#include "CommandCodes.h"
#include "CommandSenders.h"
#include "IntegerText.h"

namespace zqb {

LinkSupervisor::LinkSupervisor(SessionContext& context, DeviceDisplay& display, CommandTransport& transport,
                               HostNetwork& hostNetwork, Dialogs& dialogs)
    : context_(context), display_(display), transport_(transport), hostNetwork_(hostNetwork), dialogs_(dialogs)
{
}

std::uint8_t LinkSupervisor::PrepareLink()
{
    DeviceSession& s = context_.session;
    const std::uint8_t matches = hostNetwork_.HostNetworkScan(context_.NetworkPrefix.toStdString());
    if (matches == 1) {
        display_.SetPanelText(StatusPanel::HostAddress, QStringLiteral("IP: ") + s.hostAddress);
        return 1;
    }
    if (matches == 0) {
        display_.ShowNoDevice();
        display_.SetModelText(QStringLiteral("Device not found!!"));
    } else {
        display_.SetModelText(QStringLiteral("Same multiple IP found!!"));
    }
    display_.SetModelColour(ColourRed);
    display_.SetLocationText(QString());
    s.linked = 0;
    return 0;
}

std::uint8_t LinkSupervisor::RequestLink()
{
    if (PrepareLink() == 0) return 0;
    QueueCommand(context_, GetLink, 0, 0);
    return 1;
}

void LinkSupervisor::RequestLinkNow()
{
    if (!BeginCommand(context_, GetLink)) return;
    transport_.ExchangeCommand(BuildGetLink(context_.commandFrame));
}

void LinkSupervisor::PollIoStatus()
{
    if (!BeginCommand(context_, GetIoStatus)) return;
    transport_.ExchangeCommand(BuildGetIoStatus(context_.commandFrame));
}

void LinkSupervisor::StartUp()
{
    DeviceSession& s = context_.session;
    if (s.firstActivationDone) return;
    s.firstActivationDone = 1;
    s.commandInFlight = 0;
    s.retryCount = 0;
    s.overdueTicks = 0;
    s.replyOverdue = 0;
    display_.SetPanelText(StatusPanel::HostAddress, QString());
    display_.SetAddressText(s.hostAddress);
    if (PrepareLink() == 1) {
        display_.SetPanelText(StatusPanel::HostAddress, QStringLiteral("IP: ") + s.hostAddress);
        display_.SetAddressText(s.hostAddress);
        RequestLink();
    } else {
        dialogs_.ShowMessage(QStringLiteral("Please check device whether in AP mode!"), QStringLiteral("Device not found"),
                             MessageIcon::Warning, MessageButtons::Ok);
    }
}

void LinkSupervisor::LinkTimerTick()
{
    DeviceSession& s = context_.session;
    s.retryCount = 0;
    if (s.linkTick == PeriodicCheckTick) {
        PeriodicCheck();
        s.linkTick = 0;
        return;
    }
    ++s.linkTick;
    if (s.queuedCommand != 0) SendQueuedCommand();
}

void LinkSupervisor::PeriodicCheck()
{
    DeviceSession& s = context_.session;
    if (PrepareLink() == 0) return;
    if (s.linked == 0) {
        display_.AppendLog(QStringLiteral("Re-Get Device.."));
        RequestLinkNow();
        return;
    }
    // An exchange still running owns its command; it is neither given up nor joined by a poll.
    if (s.LinkPollEnabled != 1 || context_.ExchangeBusy) return;
    if (s.commandInFlight != 0)
        s.commandInFlight = 0;  // its reply is no longer expected
    else
        PollIoStatus();
}

void LinkSupervisor::SendQueuedCommand()
{
    DeviceSession& s = context_.session;
    // The running exchange owns the frame; the queued command waits for the next tick.
    if (context_.ExchangeBusy) return;
    const std::uint8_t code = s.queuedCommand;
    display_.AppendLog(QStringLiteral("GBL => %1").arg(code));
    BeginCommand(context_, code);
    context_.commandFrame[5] = s.queuedParam1;
    context_.commandFrame[6] = s.queuedParam2;
    // Taken out of the queue before sending, so that a request made while the exchange waits,
    // or a re-issue queued by its reply, is kept for the next tick.
    s.queuedCommand = 0;
    s.linkTick = 0;
    transport_.ExchangeCommand(7);
}

bool LinkSupervisor::ApplyStaticAddress()
{
    DeviceSession& s = context_.session;
    s.staticAddressText = display_.AddressText();
    // Four numbers; whatever follows a fourth dot stays in the last part and fails there.
    QStringList parts = s.staticAddressText.split(QLatin1Char('.'));
    while (parts.size() < 4) parts << QString();
    while (parts.size() > 4) parts[3] += QLatin1Char('.') + parts.takeAt(4);
    for (const QString& part : parts) {
        if (!ParseInteger(part)) {
            dialogs_.ShowError(InvalidIntegerText(part));
            return false;
        }
    }
    s.hostAddress = s.staticAddressText;
    context_.NetworkPrefix = parts[0] + QLatin1Char('.') + parts[1] + QLatin1Char('.') + parts[2] + QLatin1Char('.');
    display_.SetPanelText(StatusPanel::Message, QStringLiteral("Change IP => ") + s.hostAddress);
    PrepareLink();
    return true;
}

void LinkSupervisor::StaticIpClick()
{
    if (!ApplyStaticAddress()) return;
    display_.ShowNoDevice();
    context_.session.retryCount = 0;
    RequestLink();
}

}  // namespace zqb
