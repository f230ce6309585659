#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QString>

#include "link/HostNetworkBackend.h"

class QTcpSocket;
class QTimer;

namespace zqb {

class ModuleLock;

// A network of at most MaxScanAddresses addresses: its first address and prefix length.
struct ScanRange {
    std::uint32_t network = 0;
    int prefixLength = 24;
};

// The module network that `address` lies in, as a range to scan.
ScanRange ModuleNetworkRange(std::uint32_t address);

inline constexpr int MaxScanAddresses = 1024;
inline constexpr int MinScanPrefixLength = 22;

// "a.b.c.d/n" with n from 22 to 32; the address is held to its network. Nothing, and the reason
// in `error`, for anything else.
std::optional<ScanRange> ParseScanRange(const QString& text, QString& error);
QString ScanRangeText(const ScanRange& range);
// The addresses a scan of the range visits: every address of a /31 or /32, otherwise every one
// but the network's own and its broadcast address.
std::vector<std::uint32_t> ScanAddresses(const ScanRange& range);

// The network a scan covers when none is named: the /24 of the PC's one connected Wi-Fi
// interface in the network of the module at `moduleAddress` (or of any connected interface when
// `countWired`). Nothing, and the reason in `problem`, when there is no such interface or more
// than one.
std::optional<ScanRange> HostScanRange(HostNetworkBackend& backend, const QString& moduleAddress, bool countWired,
                                       QString& problem);

// What came of sending GetLink to one address.
struct ScanProbe {
    enum class Outcome {
        Answered,      // some reply came; `reply` holds it (up to a whole link record)
        NoConnection,  // refused, unreachable, or no connection within the time-out
        NoReply,       // connected, but nothing came back in time
        Busy,          // another program holds the module for a file write: nothing was sent
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
    // Where the module locks lie: each address is probed only while its lock can be shared, so a
    // module in the middle of a file write never takes the probe for the file's data. Empty: no
    // locks are looked at.
    QString lockDirectory;
    // While it answers true no new probe starts (a window's own exchange runs); the scanner looks
    // again every ProbeHoldRecheckMs. Empty: never held.
    std::function<bool()> holdProbes;
};

inline constexpr int ProbeHoldRecheckMs = 10;

// Sends GetLink to each address, at most `parallel` at a time, one short connection each, on the
// event loop of the thread that starts it: nothing blocks, so a window stays responsive and can
// cancel. Each probe is reported as it finishes; `finished` comes once, after the last one or a
// cancel.
class ModuleScanner : public QObject {
    Q_OBJECT
public:
    ModuleScanner(std::vector<std::uint32_t> addresses, ScanOptions options, QObject* parent = nullptr);
    ~ModuleScanner() override;

    void Start();
    // Stops probing: running probes are closed, the rest never start. `finished` follows.
    void Cancel();
    bool Running() const { return running_ > 0 || (started_ && !done_); }
    std::size_t Count() const { return probes_.size(); }
    std::size_t Done() const { return finishedCount_; }
    // Every probe in the order of the addresses; those never started stay NoConnection.
    std::vector<ScanProbe> Results() const;

signals:
    void probeFinished(const zqb::ScanProbe& probe);
    void finished();

private:
    struct Probe;
    void StartNext();
    // Starts probes up to the parallel count, unless held; ends the scan when nothing is left.
    void StartWhatMayStart();
    void Finish(std::size_t index);
    void EndIfDone();

    ScanOptions options_;
    QByteArray frame_;
    std::vector<std::unique_ptr<Probe>> probes_;
    std::unique_ptr<QTimer> heldRecheck_;
    std::size_t next_ = 0;
    std::size_t running_ = 0;
    std::size_t finishedCount_ = 0;
    bool started_ = false;
    bool cancelled_ = false;
    bool done_ = false;
};

// The whole scan at once, on a local event loop: for programs without a window. Needs a
// QCoreApplication; the caller has checked that every address may be connected to.
std::vector<ScanProbe> ScanAddressesForModules(const std::vector<std::uint32_t>& addresses, const ScanOptions& options);

}  // namespace zqb
