#pragma once

#include "cli/ModuleSession.h"

namespace zqb::cli {

// The commands that talk to one module, by group; each returns the exit status.

// The module's state: StatusCommands.cpp.
int Status(ModuleSession& m);
int Watch(ModuleSession& m);

// The main window's outputs, locator and counters: OutputCommands.cpp.
int SetDoCommand(ModuleSession& m);
int SetAnalogCommand(ModuleSession& m);
int SetRangeCommand(ModuleSession& m);
int LocateCommand(ModuleSession& m);
int CountersCommand(ModuleSession& m);

// The standalone function: StandaloneCommands.cpp.
int FunctionShow(ModuleSession& m);
int FunctionSave(ModuleSession& m);
int FunctionLoad(ModuleSession& m);

// The settings record: SettingsCommands.cpp.
int SettingsBackup(ModuleSession& m);
int SettingsRestore(ModuleSession& m);
int SettingsSet(ModuleSession& m);

// The setup window's commands and the firmware: SetupCommands.cpp.
int WebKey(ModuleSession& m);
int WifiMode(ModuleSession& m);
int ResetDefaults(ModuleSession& m);
int Reboot(ModuleSession& m);
int Firmware(ModuleSession& m);

}  // namespace zqb::cli
