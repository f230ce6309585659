#pragma once

#include <cstdint>
#include <vector>

#include <optional>

#include <QByteArray>
#include <QString>

#include "cli/CliArguments.h"
#include "link/HostNetworkBackend.h"

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

// The network a scan covers when none is named: the /24 of the PC's one connected Wi-Fi
// interface in the module's network (the first three parts of its address). Nothing, and the
// reason in `problem`, when there is no such interface or more than one.
std::optional<ScanRange> WifiScanRange(HostNetworkBackend& backend, const QString& moduleAddress, QString& problem);

}  // namespace zqb::cli
