#pragma once

#include <cstdint>

#include "protocol/CommandTransport.h"
#include "protocol/DeviceDisplay.h"
#include "platform/Dialogs.h"
#include "link/HostNetworkScan.h"
#include "protocol/LinkGate.h"
#include "protocol/SessionContext.h"

namespace zqb {

// The second line of the address error box: which field, and what it takes.
inline const QString AddressFormText = QStringLiteral("\nDevice IP: four numbers 0\u2013255, for example 192.168.77.1.");

// Finds the module and keeps the link alive: the host network check in front of commands, the
// link request, the start-up of the first activation, the link timer's work and the entry of
// a fixed module address.
class LinkSupervisor : public LinkGate {
public:
    LinkSupervisor(SessionContext& context, DeviceDisplay& display, CommandTransport& transport,
                   HostNetwork& hostNetwork, Dialogs& dialogs);

    std::uint8_t PrepareLink() override;
    std::uint8_t RequestLink() override;
    Outcome CheckNetwork() override;
    // Points every command at the module at `address` and `port`: the session's address, port and
    // static-address text, and the network prefix an interface must have (one rule for all).
    void AimAt(const QString& address, std::uint16_t port);
    // Sends GetLink at once, without a network check.
    void RequestLinkNow();
    // The main window's first activation; later calls do nothing.
    void StartUp();
    // The work of one link timer tick; the timer itself is stopped around it by LinkTimer.
    void LinkTimerTick();
    void PollIoStatus();
    // Takes Edit2 as the module's address; false (after an error box) when it is no address.
    bool ApplyStaticAddress() { return ApplyStaticAddress(context_.session.hostPort); }
    // The same for a module that listens on `port`.
    bool ApplyStaticAddress(std::uint16_t port);
    // "Static IP" pressed.
    void StaticIpClick() { StaticIpClickAt(context_.session.hostPort); }
    // "Static IP" pressed for a module that listens on `port` (one the finder found): true once
    // the link is aimed at Edit2's address and port, false when nothing changed.
    bool StaticIpClickAt(std::uint16_t port);
    // The setup or function window closed. Once a module was linked, its link record (and with it
    // its own settings and function) is asked for again, the poll resumes and the message panel
    // clears. Without a link the poll goes back to what it was when the window opened: the
    // window can open after a model-184 reply from another address, and a poll left off then
    // would never return once the module links.
    void DialogClosed(std::uint8_t pollBeforeOpening);

private:
    void PeriodicCheck();
    void SendQueuedCommand();
    // Whether another program holds the module for a file write: the periodic poll then waits,
    // and the message panel says why.
    bool ModuleHeldElsewhere();
    // The last network check as an outcome.
    Outcome NetworkOutcome() const;

    SessionContext& context_;
    DeviceDisplay& display_;
    CommandTransport& transport_;
    HostNetwork& hostNetwork_;
    Dialogs& dialogs_;
    std::uint8_t lastMatches_ = 0;
};

// The tick count at which the link timer runs its periodic check (every 31st tick).
inline constexpr std::uint8_t PeriodicCheckTick = 30;

}  // namespace zqb
