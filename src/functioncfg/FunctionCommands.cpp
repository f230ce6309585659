#include "functioncfg/FunctionCommands.h"

#include "functioncfg/FunctionRecordMapping.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"

namespace zqb {

Outcome WriteFunctionConfig(CommandTransport& transport, const FunctionControls& controls)
{
    const Result<FunctionValues> values = FunctionValuesOf(controls);
    if (!values.Ok()) return values.outcome;
    const FunctionRecord record = RecordFromValues(values.value);
    return transport.Exchange(SetFunctionConfig, [&record](CommandFrame& f) { return BuildSetFunctionConfig(f, record); });
}

Outcome ReadFunctionConfig(CommandTransport& transport)
{
    return transport.Exchange(GetFunctionConfig, [](CommandFrame& f) { return BuildGetFunctionConfig(f); });
}

}  // namespace zqb
