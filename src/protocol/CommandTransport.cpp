#include "protocol/CommandTransport.h"

#include <algorithm>

#include "protocol/BlockingSocket.h"
#include "protocol/CommandCodes.h"
#include "protocol/NetworkGuard.h"
#include "protocol/ReplyHandler.h"

namespace zqb {

CommandTransport::CommandTransport(SessionContext& context, DeviceDisplay& display, ReplyHandler& replies)
    : context_(context), display_(display), replies_(replies)
{
}

// Connects to the module; on failure reports "Connect Timeout" and forgets the command.
// On success a "Connect Timeout" left by an earlier command is cleared, any other text stays.
bool CommandTransport::ConnectToModule(BlockingSocket& socket)
{
    DeviceSession& s = context_.session;
    const bool connected = ConnectionAllowed(s.hostAddress) &&
                           socket.Connect(s.hostAddress, s.hostPort, timing_.connectTimeoutMs);
    if (!connected) {
        display_.SetPanelText(StatusPanel::Message, ConnectTimeoutText);
        s.commandInFlight = 0;
        return false;
    }
    if (display_.PanelText(StatusPanel::Message) == ConnectTimeoutText)
        display_.SetPanelText(StatusPanel::Message, QString());
    return true;
}

// A connection that broke while sending or waiting: the command is given up and the user told,
// briefly in the panel and with the socket's reason in its tool tip and the log.
void CommandTransport::ReportLostConnection(BlockingSocket& socket)
{
    ReportOutcome(display_, ConnectionLostText, socket.ErrorText());
    context_.session.commandInFlight = 0;
    socket.Close();
}

std::size_t CommandTransport::FrameLength(std::size_t length)
{
    return std::min(length, context_.commandFrame.size());
}

ExchangeResult CommandTransport::ExchangeCommand(std::size_t length)
{
    using Kind = ExchangeResult::Kind;
    if (context_.ExchangeBusy) return {Kind::Dropped};
    BusyScope busy(context_);
    DeviceSession& s = context_.session;
    CommandFrame& frame = context_.commandFrame;
    s.overdueTicks = 0;
    s.overdueLimit = 40;

    BlockingSocket socket;
    socket.SetReadLimit(context_.replyBuffer.size());
    if (!ConnectToModule(socket)) return {Kind::NotConnected};

    std::fill_n(context_.replyBuffer.begin(), ReplyClearedBytes, std::uint8_t{0});
    std::copy(FrameMagic.begin(), FrameMagic.end(), frame.begin());
    length = FrameLength(length);
    // Commands that travel through the queue carry the queue's parameter pair.
    const std::uint8_t code = frame[CodeOffset];
    if ((code == SetDo || code == SetLocator || code == GetLink) && length == 5) {
        frame[5] = s.queuedParam1;
        frame[6] = s.queuedParam2;
        length = 7;
    }
    if (!socket.Write(frame.data(), length)) {
        ReportLostConnection(socket);
        return {Kind::ConnectionLost};
    }

    bool gotInput = false;
    for (int attempt = 0; attempt < timing_.replyWaits && !gotInput; ++attempt) {
        if (socket.HasInput()) {
            gotInput = true;
            break;
        }
        const auto result = socket.WaitForInput(timing_.replyWaitMs);
        if (result == BlockingSocket::WaitResult::Closed) {
            ReportLostConnection(socket);
            return {Kind::ConnectionLost};
        }
        if (result == BlockingSocket::WaitResult::Aborted) {
            socket.Close();
            return {Kind::ConnectionLost};
        }
    }
    // After the last wait the buffer is not looked at again.
    if (!gotInput) {
        socket.Close();
        s.replyOverdue = 1;
        return {Kind::NoReply};
    }

    const std::size_t received = socket.ReadAvailable(context_.replyBuffer.data(), context_.replyBuffer.size());
    socket.Close();
    if (received == 0) return {Kind::NoReply};
    replies_.HandleReply(received);
    return {Kind::Replied, received};
}

ExchangeResult CommandTransport::SendCommandOnly(std::size_t length)
{
    using Kind = ExchangeResult::Kind;
    if (context_.ExchangeBusy) return {Kind::Dropped};
    BusyScope busy(context_);
    DeviceSession& s = context_.session;
    s.overdueTicks = 0;
    s.overdueLimit = 40;
    s.replyOverdue = 0;

    BlockingSocket socket;
    if (!ConnectToModule(socket)) return {Kind::NotConnected};
    std::copy(FrameMagic.begin(), FrameMagic.end(), context_.commandFrame.begin());
    if (!socket.Write(context_.commandFrame.data(), FrameLength(length))) {
        ReportLostConnection(socket);
        return {Kind::ConnectionLost};
    }
    socket.Close();
    return {Kind::Sent};
}

}  // namespace zqb
