#include "BlockingSocket.h"

#include <QElapsedTimer>
#include <QHostAddress>

#include "Ipv4Text.h"

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
    socket_.connectToHost(QHostAddress(*address), port);
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
    socket_.flush();
    QElapsedTimer elapsed;
    elapsed.start();
    while (socket_.bytesToWrite() > 0) {
        const int left = timeoutMs - static_cast<int>(elapsed.elapsed());
        if (!IsConnected() || left <= 0 || RunLoop(left) == WaitResult::Aborted) return false;
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

void BlockingSocket::Close()
{
    socket_.disconnectFromHost();
    if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
}

bool BlockingSocket::IsConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

QString BlockingSocket::ErrorText() const { return socket_.errorString(); }

}  // namespace zqb
