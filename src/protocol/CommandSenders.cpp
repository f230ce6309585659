#include "CommandSenders.h"

#include <algorithm>

#include "CommandBuilders.h"
#include "CommandCodes.h"

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

bool ReplyAcknowledged(const SessionContext& context, std::size_t replyLength)
{
    const ReplyBuffer& reply = context.replyBuffer;
    return replyLength > 0 && std::equal(FrameMagic.begin(), FrameMagic.end(), reply.begin()) &&
           reply[StatusOffset] == StatusAcknowledged;
}

void RequestLocator(SessionContext& context) { QueueCommand(context, SetLocator); }

void RequestImageChecksum(SessionContext& context, CommandTransport& transport)
{
    if (!BeginCommand(context, GetImageChecksum)) return;
    transport.ExchangeCommand(BuildGetImageChecksum(context.commandFrame, static_cast<std::uint32_t>(context.imageSum)));
}

void AnnounceImageChecksum(SessionContext& context, CommandTransport& transport)
{
    if (!BeginCommand(context, SendImageChecksum)) return;
    transport.SendCommandOnly(BuildSendImageChecksum(context.commandFrame, static_cast<std::uint32_t>(context.imageSum)));
}

void SendResetModule(SessionContext& context, CommandTransport& transport)
{
    if (!BeginCommand(context, ResetModule)) return;
    transport.SendCommandOnly(BuildResetModule(context.commandFrame));
}

}  // namespace zqb
