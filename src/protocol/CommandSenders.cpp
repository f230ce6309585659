#include "protocol/CommandSenders.h"

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"

namespace zqb {

bool BeginCommand(SessionContext& context, std::uint8_t code)
{
    if (context.ExchangeBusy) return false;
    context.session.commandInFlight = code;
    context.commandFrame[CodeOffset] = code;
    return true;
}

void QueueCommand(SessionContext& context, std::uint8_t code)
{
    BeginCommand(context, code);
    context.session.queuedCommand = code;
}

void QueueCommand(SessionContext& context, std::uint8_t code, std::uint8_t param1, std::uint8_t param2)
{
    if (BeginCommand(context, code)) BuildQueuedCommand(context.commandFrame, code, param1, param2);
    context.session.queuedParam1 = param1;
    context.session.queuedParam2 = param2;
    context.session.queuedCommand = code;
}

void RequestLocator(SessionContext& context) { QueueCommand(context, SetLocator); }

Outcome RequestImageChecksum(SessionContext& context, CommandTransport& transport)
{
    const auto sum = static_cast<std::uint32_t>(context.imageSum);
    return transport.Exchange(GetImageChecksum, [sum](CommandFrame& f) { return BuildGetImageChecksum(f, sum); });
}

Outcome AnnounceImageChecksum(SessionContext& context, CommandTransport& transport)
{
    const auto sum = static_cast<std::uint32_t>(context.imageSum);
    return transport.SendOnly(SendImageChecksum, [sum](CommandFrame& f) { return BuildSendImageChecksum(f, sum); });
}

Outcome SendResetModule(SessionContext&, CommandTransport& transport)
{
    return transport.SendOnly(ResetModule, [](CommandFrame& f) { return BuildResetModule(f); });
}

}  // namespace zqb
