#pragma once

#include "protocol/CommandTransport.h"
#include "platform/Dialogs.h"
#include "functioncfg/FunctionControls.h"
#include "protocol/SessionContext.h"

namespace zqb {

// Sends SetFunctionConfig with the record built from the controls. True only when the module
// acknowledged it; a refused record, a busy transport, a failed connect or a negative reply
// give false, and the reason is already on screen.
bool WriteFunctionConfig(SessionContext& context, CommandTransport& transport, const FunctionControls& controls,
                         Dialogs& dialogs);

// Sends GetFunctionConfig; the reply handling fills the window. True only when acknowledged.
bool ReadFunctionConfig(SessionContext& context, CommandTransport& transport);

}  // namespace zqb
