#pragma once

#include <cstddef>
#include <functional>

#include "DeviceDisplay.h"
#include "SessionContext.h"

namespace zqb {

// The two blocking ways a command reaches the module, one TCP connection per command. Only one
// runs at a time: ExchangeBusy turns a second one into a no-op.
class CommandTransport {
public:
    struct Timing {
        int connectTimeoutMs = 3000;
        int replyWaits = 100;
        int replyWaitMs = 10;
    };

    CommandTransport(SessionContext& context, DeviceDisplay& display);

    // Called with the reply's byte count, after the connection is closed and while
    // ExchangeBusy is still set.
    void SetReplyHandler(std::function<void(std::size_t)> handler) { replyHandler_ = std::move(handler); }
    void SetTiming(const Timing& timing) { timing_ = timing; }

    // Sends the first `length` bytes of CommandFrame and hands the reply to the reply handler.
    // Returns the length of the reply handled, 0 when none was (dropped, failed or overdue).
    std::size_t ExchangeCommand(std::size_t length);
    // Sends the first `length` bytes of CommandFrame and reads nothing.
    void SendCommandOnly(std::size_t length);

private:
    class BusyScope;

    bool ConnectFailed(class BlockingSocket& socket);
    void ReportLostConnection(class BlockingSocket& socket);
    std::size_t FrameLength(std::size_t length);

    SessionContext& context_;
    DeviceDisplay& display_;
    std::function<void(std::size_t)> replyHandler_;
    Timing timing_;
};

inline const QString ConnectTimeoutText = QStringLiteral("Connect Timeout");

}  // namespace zqb
