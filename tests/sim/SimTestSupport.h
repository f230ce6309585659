#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#include "sim/ModuleSimulator.h"

namespace zqbsim::test {

// "5A 35 77 A5 21" as bytes.
inline QByteArray Hex(const char* spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

inline std::string HexText(const QByteArray& bytes) { return bytes.toHex(' ').toUpper().toStdString(); }

inline std::uint8_t Byte(const QByteArray& bytes, int i) { return static_cast<std::uint8_t>(bytes.at(i)); }

// A frame with the magic in front.
inline QByteArray Frame(const char* spacedAfterMagic) { return Hex("5A 35 77 A5") + Hex(spacedAfterMagic); }

// Reads until `expect` bytes are in or `waitMs` passed; then, when `settleMs` > 0, waits that long
// for any surplus so an over-long reply shows.
inline QByteArray ReadReply(QTcpSocket& socket, qsizetype expect, int waitMs = 2000, int settleMs = 0)
{
    QByteArray got;
    QElapsedTimer elapsed;
    elapsed.start();
    while (got.size() < expect && elapsed.elapsed() < waitMs) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(static_cast<int>(waitMs - elapsed.elapsed()))) break;
        got += socket.readAll();
    }
    if (settleMs > 0 && socket.waitForReadyRead(settleMs)) got += socket.readAll();
    return got;
}

inline bool Connect(QTcpSocket& socket, std::uint16_t port, const QHostAddress& address = QHostAddress(QHostAddress::LocalHost))
{
    socket.connectToHost(address, port);
    return socket.waitForConnected(2000);
}

// True when nothing listens there: the connect is turned down at once.
inline bool Refused(std::uint16_t port, const QHostAddress& address = QHostAddress(QHostAddress::LocalHost))
{
    QTcpSocket socket;
    socket.connectToHost(address, port);
    return !socket.waitForConnected(500) && socket.error() == QAbstractSocket::ConnectionRefusedError;
}

inline void Send(QTcpSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    socket.waitForBytesWritten(2000);
}

// One command the way the console sends it: connect, write, read the reply, close.
inline QByteArray ExchangeAt(const QHostAddress& address, std::uint16_t port, const QByteArray& frame, qsizetype expect,
                             int waitMs = 2000, int settleMs = 0)
{
    QTcpSocket socket;
    if (!Connect(socket, port, address)) return {};
    Send(socket, frame);
    QByteArray reply = ReadReply(socket, expect, waitMs, settleMs);
    socket.disconnectFromHost();
    return reply;
}

inline QByteArray Exchange(std::uint16_t port, const QByteArray& frame, qsizetype expect, int waitMs = 2000,
                           int settleMs = 0)
{
    return ExchangeAt(QHostAddress(QHostAddress::LocalHost), port, frame, expect, waitMs, settleMs);
}

// The raw data connection of a file write.
inline bool SendData(std::uint16_t port, const QByteArray& data)
{
    QTcpSocket socket;
    if (!Connect(socket, port)) return false;
    for (qsizetype at = 0; at < data.size(); at += 1024) socket.write(data.mid(at, 1024));
    const bool ok = data.isEmpty() || socket.waitForBytesWritten(2000);
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(2000);
    return ok;
}

// Announcement frame: length, byte sum, name; 60 bytes for a file, 40 for an image.
inline QByteArray Announcement(std::uint8_t code, const QByteArray& name, std::uint32_t length, std::uint32_t sum,
                               int size)
{
    QByteArray f(size, '\0');
    f.replace(0, 4, Hex("5A 35 77 A5"));
    f[4] = static_cast<char>(code);
    for (int k = 0; k < 4; ++k) {
        f[5 + k] = static_cast<char>(length >> (24 - 8 * k));
        f[9 + k] = static_cast<char>(sum >> (24 - 8 * k));
    }
    f[16] = static_cast<char>(name.size());
    f.replace(17, name.size(), name);
    return f;
}

inline std::uint32_t Sum(const QByteArray& bytes)
{
    std::uint32_t s = 0;
    for (char c : bytes) s += static_cast<std::uint8_t>(c);
    return s;
}

// Polls `done` until it holds or `timeoutMs` passed.
template <typename Pred>
bool WaitUntil(Pred done, int timeoutMs = 2000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs) return false;
        QThread::msleep(2);
    }
    return true;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.Start()); }

    QByteArray Ask(const QByteArray& frame, qsizetype expect, int settleMs = 0)
    {
        return Exchange(sim.Port(), frame, expect, 2000, settleMs);
    }

    // A command that gets no reply: send, close, and wait until the module has it.
    void Tell(const QByteArray& frame)
    {
        const auto frames = sim.Frames().size();
        {
            QTcpSocket socket;
            ASSERT_TRUE(Connect(socket, sim.Port()));
            Send(socket, frame);
        }
        ASSERT_TRUE(sim.WaitForFrames(frames + 1, 2000));
    }

    // Writes a file in two steps, as the setup window does.
    void WriteFile(const QByteArray& name, const QByteArray& data)
    {
        const auto frames = sim.Frames().size();
        const QByteArray reply = Ask(Announcement(95, name, static_cast<std::uint32_t>(data.size()), Sum(data), 60), 6);
        ASSERT_EQ(HexText(reply), "5A 35 77 A5 5F 06");
        ASSERT_TRUE(sim.WaitForFrames(frames + 1, 2000));
        ASSERT_TRUE(SendData(sim.Port(), data));
        ASSERT_TRUE(sim.WaitForFile(name, 2000));
    }

    ModuleSimulator sim;
};

}  // namespace zqbsim::test
