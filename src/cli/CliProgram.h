#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QStringList>

#include "cli/CliTerminal.h"
#include "link/HostNetworkBackend.h"
#include "platform/Pauses.h"
#include "protocol/DeviceDisplay.h"

namespace zqb::cli {

// What a run of the program uses from the world around it; the program passes the real ones,
// tests their doubles.
struct CliServices {
    Terminal& terminal;
    // The pauses the window makes between the steps of a file write or a firmware update.
    Pauses& pauses;
    std::function<std::unique_ptr<HostNetworkBackend>()> makeHostNetwork;
    QString lockDirectory;
    // Set from outside (a signal) to end a watch.
    const std::atomic<bool>* stop = nullptr;
    // The window's transfer timer, which re-issues an unanswered firmware checksum request.
    int firmwareTickMs = 100;
};

// Runs one command line (the arguments after the program's name; `raw`, when given, their bytes
// as received) and returns the exit status. Needs a QCoreApplication.
int RunCli(const QStringList& arguments, CliServices& services, const QList<QByteArray>& raw = {});

}  // namespace zqb::cli
