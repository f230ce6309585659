#pragma once

#include "cli/CliArguments.h"
#include "cli/CliProgram.h"
#include "cli/CliTerminal.h"

namespace zqb::cli {

// The commands that talk to one module; each returns the exit status.
int RunModuleCommand(const Invocation& invocation, CliServices& services, Output& output);
// scan: many addresses, one GetLink each.
int RunScan(const Invocation& invocation, CliServices& services, Output& output);

}  // namespace zqb::cli
