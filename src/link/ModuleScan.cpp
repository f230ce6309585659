#include "link/ModuleScan.h"

#include <algorithm>

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include "link/HostNetworkScan.h"
#include "link/ModuleAddress.h"
#include "protocol/ModuleLock.h"
#include "protocol/CommandBuilders.h"
#include "protocol/Ipv4Text.h"
#include "protocol/NetworkGuard.h"
#include "protocol/RecordLayouts.h"

namespace zqb {

namespace {

QByteArray GetLinkFrame()
{
    CommandFrame frame{};
    const std::size_t length = BuildGetLink(frame);
    std::copy(FrameMagic.begin(), FrameMagic.end(), frame.begin());
    return QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(length));
}

}  // namespace

std::optional<ScanRange> ParseScanRange(const QString& text, QString& error)
{
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0 || text.contains(QLatin1Char(':'))) {
        error = QStringLiteral("'%1' is not a network (ADDRESS/LENGTH, e.g. 192.168.77.0/24)").arg(text);
        return std::nullopt;
    }
    const QString lengthText = text.mid(slash + 1);
    const bool plain = IsDecimalDigits(lengthText) && lengthText.size() <= 2 &&
                       !(lengthText.size() > 1 && lengthText[0] == QLatin1Char('0'));
    const int length = plain ? lengthText.toInt() : -1;
    if (length < 0 || length > 32) {
        error = QStringLiteral("'%1' is not a prefix length").arg(lengthText);
        return std::nullopt;
    }
    if (length < MinScanPrefixLength) {
        error = QStringLiteral("/%1 holds more than %2 addresses; give /%3 or longer")
                    .arg(length)
                    .arg(MaxScanAddresses)
                    .arg(MinScanPrefixLength);
        return std::nullopt;
    }
    QString reason;
    const std::optional<ModuleAddress> address = ParseModuleAddress(text.left(slash), reason);
    if (!address) {
        error = reason;
        return std::nullopt;
    }
    const std::uint32_t mask = ~std::uint32_t{0} << (32 - length);
    return ScanRange{*ParseDottedDecimal(address->address) & mask, length};
}

QString ScanRangeText(const ScanRange& range) { return DottedText(range.network) + QStringLiteral("/%1").arg(range.prefixLength); }

std::vector<std::uint32_t> ScanAddresses(const ScanRange& range)
{
    const std::uint32_t count = std::uint32_t{1} << (32 - range.prefixLength);
    std::vector<std::uint32_t> addresses;
    const bool wholeRange = range.prefixLength >= 31;
    for (std::uint32_t i = wholeRange ? 0 : 1; i < (wholeRange ? count : count - 1); ++i) addresses.push_back(range.network + i);
    return addresses;
}

std::optional<ScanRange> HostScanRange(HostNetworkBackend& backend, const QString& moduleAddress, bool countWired,
                                       QString& problem)
{
    HostNetwork host(backend, [&problem](const std::string& text) { problem = QString::fromLocal8Bit(text.c_str()); });
    host.SetCountWiredAdapters(countWired);
    const QString prefix = NetworkPrefixOf(moduleAddress);
    const std::uint8_t matches = host.HostNetworkScan(prefix.toStdString());
    const std::optional<std::uint32_t> address =
        matches == 1 ? ParseDottedDecimal(QString::fromStdString(host.Matches().entries[0].ipv4Address)) : std::nullopt;
    if (!address) {
        problem = QStringLiteral("%1 connected %2interface of this PC is in %3x; name the network to scan, e.g. %4")
                      .arg(matches == 0 ? QStringLiteral("no") : QStringLiteral("more than one"),
                           countWired ? QString() : QStringLiteral("Wi-Fi "), prefix, prefix + QStringLiteral("0/24"));
        return std::nullopt;
    }
    return ModuleNetworkRange(*address);
}

ScanRange ModuleNetworkRange(std::uint32_t address) { return ScanRange{ModuleNetworkOf(address), ModuleNetworkBits}; }

struct ModuleScanner::Probe {
    ScanProbe result;
    std::unique_ptr<QTcpSocket> socket;
    std::unique_ptr<QTimer> timer;
    std::unique_ptr<ModuleLock> lock;
    bool finished = false;
};

ModuleScanner::ModuleScanner(std::vector<std::uint32_t> addresses, ScanOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), frame_(GetLinkFrame()), heldRecheck_(std::make_unique<QTimer>())
{
    heldRecheck_->setSingleShot(true);
    connect(heldRecheck_.get(), &QTimer::timeout, this, [this] { StartWhatMayStart(); });
    probes_.reserve(addresses.size());
    for (std::uint32_t address : addresses) {
        auto probe = std::make_unique<Probe>();
        probe->result.address = address;
        probes_.push_back(std::move(probe));
    }
}

ModuleScanner::~ModuleScanner()
{
    // Sockets and timers go quietly: nothing is reported from a scanner being destroyed.
    for (auto& probe : probes_) {
        if (probe->socket) probe->socket->disconnect();
        if (probe->timer) probe->timer->disconnect();
    }
}

void ModuleScanner::Start()
{
    if (started_) return;
    started_ = true;
    StartWhatMayStart();
}

void ModuleScanner::StartWhatMayStart()
{
    const std::size_t parallel = static_cast<std::size_t>(std::max(1, options_.parallel));
    while (!cancelled_ && next_ < probes_.size() && running_ < parallel) {
        if (options_.holdProbes && options_.holdProbes()) {
            heldRecheck_->start(ProbeHoldRecheckMs);
            return;
        }
        StartNext();
    }
    EndIfDone();
}

void ModuleScanner::Cancel()
{
    if (!started_ || done_) return;
    cancelled_ = true;
    heldRecheck_->stop();
    for (std::size_t i = 0; i < probes_.size(); ++i)
        if (probes_[i]->socket && !probes_[i]->finished) Finish(i);
    EndIfDone();
}

std::vector<ScanProbe> ModuleScanner::Results() const
{
    std::vector<ScanProbe> results;
    results.reserve(probes_.size());
    for (const auto& probe : probes_) results.push_back(probe->result);
    return results;
}

void ModuleScanner::StartNext()
{
    const std::size_t index = next_++;
    Probe& probe = *probes_[index];
    // Held to loopback, an address beyond it is never tried: it counts as one that refused.
    if (!ConnectionAllowed(DottedText(probe.result.address))) {
        probe.result.outcome = ScanProbe::Outcome::NoConnection;
        probe.finished = true;
        ++finishedCount_;
        emit probeFinished(probe.result);
        return;
    }
    if (!options_.lockDirectory.isEmpty()) {
        probe.lock = std::make_unique<ModuleLock>();
        probe.lock->Aim(options_.lockDirectory.toStdString(), DottedText(probe.result.address).toStdString(), options_.port);
        if (probe.lock->TryShared() == ModuleLock::Attempt::HeldElsewhere) {
            probe.lock.reset();
            probe.result.outcome = ScanProbe::Outcome::Busy;
            probe.finished = true;
            ++finishedCount_;
            emit probeFinished(probe.result);
            return;
        }
    }
    ++running_;
    probe.socket = std::make_unique<QTcpSocket>();
    probe.timer = std::make_unique<QTimer>();
    probe.timer->setSingleShot(true);
    QTcpSocket* socket = probe.socket.get();
    connect(probe.timer.get(), &QTimer::timeout, this, [this, index] { Finish(index); });
    connect(socket, &QTcpSocket::connected, this, [this, index, socket] {
        probes_[index]->timer->start(options_.replyTimeoutMs);
        socket->write(frame_);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, index, socket] {
        QByteArray& reply = probes_[index]->result.reply;
        reply += socket->read(static_cast<qint64>(LinkRecordLength) - reply.size());
        if (static_cast<std::size_t>(reply.size()) >= LinkRecordLength) Finish(index);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, index] { Finish(index); });
    connect(socket, &QTcpSocket::disconnected, this, [this, index] { Finish(index); });
    probe.timer->start(options_.connectTimeoutMs);
    socket->connectToHost(QHostAddress(probe.result.address), options_.port);
}

// Runs once per probe, whatever ended it; the next address takes its place.
void ModuleScanner::Finish(std::size_t index)
{
    Probe& probe = *probes_[index];
    if (probe.finished) return;
    probe.finished = true;
    QTcpSocket& socket = *probe.socket;
    if (socket.bytesAvailable() > 0 && static_cast<std::size_t>(probe.result.reply.size()) < LinkRecordLength)
        probe.result.reply += socket.read(static_cast<qint64>(LinkRecordLength) - probe.result.reply.size());
    const bool connected = socket.state() == QAbstractSocket::ConnectedState ||
                           socket.error() == QAbstractSocket::RemoteHostClosedError || !probe.result.reply.isEmpty();
    if (!probe.result.reply.isEmpty())
        probe.result.outcome = ScanProbe::Outcome::Answered;
    else
        probe.result.outcome = connected ? ScanProbe::Outcome::NoReply : ScanProbe::Outcome::NoConnection;
    probe.timer->stop();
    socket.disconnect();
    socket.abort();
    probe.lock.reset();
    --running_;
    ++finishedCount_;
    emit probeFinished(probe.result);
    StartWhatMayStart();
}

void ModuleScanner::EndIfDone()
{
    if (done_ || running_ > 0) return;
    if (!cancelled_ && next_ < probes_.size()) return;
    done_ = true;
    emit finished();
}

std::vector<ScanProbe> ScanAddressesForModules(const std::vector<std::uint32_t>& addresses, const ScanOptions& options)
{
    ModuleScanner scanner(addresses, options);
    QEventLoop loop;
    QObject::connect(&scanner, &ModuleScanner::finished, &loop, &QEventLoop::quit);
    scanner.Start();
    if (scanner.Running()) loop.exec();
    return scanner.Results();
}

}  // namespace zqb
