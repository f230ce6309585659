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
    lastMatches_ = matches;
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
    // The trend and the diagnostics see a lost network among the outcomes.
    context_.outcomes.Record(NetworkOutcome());
    return 0;
}

std::uint8_t LinkSupervisor::RequestLink()
{
    if (PrepareLink() == 0) return 0;
    QueueCommand(context_, GetLink, 0, 0);
    return 1;
}

Outcome LinkSupervisor::NetworkOutcome() const
{
    if (lastMatches_ == 1) return Outcome::Done();
    return Outcome::NotReached(0, lastMatches_ == 0 ? Unreached::NoNetwork : Unreached::SeveralNetworks);
}

Outcome LinkSupervisor::CheckNetwork()
{
    PrepareLink();
    return NetworkOutcome();
}

void LinkSupervisor::AimAt(const QString& address, std::uint16_t port)
{
    DeviceSession& s = context_.session;
    // Linked is what the module at the new place says with its link record, not what the last
    // one said: until then the periodic check asks for the record instead of polling a module it
    // never linked.
    if (address != s.hostAddress || port != s.hostPort) s.linked = 0;
    s.hostAddress = address;
    s.staticAddressText = address;
    s.hostPort = port;
    context_.NetworkPrefix = NetworkPrefixOf(address);
}

void LinkSupervisor::RequestLinkNow() { transport_.Exchange(GetLink, [](CommandFrame& f) { return BuildGetLink(f); }); }

void LinkSupervisor::PollIoStatus()
{
    transport_.Exchange(GetIoStatus, [](CommandFrame& f) { return BuildGetIoStatus(f); });
}

bool LinkSupervisor::ModuleHeldElsewhere()
{
    if (!transport_.Lock().HeldExclusivelyElsewhere()) return false;
    display_.SetPanelText(StatusPanel::Message, ModuleInUseText);
    return true;
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
        // waits for the next tick instead of opening inside the exchange's socket wait. So it
        // does while a module scan runs, whose probes would be handled inside the poll's wait.
        if (context_.ExchangeBusy || context_.ScanRunning) return;
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
    else if (!ModuleHeldElsewhere())
        PollIoStatus();
}

void LinkSupervisor::SendQueuedCommand()
{
    DeviceSession& s = context_.session;
    // The running exchange owns the frame; the queued command waits for the next tick.
    if (context_.ExchangeBusy) return;
    const std::uint8_t code = s.queuedCommand;
    display_.AppendLog(QStringLiteral("GBL => %1").arg(code));
    transport_.Exchange(code, [&s, code](CommandFrame& frame) {
        const std::size_t length = BuildQueuedCommand(frame, code, s.queuedParam1, s.queuedParam2);
        // Taken out of the queue before sending, so that a request made while the exchange
        // waits, or a re-issue queued by its reply, is kept for the next tick.
        s.queuedCommand = 0;
        s.linkTick = 0;
        return length;
    });
}

bool LinkSupervisor::ApplyStaticAddress(std::uint16_t port)
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
    AimAt(s.staticAddressText, port);
    display_.SetPanelText(StatusPanel::Message, QStringLiteral("Change IP => ") + s.hostAddress);
    PrepareLink();
    return true;
}

bool LinkSupervisor::StaticIpClickAt(std::uint16_t port)
{
    // Clicks arrive inside socket waits; the address of a running exchange stays as it is.
    if (context_.ExchangeBusy) return false;
    if (!ApplyStaticAddress(port)) return false;
    display_.ShowNoDevice();
    context_.session.retryCount = 0;
    RequestLink();
    return true;
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
