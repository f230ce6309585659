#include "protocol/BlockingSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>

#ifndef _WIN32
#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <QElapsedTimer>
#include <QHostAddress>
#include <QSocketNotifier>

#include "protocol/Ipv4Text.h"

namespace zqb {

BlockingSocket::BlockingSocket()
{
    timer_.setSingleShot(true);
    // A coarse timer fires long waits early; precise keeps the 3000 ms and 10 ms waits honest.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &loop_, [this] { loop_.exit(ExitTimedOut); });
    QObject::connect(&socket_, &QTcpSocket::connected, &loop_, [this] { loop_.exit(ExitReady); });
    QObject::connect(&socket_, &QTcpSocket::readyRead, &loop_, [this] { loop_.exit(ExitReady); });
    QObject::connect(&socket_, &QTcpSocket::bytesWritten, &loop_, [this] { loop_.exit(ExitReady); });
    QObject::connect(&socket_, &QTcpSocket::disconnected, &loop_, [this] { loop_.exit(ExitClosed); });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred, &loop_, [this] { loop_.exit(ExitClosed); });
}

BlockingSocket::~BlockingSocket()
{
    socket_.disconnect();
    socket_.abort();
#ifndef _WIN32
    if (own_ >= 0) ::close(own_);
#endif
}

void BlockingSocket::KeepOwnDescriptor()
{
#ifndef _WIN32
    if (own_ < 0 && IsConnected()) own_ = ::dup(static_cast<int>(socket_.socketDescriptor()));
#endif
}

std::optional<std::uint64_t> BlockingSocket::BytesAcknowledged() const
{
#ifdef _WIN32
    return std::nullopt;
#else
    const int fd = own_ >= 0 ? own_ : static_cast<int>(socket_.socketDescriptor());
    tcp_info info{};
    socklen_t size = sizeof info;
    if (fd < 0 || ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked)
        return std::nullopt;
    return info.tcpi_bytes_acked;
#endif
}

void BlockingSocket::SetReadLimit(std::size_t bytes)
{
    socket_.setReadBufferSize(static_cast<qint64>(bytes));
}

BlockingSocket::WaitResult BlockingSocket::RunLoop(int timeoutMs)
{
    timer_.start(timeoutMs);
    const int exit = loop_.exec();
    timer_.stop();
    switch (exit) {
    case ExitReady: return WaitResult::Ready;
    case ExitTimedOut: return WaitResult::TimedOut;
    case ExitClosed: return WaitResult::Closed;
    default: return WaitResult::Aborted;  // the application is quitting
    }
}

bool BlockingSocket::Connect(const QString& host, std::uint16_t port, int timeoutMs)
{
    // Only a dotted-decimal address is ever connected to: a name would go to name resolution.
    const std::optional<std::uint32_t> address = ParseDottedDecimal(host);
    if (!address) return false;
    const QIODevice::OpenMode mode = unbuffered_ ? QIODevice::ReadWrite | QIODevice::Unbuffered : QIODevice::ReadWrite;
    socket_.connectToHost(QHostAddress(*address), port, mode);
    // Some errors are raised inside connectToHost itself.
    while (socket_.state() != QAbstractSocket::ConnectedState) {
        if (socket_.state() == QAbstractSocket::UnconnectedState) return false;
        if (RunLoop(timeoutMs) != WaitResult::Ready) {
            socket_.abort();
            return false;
        }
    }
    return true;
}

bool BlockingSocket::Write(const std::uint8_t* data, std::size_t length, int timeoutMs)
{
    if (!IsConnected()) return false;
    const auto size = static_cast<qint64>(length);
    if (socket_.write(reinterpret_cast<const char*>(data), size) != size) return false;
    written_ += length;
    socket_.flush();
    if (socket_.bytesToWrite() == 0) return true;
    QElapsedTimer elapsed;
    elapsed.start();
    while (socket_.bytesToWrite() > 0) {
        const int left = timeoutMs - static_cast<int>(elapsed.elapsed());
        if (!IsConnected() || left <= 0) return false;
#ifndef _WIN32
        // A peer that reads steadily frees room within a moment: wait for it on the descriptor,
        // briefly, before a turn of the message loop, which costs far more per wait.
        pollfd room{static_cast<int>(socket_.socketDescriptor()), POLLOUT, 0};
        if (::poll(&room, 1, 1) > 0 && (room.revents & POLLOUT)) {
            socket_.flush();
            continue;
        }
#endif
        if (RunLoop(left) == WaitResult::Aborted) return false;
    }
    return true;
}

bool BlockingSocket::HasInput() const { return socket_.bytesAvailable() > 0; }

BlockingSocket::WaitResult BlockingSocket::WaitForInput(int timeoutMs)
{
    if (HasInput()) return WaitResult::Ready;
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        if (!IsConnected()) return WaitResult::Closed;
        const int left = timeoutMs - static_cast<int>(elapsed.elapsed());
        if (left <= 0) return WaitResult::TimedOut;
        const WaitResult result = RunLoop(left);
        if (HasInput()) return WaitResult::Ready;
        // A write notification or a passing error is no input: wait out the rest.
        if (result == WaitResult::TimedOut || result == WaitResult::Aborted) return result;
    }
}

std::size_t BlockingSocket::ReadAvailable(std::uint8_t* into, std::size_t capacity)
{
    const qint64 n = socket_.read(reinterpret_cast<char*>(into), static_cast<qint64>(capacity));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::uint64_t BlockingSocket::FinishSending(int timeoutMs)
{
    if (!IsConnected()) return written_;
#ifdef _WIN32
    // The socket layer reads a reset as an ordinary close; without a descriptor of its own the
    // end of the stream cannot be told apart here.
    Close();
    return 0;
#else
    // The socket layer reads a reset like an ordinary close, so the end of the stream is watched
    // on a descriptor of our own: the connection lives on in it once the socket lets go.
    const int own = own_ >= 0 ? ::dup(own_) : ::dup(static_cast<int>(socket_.socketDescriptor()));
    if (own < 0) {
        Close();
        return 0;
    }
    socket_.abort();
    ::shutdown(own, SHUT_WR);
    QSocketNotifier readable(own, QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, &loop_, [this] { loop_.exit(ExitReady); });
    // The data the peer has not acknowledged. The kernel counts from the last byte acknowledged
    // to the last one queued, the end-of-stream mark included; the count holds after a reset too,
    // so a peer that took every byte and then reset is told from one that stopped reading.
    const auto unacknowledged = [own]() -> std::uint64_t {
        int queued = 0;
        if (::ioctl(own, SIOCOUTQ, &queued) != 0 || queued <= 1) return 0;
        return static_cast<std::uint64_t>(queued - 1);
    };
    std::uint64_t pending = unacknowledged();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    for (;;) {
        char scratch[512];
        const ssize_t n = ::recv(own, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n == 0) {
            pending = 0;  // the peer closed after taking everything
            break;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            pending = unacknowledged();  // reset: a failure only while data was still unacknowledged
            break;
        }
        if (n > 0) continue;  // nothing is expected back; whatever comes is dropped
        // A slow peer may take a while to drain what is queued for it; one that takes nothing
        // for the whole wait has stopped reading.
        const std::uint64_t now = unacknowledged();
        if (now < pending) sinceProgress.restart();
        pending = now;
        if (sinceProgress.elapsed() >= timeoutMs) break;  // all acknowledged: the peer keeps it open
        if (RunLoop(pending > 0 ? 20 : timeoutMs - static_cast<int>(sinceProgress.elapsed())) == WaitResult::Aborted) {
            pending = std::max<std::uint64_t>(pending, 1);
            break;
        }
    }
    readable.setEnabled(false);
    ::close(own);
    return pending;
#endif
}

void BlockingSocket::Close()
{
    socket_.disconnectFromHost();
    if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
}

bool BlockingSocket::IsConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

QString BlockingSocket::ErrorText() const { return socket_.errorString(); }

}  // namespace zqb
