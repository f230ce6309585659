#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>

namespace zqb::cli {

// What came of sending GetLink to one address.
struct ScanProbe {
    enum class Outcome {
        Answered,      // some reply came; `reply` holds it (up to a whole link record)
        NoConnection,  // refused, unreachable, or no connection within the time-out
        NoReply,       // connected, but nothing came back in time
        Busy,          // another zqb is talking to that address: nothing was sent
    };
    std::uint32_t address = 0;
    Outcome outcome = Outcome::NoConnection;
    QByteArray reply;
};

struct ScanOptions {
    std::uint16_t port = 13577;
    int parallel = 64;
    int connectTimeoutMs = 500;
    int replyTimeoutMs = 500;
    // Where the module locks lie; each address is probed only while its lock is held here.
    // Empty: no locks are taken.
    QString lockDirectory;
};

// Sends GetLink to each address, at most `parallel` at a time on one event loop, one short
// connection each, and returns one probe per address in the order given. Needs a
// QCoreApplication; the caller has checked that every address may be connected to.
std::vector<ScanProbe> ScanAddressesForModules(const std::vector<std::uint32_t>& addresses, const ScanOptions& options);

}  // namespace zqb::cli
