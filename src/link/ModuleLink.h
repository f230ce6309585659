#pragma once

#include <cstdint>
#include <string>

#include "link/HostNetworkScan.h"
#include "link/LinkSupervisor.h"
#include "platform/Dialogs.h"
#include "platform/Pauses.h"
#include "protocol/CommandTransport.h"
#include "protocol/DeviceDisplay.h"
#include "protocol/DisplayRelay.h"
#include "protocol/ReplyHandler.h"
#include "protocol/SessionContext.h"
#include "setup/DeviceSettings.h"
#include "transfer/FileTransfer.h"
#include "transfer/FirmwareUpload.h"
#include "transfer/ProgressRelay.h"

namespace zqb {

// The console's link to one module, wired once: the session records, the transport, reply
// handling, link supervision, the file transfer, the firmware upload and the settings, each
// holding the others by reference. The programs, the test rigs and the benchmarks all build this
// one object and aim it with one call. The main window receives it and hands each of its windows
// only the parts that window uses.
class ModuleLink {
public:
    // The display is attached later: the main window needs the link before it exists. Module
    // locks lie in `lockDirectory` (empty: no locks are taken).
    ModuleLink(HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses, std::string lockDirectory);
    // A display that already exists (tests, the command-line program, the bridge).
    ModuleLink(DeviceDisplay& display, HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses,
               std::string lockDirectory);
    ModuleLink(const ModuleLink&) = delete;
    ModuleLink& operator=(const ModuleLink&) = delete;

    // Points the link at the module at `address` (four decimal numbers) and `port`: where every
    // command goes, the static-address text, and the network an interface of the PC must be in.
    void AimAt(const QString& address, std::uint16_t port);

    void ShowOn(DeviceDisplay& display) { display_.Attach(display); }
    void StopShowingOn(const DeviceDisplay& display) { display_.Detach(display); }
    void ShowProgressOn(TransferProgress& progress) { progress_.Attach(progress); }
    void StopShowingProgressOn(const TransferProgress& progress) { progress_.Detach(progress); }

    SessionContext& Context() { return context_; }
    DeviceSession& Session() { return context_.session; }
    DisplayRelay& Display() { return display_; }
    ProgressRelay& Progress() { return progress_; }
    Dialogs& GetDialogs() { return dialogs_; }
    // The blocking pauses of the file transfers and setting actions.
    Pauses& GetPauses() { return pauses_; }
    CommandTransport& Transport() { return transport_; }
    ReplyHandler& Replies() { return replies_; }
    LinkSupervisor& Supervisor() { return supervisor_; }
    FileTransfer& Transfer() { return transfer_; }
    FirmwareUpload& Firmware() { return firmware_; }
    DeviceSettings& Settings() { return settings_; }

    // Where the module locks lie for the programs of this user; empty (no locks) when no private
    // folder can be had, with the reason in `problem`.
    static std::string DefaultLockDirectory(std::string& problem);

private:
    SessionContext context_;
    DisplayRelay display_;
    ProgressRelay progress_;
    Dialogs& dialogs_;
    Pauses& pauses_;
    CommandTransport transport_;
    LinkSupervisor supervisor_;
    ReplyHandler replies_;
    FileTransfer transfer_;
    FirmwareUpload firmware_;
    DeviceSettings settings_;
};

}  // namespace zqb
