#pragma once

#include <QString>

#include "protocol/Outcome.h"

namespace zqb::cli {

// What the program's exit status says.
enum ExitStatus : int {
    ExitDone = 0,
    ExitRefused = 1,      // the module refused or answered wrongly, a verdict failed, or it was busy
    ExitUsage = 2,        // a usage, input or file error; nothing was sent
    ExitUnreachable = 3,  // no connection, no reply, a connection cut short, or the PC is not in the module's network
};

// The exit status of an outcome: taken from its kind alone, never from any text.
int ExitStatusFor(const Outcome& outcome);

// What the program says of a failed outcome on standard error: the module as "ADDRESS:PORT",
// and how long a reply was waited for.
QString Explain(const Outcome& outcome, const QString& module, int replyWaitMs);

}  // namespace zqb::cli
