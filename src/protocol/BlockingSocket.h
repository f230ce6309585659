#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <QEventLoop>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

namespace zqb {

// One TCP connection whose waits block the caller but keep the message loop running, so that
// timers and clicks are handled meanwhile. Every wait runs a local event loop that only the
// socket or its own precise timer ends.
class BlockingSocket {
public:
    enum class WaitResult { Ready, TimedOut, Closed, Aborted };

    BlockingSocket();
    ~BlockingSocket();
    BlockingSocket(const BlockingSocket&) = delete;
    BlockingSocket& operator=(const BlockingSocket&) = delete;

    // Caps what is taken from the kernel: anything beyond stays there and is dropped on close.
    void SetReadLimit(std::size_t bytes);
    // Writes go straight to the kernel instead of through the socket's own buffer: for a long
    // stream of small writes, which would otherwise cost a notifier switch each.
    void SetUnbuffered() { unbuffered_ = true; }

    // host must be a dotted-decimal IPv4 address; anything else fails without a lookup.
    bool Connect(const QString& host, std::uint16_t port, int timeoutMs);
    // Keeps a descriptor of its own on the connection, so that what the peer acknowledged can
    // still be asked after the socket layer has let go of a connection the peer reset.
    void KeepOwnDescriptor();
    // The data bytes the peer has acknowledged so far; nothing where the system cannot say.
    std::optional<std::uint64_t> BytesAcknowledged() const;
    // Hands all bytes to the kernel; false when the connection failed on the way.
    bool Write(const std::uint8_t* data, std::size_t length, int timeoutMs = 3000);
    bool HasInput() const;
    // Waits up to timeoutMs for input; Ready as soon as any byte is there.
    WaitResult WaitForInput(int timeoutMs);
    std::size_t ReadAvailable(std::uint8_t* into, std::size_t capacity);
    // Ends a one-way stream: tells the peer nothing more comes and waits for it to close. Returns
    // how many of the bytes written the peer had not acknowledged when the connection ended: 0
    // when it took everything, whether it then closed, reset the connection, or kept it open for
    // timeoutMs; more when it reset the connection or took nothing for timeoutMs before the end.
    // The connection is closed either way.
    std::uint64_t FinishSending(int timeoutMs);
    void Close();

    bool IsConnected() const;
    QString ErrorText() const;

private:
    enum LoopExit { ExitReady = 1, ExitTimedOut, ExitClosed };
    WaitResult RunLoop(int timeoutMs);

    QTcpSocket socket_;
    QEventLoop loop_;
    QTimer timer_;
    bool unbuffered_ = false;
    std::uint64_t written_ = 0;
    int own_ = -1;
};

}  // namespace zqb
