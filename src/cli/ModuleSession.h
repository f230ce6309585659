#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include <QJsonObject>

#include "cli/CliArguments.h"
#include "cli/CliDevice.h"
#include "cli/CliProgram.h"
#include "cli/CliTerminal.h"
#include "cli/ExitStatus.h"
#include "cli/OutputRules.h"
#include "functioncfg/FunctionModel.h"
#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "protocol/LinkRecord.h"

namespace zqb::cli {

// One module as a command sees it: the console's link, aimed at the module named on the command
// line, with a display, dialogs and progress of the command line's own, and the function
// controls the window would hold.
class ModuleSession {
public:
    ModuleSession(const Invocation& invocation, CliServices& services, Output& output);
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    // The network check and GetLink, as the window links; then the module must be model 184 and
    // report the address it was reached at. The record is kept in `record`.
    Outcome Link();

    // One command from start to verdict, as every sender sends it.
    template <class Build>
    Outcome Exchange(std::uint8_t code, Build&& build)
    {
        return link_.Transport().Exchange(code, std::forward<Build>(build));
    }

    // The exit status of `outcome`; a failure is said first, `context` ahead of it when given.
    int Finish(const Outcome& outcome, const QString& context = {});
    int Say(int status, const QString& message);
    QJsonObject Heading(const QString& command) const;
    QString ModuleText() const;
    // The longest a reply is waited for, for messages.
    int ReplyWaitMs();

    ModuleLink& Wiring() { return link_; }
    SessionContext& Context() { return link_.Context(); }
    DeviceSession& Session() { return link_.Session(); }
    FunctionModel& Function() { return function_; }
    ProgressBar& Progress() { return progress_; }
    Output& Out() { return output_; }
    const Invocation& Request() const { return invocation_; }
    CliServices& Services() { return services_; }

    // What the module said of itself when linked.
    std::optional<LinkRecord> record;

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
};

// Helpers the command groups share.
QString OnOff(bool on);
QString RangeName(bool fourToTwenty);
// Waits, a little at a time, so that a stop request is seen soon; false when one came.
bool Wait(int milliseconds, const std::atomic<bool>* stop);

}  // namespace zqb::cli
