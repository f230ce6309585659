#pragma once

#include "functioncfg/FunctionControls.h"
#include "protocol/CommandTransport.h"
#include "protocol/Outcome.h"

namespace zqb {

// Sends SetFunctionConfig with the record built from the controls: the one function write of the
// window, zqb and every test. An input error, with nothing sent, when the Off value is above the
// On value; otherwise the exchange's verdict (delivered only when the module acknowledged it).
Outcome WriteFunctionConfig(CommandTransport& transport, const FunctionControls& controls);

// Sends GetFunctionConfig; reply handling fills the controls. Delivered only when acknowledged.
Outcome ReadFunctionConfig(CommandTransport& transport);

}  // namespace zqb
