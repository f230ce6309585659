#include "functioncfg/FunctionCommands.h"

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "functioncfg/FunctionRecordMapping.h"

namespace zqb {

bool WriteFunctionConfig(SessionContext& context, CommandTransport& transport, const FunctionControls& controls,
                         Dialogs& dialogs)
{
    // While another exchange waits, its frame and commandInFlight stay its own.
    if (!BeginCommand(context, SetFunctionConfig)) return false;
    const std::size_t length = BuildFunctionRecord(controls, context.commandFrame, dialogs);
    if (length == 0) return false;
    return ReplyAcknowledged(context, transport.ExchangeCommand(length));
}

bool ReadFunctionConfig(SessionContext& context, CommandTransport& transport)
{
    if (!BeginCommand(context, GetFunctionConfig)) return false;
    return ReplyAcknowledged(context, transport.ExchangeCommand(BuildGetFunctionConfig(context.commandFrame)));
}

}  // namespace zqb
