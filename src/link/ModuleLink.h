#pragma once

#include "protocol/CommandTransport.h"
#include "protocol/DeviceDisplay.h"
#include "platform/Dialogs.h"
#include "protocol/DisplayRelay.h"
#include "link/HostNetworkScan.h"
#include "link/LinkSupervisor.h"
#include "platform/Pauses.h"
#include "protocol/ReplyHandler.h"
#include "protocol/SessionContext.h"

namespace zqb {

// The console's link to one module, wired once: the session records, the transport, reply
// handling and link supervision, each holding the others by reference. The programs, the test
// rigs and the benchmarks all build this one object; the windows receive it.
class ModuleLink {
public:
    // The display is attached later: the main window needs the link before it exists.
    ModuleLink(HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses);
    // A display that already exists (tests, the command-line program).
    ModuleLink(DeviceDisplay& display, HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses);
    ModuleLink(const ModuleLink&) = delete;
    ModuleLink& operator=(const ModuleLink&) = delete;

    void ShowOn(DeviceDisplay& display) { display_.Attach(display); }
    void StopShowingOn(const DeviceDisplay& display) { display_.Detach(display); }

    SessionContext& Context() { return context_; }
    DeviceSession& Session() { return context_.session; }
    DeviceDisplay& Display() { return display_; }
    Dialogs& GetDialogs() { return dialogs_; }
    // The blocking pauses of the file transfers and setting actions.
    Pauses& GetPauses() { return pauses_; }
    CommandTransport& Transport() { return transport_; }
    ReplyHandler& Replies() { return replies_; }
    LinkSupervisor& Supervisor() { return supervisor_; }

private:
    SessionContext context_;
    DisplayRelay display_;
    Dialogs& dialogs_;
    Pauses& pauses_;
    CommandTransport transport_;
    LinkSupervisor supervisor_;
    ReplyHandler replies_;
};

}  // namespace zqb
