#pragma once

#include <QString>

#include "functioncfg/FunctionControls.h"
#include "platform/Dialogs.h"
#include "protocol/Outcome.h"

namespace zqb {

// The function window's file buttons and its Off/On check, with their boxes: the typed file and
// record operations below, and every failure turned into the box the window shows.

// The box for a function file or record problem: the header box, the Off/On box, the number
// converter's complaint, or "Cannot open/save file".
void ShowFunctionProblem(Dialogs& dialogs, const Outcome& outcome, bool saving);

// The 38 characters of the controls' function; empty after the Off/On error box.
QString FormatFunctionFile(const FunctionControls& controls, Dialogs& dialogs);
// Applies a line, or shows why not and applies nothing. True when applied.
bool ParseFunctionFile(FunctionControls& controls, const QString& line, Dialogs& dialogs);

// "Save FIle": asks for a name and replaces the file whole, or leaves it as it was.
Outcome SaveFunctionFile(const FunctionControls& controls, Dialogs& dialogs);
// "Load File": asks for a file and applies its first line.
Outcome LoadFunctionFile(FunctionControls& controls, Dialogs& dialogs);

}  // namespace zqb
