#pragma once

#include <cstdint>
#include <memory>

#include "cli/CliArguments.h"
#include "cli/CliDevice.h"
#include "cli/CliProgram.h"
#include "cli/CliTerminal.h"
#include "protocol/CommandSenders.h"
#include "transfer/FileTransfer.h"
#include "transfer/FirmwareUpload.h"
#include "functioncfg/FunctionModel.h"
#include "link/HostNetworkScan.h"
#include "cli/LinkReport.h"
#include "link/ModuleLink.h"
#include "setup/SettingActions.h"

namespace zqb::cli {

// One module as a command sees it: the console's link wired for the command line, with the
// display, dialogs, transfers and setting actions the window would use.
class ModuleSession {
public:
    ModuleSession(const Invocation& invocation, CliServices& services, Output& output);
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    // The network check and GetLink, as the window links; then the module must be model 184.
    // Returns the exit status; anything but ExitDone has been said.
    int Link();

    // One command: `build` writes its frame and returns the length. The reply is handled as the
    // window handles it. ExitDone only for an acknowledged reply.
    template <class Build>
    int Exchange(std::uint8_t code, Build build)
    {
        if (!BeginCommand(link_.Context(), code)) return Say(ExitRefused, QStringLiteral("another exchange was running"));
        return Judge(link_.Transport().ExchangeCommand(build(link_.Context().commandFrame)), code);
    }
    int Judge(const ExchangeResult& result, std::uint8_t code);
    // A setting action's sender: nothing sent means the network check failed. A missing reply
    // is no refusal here, as in the setup window: the module may restart at once.
    int JudgeDelivery(const ExchangeOutcome& result, std::uint8_t code);
    int JudgeTransfer(const TransferResult& result);

    int Say(int status, const QString& message);
    QJsonObject Heading(const QString& command) const;
    QString ModuleText() const;

    ModuleLink& Wiring() { return link_; }
    SessionContext& Context() { return link_.Context(); }
    DeviceSession& Session() { return link_.Session(); }
    CliDisplay& Display() { return display_; }
    CliDialogs& GetDialogs() { return dialogs_; }
    FunctionModel& Function() { return function_; }
    FileTransfer& Transfer() { return transfer_; }
    FirmwareUpload& Firmware() { return firmware_; }
    SettingActions& Actions() { return actions_; }
    ProgressBar& Progress() { return progress_; }
    Output& Out() { return output_; }
    const Invocation& Request() const { return invocation_; }
    CliServices& Services() { return services_; }
    // The longest a reply is waited for, for messages.
    int ReplyWaitMs();

    // What the module said of itself when linked.
    std::optional<LinkRecord> report;

private:
    const Invocation& invocation_;
    CliServices& services_;
    Output& output_;
    std::unique_ptr<HostNetworkBackend> hostBackend_;
    HostNetwork hostNetwork_;
    CliDialogs dialogs_;
    ModuleLink link_;
    CliDisplay display_;
    FunctionModel function_;
    ProgressBar progress_;
    FileTransfer transfer_;
    FirmwareUpload firmware_;
    SettingActions actions_;
};

// The commands that talk to one module; each returns the exit status.
int RunModuleCommand(const Invocation& invocation, CliServices& services, Output& output);
// scan: many addresses, one GetLink each.
int RunScan(const Invocation& invocation, CliServices& services, Output& output);

}  // namespace zqb::cli
