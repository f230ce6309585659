#include "protocol/CommandSenders.h"

#include <algorithm>

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

bool ReplyAcknowledged(const SessionContext& context, const ExchangeResult& result)
{
    const ReplyBuffer& reply = context.replyBuffer;
    return result.Replied() && std::equal(FrameMagic.begin(), FrameMagic.end(), reply.begin()) &&
           reply[StatusOffset] == StatusAcknowledged;
}

bool ReplyRefused(const SessionContext& context, const ExchangeResult& result, std::uint8_t code)
{
    const ReplyBuffer& reply = context.replyBuffer;
    return result.Replied() && result.replyLength > StatusOffset &&
           std::equal(FrameMagic.begin(), FrameMagic.end(), reply.begin()) && reply[CodeOffset] == code &&
           reply[StatusOffset] != StatusAcknowledged;
}

void RequestLocator(SessionContext& context) { QueueCommand(context, SetLocator); }

ExchangeResult RequestImageChecksum(SessionContext& context, CommandTransport& transport)
{
    if (!BeginCommand(context, GetImageChecksum)) return {};
    return transport.ExchangeCommand(
        BuildGetImageChecksum(context.commandFrame, static_cast<std::uint32_t>(context.imageSum)));
}

ExchangeResult AnnounceImageChecksum(SessionContext& context, CommandTransport& transport)
{
    if (!BeginCommand(context, SendImageChecksum)) return {};
    return transport.SendCommandOnly(
        BuildSendImageChecksum(context.commandFrame, static_cast<std::uint32_t>(context.imageSum)));
}

ExchangeResult SendResetModule(SessionContext& context, CommandTransport& transport)
{
    if (!BeginCommand(context, ResetModule)) return {};
    return transport.SendCommandOnly(BuildResetModule(context.commandFrame));
}

}  // namespace zqb
