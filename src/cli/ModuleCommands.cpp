#include "cli/ModuleCommands.h"

#include "cli/CommandGroups.h"

namespace zqb::cli {

int RunModuleCommand(const Invocation& invocation, CliServices& services, Output& output)
{
    ModuleSession m(invocation, services, output);
    switch (invocation.command) {
    case Command::Status: return Status(m);
    case Command::Watch: return Watch(m);
    case Command::SetDo: return SetDoCommand(m);
    case Command::SetAnalog: return SetAnalogCommand(m);
    case Command::SetRange: return SetRangeCommand(m);
    case Command::Locate: return LocateCommand(m);
    case Command::Counters: return CountersCommand(m);
    case Command::FunctionShow: return FunctionShow(m);
    case Command::FunctionSave: return FunctionSave(m);
    case Command::FunctionLoad: return FunctionLoad(m);
    case Command::SettingsBackup: return SettingsBackup(m);
    case Command::SettingsRestore: return SettingsRestore(m);
    case Command::SettingsSet: return SettingsSet(m);
    case Command::WebKey: return WebKey(m);
    case Command::WifiMode: return WifiMode(m);
    case Command::ResetDefaults: return ResetDefaults(m);
    case Command::Reboot: return Reboot(m);
    case Command::Firmware: return Firmware(m);
    case Command::Help:
    case Command::Version:
    case Command::Scan:
        break;
    }
    return ExitUsage;
}

}  // namespace zqb::cli
