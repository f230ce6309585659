#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/ModuleLock.h"
#include "protocol/DisplayRelay.h"
#include "protocol/Outcome.h"
#include "protocol/SessionContext.h"

namespace zqb {

class BlockingSocket;
class ReplyHandler;

// What became of one command on the wire, before any verdict on the reply.
struct ExchangeResult {
    enum class Kind {
        Dropped,             // another exchange was running: nothing was sent
        HeldElsewhere,       // another program holds the module for a file write: nothing was sent
        NotAllowed,          // the run is held to loopback and the module is elsewhere: nothing was sent
        NotConnected,        // no connection ("Connect Timeout")
        ConnectionLost,      // the connection broke while the frame went out
        ClosedWithoutReply,  // the frame went out whole; the module closed without answering
        NoReply,             // the frame went out whole; no answer within the wait (the reply is overdue)
        Replied,             // the frame went out whole; a reply was read and handled
        Sent,                // the frame went out whole; no reply is read for this command
    };
    ExchangeResult() = default;
    ExchangeResult(Kind k, std::size_t reply = 0, std::size_t frame = 0, QString why = {})
        : kind(k), replyLength(reply), frameLength(frame), detail(std::move(why))
    {
    }

    Kind kind = Kind::Dropped;
    std::size_t replyLength = 0;
    std::size_t frameLength = 0;
    QString detail;  // the socket's own words, for logs and tool tips

    // The whole frame reached the module.
    bool Delivered() const
    {
        return kind == Kind::ClosedWithoutReply || kind == Kind::NoReply || kind == Kind::Replied || kind == Kind::Sent;
    }
    bool Replied() const { return kind == Kind::Replied; }
};

// The two blocking ways a command reaches the module, one TCP connection per command, and the
// one way every sender uses them: Exchange and SendOnly. Only one runs at a time: ExchangeBusy
// turns a second one into a no-op. Each holds the module's lock shared while its connection is
// open, so no program on this PC opens a connection that a module in a file write would take
// for the file's data.
class CommandTransport {
public:
    struct Timing {
        int connectTimeoutMs = 3000;
        int replyWaits = 100;
        int replyWaitMs = 10;
    };

    // Every reply read is handed to `replies`, after the connection is closed and while
    // ExchangeBusy is still set. Module locks lie in `lockDirectory` (empty: no locks).
    CommandTransport(SessionContext& context, DisplayRelay& display, ReplyHandler& replies, std::string lockDirectory);

    void SetTiming(const Timing& timing) { timing_ = timing; }
    const Timing& GetTiming() const { return timing_; }

    // A command from start to verdict: refused while an exchange runs; otherwise recorded as in
    // flight, built into CommandFrame by `build` (which returns the frame length), sent, its
    // reply handled, and the verdict logged and returned.
    template <class Build>
    Outcome Exchange(std::uint8_t code, Build&& build)
    {
        if (!Begin(code)) return Verdict(code, {});
        return Verdict(code, ExchangeCommand(build(context_.commandFrame)));
    }
    // The same for a command whose reply is never read.
    template <class Build>
    Outcome SendOnly(std::uint8_t code, Build&& build)
    {
        if (!Begin(code)) return Verdict(code, {});
        return Verdict(code, SendCommandOnly(build(context_.commandFrame)));
    }
    // The verdict on an exchange of `code` made by hand (the file announcement), logged.
    Outcome Verdict(std::uint8_t code, const ExchangeResult& result);

    // Sends the first `length` bytes of CommandFrame and hands the reply to reply handling.
    ExchangeResult ExchangeCommand(std::size_t length);
    // Sends the first `length` bytes of CommandFrame and reads nothing.
    ExchangeResult SendCommandOnly(std::size_t length);

    // Connects a socket for the module the way every command does: the same address check, the
    // same "Connect Timeout" report. The kind of failure, or nothing when connected.
    std::optional<ExchangeResult::Kind> ConnectToModule(BlockingSocket& socket);

    // The module's lock, aimed at the session's address and port.
    ModuleLock& Lock();
    // Holds the module exclusively for a file write, waiting up to `waitMs` for an exchange of
    // another program to end. Failed lock files do not stop the write: nothing can then be
    // coordinated, and the write goes ahead as it would without the lock.
    bool HoldExclusively(int waitMs);
    void ReleaseExclusive();

    static constexpr int ExclusiveWaitMs = 5000;

private:
    bool Begin(std::uint8_t code);
    // The shared hold around one exchange; false (and the panel says why) when another program
    // holds the module for a file write.
    bool TakeShared(bool& taken);
    void ReportLostConnection(BlockingSocket& socket);
    std::size_t FrameLength(std::size_t length);

    SessionContext& context_;
    DisplayRelay& display_;
    ReplyHandler& replies_;
    Timing timing_;
    std::string lockDirectory_;
    ModuleLock lock_;
    QString lockAddress_;
    std::uint16_t lockPort_ = 0;
    // The message panel's write count when this transport last showed "Connect Timeout".
    std::optional<std::uint64_t> connectTimeoutShownAt_;
};

inline const QString ConnectTimeoutText = QStringLiteral("Connect Timeout");
inline const QString ConnectionLostText = QStringLiteral("Connection lost");
inline const QString ModuleInUseText = QStringLiteral("Device in use by another program");

}  // namespace zqb
