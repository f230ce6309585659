#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QString>

#include "protocol/DeviceSession.h"
#include "protocol/Frames.h"
#include "protocol/OutcomeLog.h"

namespace zqb {

inline const QString DefaultNetworkPrefix = QStringLiteral("192.168.77.");

// The process-wide records, created once by main (or freshly by each test) and passed by
// reference: the session, the frame and reply buffers, the transfer buffer and the flag that
// keeps a second exchange from starting while one runs.
struct SessionContext {
    DeviceSession session;
    CommandFrame commandFrame{};
    ReplyBuffer replyBuffer{};
    bool ExchangeBusy = false;
    // A module scan of this program runs: the link timer's periodic check waits for its end, so
    // that the scan's probes are never handled inside a poll's socket wait.
    bool ScanRunning = false;

    // Address prefix of the module's network; an adapter must hold an address starting with it.
    QString NetworkPrefix = DefaultNetworkPrefix;

    // Byte sum of the last firmware image sent, compared with the module's own sum.
    std::uint64_t imageSum = 0;

    // What became of the last operations on the module, newest last.
    OutcomeLog outcomes;
    // The module's verdict on the last firmware image: set once its check has ended (the sums
    // compared, a refusal, or no answer after the last re-issue); empty while it runs.
    std::optional<Outcome> imageVerdict;

    // 16 MiB, allocated on first use so that a run without file transfers never touches it.
    std::uint8_t* TransferBuffer()
    {
        if (!transferBuffer_) transferBuffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(TransferBufferSize);
        return transferBuffer_.get();
    }

private:
    std::unique_ptr<std::uint8_t[]> transferBuffer_;
};

// Holds ExchangeBusy for one operation (an exchange, or a file's data phase) and clears it on
// every way out, errors included.
class BusyScope {
public:
    explicit BusyScope(SessionContext& context) : context_(context) { context_.ExchangeBusy = true; }
    ~BusyScope() { context_.ExchangeBusy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    SessionContext& context_;
};

}  // namespace zqb
