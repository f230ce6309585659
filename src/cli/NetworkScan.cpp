#include "cli/NetworkScan.h"

#include <algorithm>
#include <memory>

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include "protocol/CommandBuilders.h"
#include "link/HostNetworkScan.h"
#include "protocol/Ipv4Text.h"
#include "cli/ModuleLock.h"
#include "protocol/RecordLayouts.h"

namespace zqb::cli {

namespace {

QByteArray GetLinkFrame()
{
    CommandFrame frame{};
    const std::size_t length = BuildGetLink(frame);
    std::copy(FrameMagic.begin(), FrameMagic.end(), frame.begin());
    return QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(length));
}

class Scanner {
public:
    Scanner(const std::vector<std::uint32_t>& addresses, const ScanOptions& options)
        : options_(options), frame_(GetLinkFrame())
    {
        probes_.reserve(addresses.size());
        for (std::uint32_t address : addresses) {
            Probe probe;
            probe.result.address = address;
            probes_.push_back(std::move(probe));
        }
    }

    std::vector<ScanProbe> Run()
    {
        const std::size_t parallel = static_cast<std::size_t>(std::max(1, options_.parallel));
        while (next_ < probes_.size() && running_ < parallel) StartNext();
        if (running_ > 0) loop_.exec();
        std::vector<ScanProbe> results;
        results.reserve(probes_.size());
        for (Probe& probe : probes_) results.push_back(std::move(probe.result));
        return results;
    }

private:
    struct Probe {
        ScanProbe result;
        std::unique_ptr<QTcpSocket> socket;
        std::unique_ptr<QTimer> timer;
        std::unique_ptr<ModuleLock> lock;
        bool finished = false;
    };

    void StartNext()
    {
        const std::size_t index = next_++;
        Probe& probe = probes_[index];
        if (!options_.lockDirectory.isEmpty()) {
            probe.lock = std::make_unique<ModuleLock>(options_.lockDirectory, DottedText(probe.result.address), options_.port);
            if (!probe.lock->TryLock()) {
                probe.lock.reset();
                probe.result.outcome = ScanProbe::Outcome::Busy;
                probe.finished = true;
                return;
            }
        }
        ++running_;
        probe.socket = std::make_unique<QTcpSocket>();
        probe.timer = std::make_unique<QTimer>();
        probe.timer->setSingleShot(true);
        QTcpSocket* socket = probe.socket.get();
        QObject::connect(probe.timer.get(), &QTimer::timeout, &loop_, [this, index] { Finish(index); });
        QObject::connect(socket, &QTcpSocket::connected, &loop_, [this, index, socket] {
            probes_[index].timer->start(options_.replyTimeoutMs);
            socket->write(frame_);
        });
        QObject::connect(socket, &QTcpSocket::readyRead, &loop_, [this, index, socket] {
            QByteArray& reply = probes_[index].result.reply;
            reply += socket->read(static_cast<qint64>(LinkRecordLength) - reply.size());
            if (static_cast<std::size_t>(reply.size()) >= LinkRecordLength) Finish(index);
        });
        QObject::connect(socket, &QTcpSocket::errorOccurred, &loop_, [this, index] { Finish(index); });
        QObject::connect(socket, &QTcpSocket::disconnected, &loop_, [this, index] { Finish(index); });
        probe.timer->start(options_.connectTimeoutMs);
        socket->connectToHost(QHostAddress(probe.result.address), options_.port);
    }

    // Runs once per probe, whatever ended it; the next address takes its place.
    void Finish(std::size_t index)
    {
        Probe& probe = probes_[index];
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
        if (next_ < probes_.size()) {
            // Busy addresses finish at once; the loop goes on to one that can be probed.
            while (next_ < probes_.size() && running_ < static_cast<std::size_t>(std::max(1, options_.parallel))) StartNext();
        }
        if (running_ == 0) loop_.quit();
    }

    const ScanOptions& options_;
    const QByteArray frame_;
    std::vector<Probe> probes_;
    std::size_t next_ = 0;
    std::size_t running_ = 0;
    QEventLoop loop_;
};

}  // namespace

std::vector<ScanProbe> ScanAddressesForModules(const std::vector<std::uint32_t>& addresses, const ScanOptions& options)
{
    return Scanner(addresses, options).Run();
}

std::optional<ScanRange> WifiScanRange(HostNetworkBackend& backend, const QString& moduleAddress, QString& problem)
{
    HostNetwork host(backend, [&problem](const std::string& text) { problem = QString::fromLocal8Bit(text.c_str()); });
    const QString prefix = moduleAddress.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.');
    const std::uint8_t matches = host.HostNetworkScan(prefix.toStdString());
    const std::optional<std::uint32_t> address =
        matches == 1 ? ParseDottedDecimal(QString::fromStdString(host.Matches().entries[0].ipv4Address)) : std::nullopt;
    if (!address) {
        problem = QStringLiteral("%1 connected Wi-Fi interface of this PC is in %2x; name the network to scan, e.g. %3")
                      .arg(matches == 0 ? QStringLiteral("no") : QStringLiteral("more than one"), prefix,
                           prefix + QStringLiteral("0/24"));
        return std::nullopt;
    }
    return ScanRange{*address & 0xFFFFFF00u, 24};
}

}  // namespace zqb::cli
