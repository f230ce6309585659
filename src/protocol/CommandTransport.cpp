#include "protocol/CommandTransport.h"

#include <algorithm>

#include "protocol/BlockingSocket.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "protocol/NetworkGuard.h"
#include "protocol/ReplyHandler.h"
#include "protocol/ReplyRules.h"

namespace zqb {

namespace {

// Gives back the shared hold an exchange took, on every way out of it.
struct SharedHoldRelease {
    ModuleLock& lock;
    bool taken;
    ~SharedHoldRelease()
    {
        if (taken) lock.Release();
    }
};

}  // namespace

CommandTransport::CommandTransport(SessionContext& context, DisplayRelay& display, ReplyHandler& replies,
                                   std::string lockDirectory)
    : context_(context), display_(display), replies_(replies), lockDirectory_(std::move(lockDirectory))
{
}

ModuleLock& CommandTransport::Lock()
{
    const DeviceSession& s = context_.session;
    // The address can change between commands ("Static IP"); the lock follows it.
    if (s.hostAddress != lockAddress_ || s.hostPort != lockPort_ || lock_.Aimed() == lockDirectory_.empty()) {
        lock_.Aim(lockDirectory_, s.hostAddress.toStdString(), s.hostPort);
        lockAddress_ = s.hostAddress;
        lockPort_ = s.hostPort;
    }
    return lock_;
}

bool CommandTransport::HoldExclusively(int waitMs)
{
    return Lock().Exclusive(waitMs) != ModuleLock::Attempt::HeldElsewhere;
}

void CommandTransport::ReleaseExclusive()
{
    if (lock_.Held() == ModuleLock::Hold::Exclusive) lock_.Release();
}

bool CommandTransport::TakeShared(bool& taken)
{
    ModuleLock& lock = Lock();
    taken = false;
    if (lock.Held() != ModuleLock::Hold::None) return true;  // this program's own file write
    switch (lock.TryShared()) {
    case ModuleLock::Attempt::Taken:
        taken = true;
        return true;
    case ModuleLock::Attempt::Failed:
        // Without a usable lock file nothing can be coordinated; the command goes as it would.
        return true;
    case ModuleLock::Attempt::HeldElsewhere:
        break;
    }
    display_.SetPanelText(StatusPanel::Message, ModuleInUseText);
    return false;
}

bool CommandTransport::Begin(std::uint8_t code) { return BeginCommand(context_, code); }

Outcome CommandTransport::Verdict(std::uint8_t code, const ExchangeResult& result)
{
    const Outcome outcome = JudgeExchange(code, result, context_.replyBuffer);
    context_.outcomes.Record(outcome);
    return outcome;
}

// Connects to the module; on failure reports "Connect Timeout" and forgets the command.
// On success a "Connect Timeout" this transport showed is cleared, unless another text has
// taken its place since.
std::optional<ExchangeResult::Kind> CommandTransport::ConnectToModule(BlockingSocket& socket)
{
    DeviceSession& s = context_.session;
    const bool allowed = ConnectionAllowed(s.hostAddress);
    if (!allowed || !socket.Connect(s.hostAddress, s.hostPort, timing_.connectTimeoutMs)) {
        display_.SetPanelText(StatusPanel::Message, ConnectTimeoutText);
        connectTimeoutShownAt_ = display_.MessageWrites();
        s.commandInFlight = 0;
        return allowed ? ExchangeResult::Kind::NotConnected : ExchangeResult::Kind::NotAllowed;
    }
    if (connectTimeoutShownAt_ && *connectTimeoutShownAt_ == display_.MessageWrites())
        display_.SetPanelText(StatusPanel::Message, QString());
    connectTimeoutShownAt_.reset();
    return std::nullopt;
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

    bool shared = false;
    if (!TakeShared(shared)) return {Kind::HeldElsewhere};
    const SharedHoldRelease unshare{lock_, shared};

    BlockingSocket socket;
    socket.SetReadLimit(context_.replyBuffer.size());
    if (const auto failed = ConnectToModule(socket)) return {*failed, 0, 0, socket.ErrorText()};

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
        const QString why = socket.ErrorText();
        ReportLostConnection(socket);
        return {Kind::ConnectionLost, 0, length, why};
    }

    bool gotInput = false;
    for (int attempt = 0; attempt < timing_.replyWaits && !gotInput; ++attempt) {
        if (socket.HasInput()) {
            gotInput = true;
            break;
        }
        const auto result = socket.WaitForInput(timing_.replyWaitMs);
        if (result == BlockingSocket::WaitResult::Closed) {
            const QString why = socket.ErrorText();
            socket.Close();
            // The whole frame went out. A module that may skip its answer took it; the image
            // check's answer is missing as if it were late, and is asked for again; any other
            // command is given up, and the user told.
            if (!RuleFor(code).maySkipReply) {
                if (code == GetImageChecksum)
                    s.replyOverdue = 1;
                else
                    ReportLostConnection(socket);
            }
            return {Kind::ClosedWithoutReply, 0, length, why};
        }
        if (result == BlockingSocket::WaitResult::Aborted) {
            socket.Close();
            return {Kind::ConnectionLost, 0, length, QStringLiteral("the program is closing")};
        }
    }
    // After the last wait the buffer is not looked at again.
    if (!gotInput) {
        socket.Close();
        s.replyOverdue = 1;
        return {Kind::NoReply, 0, length};
    }

    const std::size_t received = socket.ReadAvailable(context_.replyBuffer.data(), context_.replyBuffer.size());
    socket.Close();
    if (received == 0) {
        s.replyOverdue = 1;
        return {Kind::NoReply, 0, length};
    }
    replies_.HandleReply(received);
    return {Kind::Replied, received, length};
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

    bool shared = false;
    if (!TakeShared(shared)) return {Kind::HeldElsewhere};
    const SharedHoldRelease unshare{lock_, shared};

    BlockingSocket socket;
    if (const auto failed = ConnectToModule(socket)) return {*failed, 0, 0, socket.ErrorText()};
    std::copy(FrameMagic.begin(), FrameMagic.end(), context_.commandFrame.begin());
    length = FrameLength(length);
    if (!socket.Write(context_.commandFrame.data(), length)) {
        const QString why = socket.ErrorText();
        ReportLostConnection(socket);
        return {Kind::ConnectionLost, 0, length, why};
    }
    socket.Close();
    return {Kind::Sent, 0, length};
}

}  // namespace zqb
