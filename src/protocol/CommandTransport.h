#pragma once

#include <cstddef>

#include "protocol/DeviceDisplay.h"
#include "protocol/SessionContext.h"

namespace zqb {

class BlockingSocket;
class ReplyHandler;

// What became of one command on its way to the module.
struct ExchangeResult {
    enum class Kind {
        Dropped,         // another exchange was running: nothing was sent
        NotConnected,    // no connection ("Connect Timeout")
        ConnectionLost,  // the connection broke while sending or waiting
        NoReply,         // sent whole, no reply within the wait (the reply is overdue)
        Replied,         // sent whole, a reply was read and handled
        Sent,            // sent whole; no reply is read for this command
    };
    Kind kind = Kind::Dropped;
    std::size_t replyLength = 0;

    // The frame reached a connected socket whole.
    bool Delivered() const { return kind == Kind::NoReply || kind == Kind::Replied || kind == Kind::Sent; }
    bool Replied() const { return kind == Kind::Replied; }
};

// The two blocking ways a command reaches the module, one TCP connection per command. Only one
// runs at a time: ExchangeBusy turns a second one into a no-op.
class CommandTransport {
public:
    struct Timing {
        int connectTimeoutMs = 3000;
        int replyWaits = 100;
        int replyWaitMs = 10;
    };

    // Every reply read is handed to `replies`, after the connection is closed and while
    // ExchangeBusy is still set.
    CommandTransport(SessionContext& context, DeviceDisplay& display, ReplyHandler& replies);

    void SetTiming(const Timing& timing) { timing_ = timing; }
    const Timing& GetTiming() const { return timing_; }

    // Sends the first `length` bytes of CommandFrame and hands the reply to reply handling.
    ExchangeResult ExchangeCommand(std::size_t length);
    // Sends the first `length` bytes of CommandFrame and reads nothing.
    ExchangeResult SendCommandOnly(std::size_t length);

    // Connects a socket for the module the way every command does: the same address check, the
    // same "Connect Timeout" report. False (after the report) when no connection came.
    bool ConnectToModule(BlockingSocket& socket);

private:
    void ReportLostConnection(BlockingSocket& socket);
    std::size_t FrameLength(std::size_t length);

    SessionContext& context_;
    DeviceDisplay& display_;
    ReplyHandler& replies_;
    Timing timing_;
};

inline const QString ConnectTimeoutText = QStringLiteral("Connect Timeout");
inline const QString ConnectionLostText = QStringLiteral("Connection lost");

}  // namespace zqb
