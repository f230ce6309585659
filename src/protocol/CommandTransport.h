#pragma once

#include <cstddef>

#include "DeviceDisplay.h"
#include "SessionContext.h"

namespace zqb {

class BlockingSocket;
class ReplyHandler;

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
    // Returns the length of the reply handled, 0 when none was (dropped, failed or overdue).
    std::size_t ExchangeCommand(std::size_t length);
    // Sends the first `length` bytes of CommandFrame and reads nothing. True when the frame was
    // handed to a connected socket whole; false when dropped (busy), not connected or cut off.
    bool SendCommandOnly(std::size_t length);

    // Connects a socket for the module the way every command does: the same address check, the
    // same "Connect Timeout" report. False (after the report) when no connection came.
    bool ConnectToModule(BlockingSocket& socket);

private:
    class BusyScope;

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
