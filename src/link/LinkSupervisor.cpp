#include "link/LinkSupervisor.h"

#include <QStringList>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "platform/IntegerText.h"
#include "protocol/Ipv4Text.h"

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
        // A running exchange owns the link; the check (and any box its network scan may raise)
        // waits for the next tick instead of opening inside the exchange's socket wait.
        if (context_.ExchangeBusy) return;
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
    if (s.LinkPollEnabled != 1) return;
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
    const std::size_t length = BuildQueuedCommand(context_.commandFrame, code, s.queuedParam1, s.queuedParam2);
    // Taken out of the queue before sending, so that a request made while the exchange waits,
    // or a re-issue queued by its reply, is kept for the next tick.
    s.queuedCommand = 0;
    s.linkTick = 0;
    transport_.ExchangeCommand(length);
}

bool LinkSupervisor::ApplyStaticAddress()
{
    DeviceSession& s = context_.session;
    s.staticAddressText = display_.AddressText();
    // Four decimal numbers; whatever follows a fourth dot stays in the last part and fails there.
    // Only digits pass (no sign, blank, "$" or "0x"), so the address never becomes a host name.
    QStringList parts = s.staticAddressText.split(QLatin1Char('.'));
    while (parts.size() < 4) parts << QString();
    while (parts.size() > 4) parts[3] += QLatin1Char('.') + parts.takeAt(4);
    for (const QString& part : parts) {
        if (!IsDecimalDigits(part) || !ParseInteger(part)) {
            dialogs_.ShowError(InvalidIntegerText(part) + AddressFormText);
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
    // Clicks arrive inside socket waits; the address of a running exchange stays as it is.
    if (context_.ExchangeBusy) return;
    if (!ApplyStaticAddress()) return;
    display_.ShowNoDevice();
    context_.session.retryCount = 0;
    RequestLink();
}

void LinkSupervisor::DialogClosed(std::uint8_t pollBeforeOpening)
{
    DeviceSession& s = context_.session;
    if (!s.DeviceEverLinked) {
        s.LinkPollEnabled = pollBeforeOpening;
        return;
    }
    RequestLink();
    s.LinkPollEnabled = 1;
    display_.SetPanelText(StatusPanel::Message, QString());
}

}  // namespace zqb
