#pragma once

#include <deque>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace zqb::bridge::test {

// A TCP relay between the bridge and the broker that can lose a command's acknowledgement on the
// way and cut the connection, as a network that fails at the worst moment would. It reads the
// MQTT packets it relays, so that it can also tell when the broker resends a message (DUP).
class MqttProxy : public QObject {
public:
    explicit MqttProxy(std::uint16_t brokerPort) : brokerPort_(brokerPort)
    {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
    }
    // The relayed sockets go with the proxy: their last signals must not reach it half-gone.
    ~MqttProxy() override
    {
        for (QAbstractSocket* socket : server_.findChildren<QAbstractSocket*>()) socket->disconnect();
        for (QAbstractSocket* socket : findChildren<QAbstractSocket*>()) socket->disconnect();
    }
    std::uint16_t Port() const { return server_.serverPort(); }

    // The next PUBACK from the bridge is dropped and both connections are cut at once.
    bool loseNextAcknowledgement = false;
    // New connections are closed at once (the bridge cannot reach the broker).
    bool refuse = false;
    // The next connects are answered here with these CONNACK packets, then closed: a broker that
    // refuses the bridge.
    std::deque<QByteArray> refusals;
    int connects = 0;  // connections the bridge opened to the proxy
    int acknowledgementsLost = 0;
    int resendsSeen = 0;  // PUBLISH packets from the broker with the DUP flag

    void CutAll()
    {
        if (client_) client_->abort();
        if (broker_) broker_->abort();
    }

private:
    void Accept()
    {
        while (QTcpSocket* incoming = server_.nextPendingConnection()) {
            ++connects;
            if (refuse) {
                incoming->abort();
                incoming->deleteLater();
                continue;
            }
            if (!refusals.empty()) {
                const QByteArray connack = refusals.front();
                refusals.pop_front();
                // Once the CONNECT is in: the refusal, and the connection closed after it.
                QObject::connect(incoming, &QAbstractSocket::readyRead, incoming, [incoming, connack] {
                    incoming->readAll();
                    if (incoming->state() != QAbstractSocket::ConnectedState) return;
                    incoming->write(connack);
                    incoming->disconnectFromHost();
                });
                QObject::connect(incoming, &QAbstractSocket::disconnected, incoming, &QObject::deleteLater);
                continue;
            }
            CutAll();
            client_ = incoming;
            broker_ = new QTcpSocket(this);
            fromClient_.clear();
            fromBroker_.clear();
            broker_->connectToHost(QHostAddress::LocalHost, brokerPort_);
            QPointer<QAbstractSocket> c = client_, b = broker_;
            QObject::connect(c, &QAbstractSocket::readyRead, this, [this, c, b] { Relay(c, b, fromClient_, true); });
            QObject::connect(b, &QAbstractSocket::readyRead, this, [this, c, b] { Relay(b, c, fromBroker_, false); });
            QObject::connect(c, &QAbstractSocket::disconnected, this, [b] { if (b) b->disconnectFromHost(); });
            QObject::connect(b, &QAbstractSocket::disconnected, this, [c] { if (c) c->disconnectFromHost(); });
            QObject::connect(b, &QAbstractSocket::connected, this, [this, c, b] { Relay(c, b, fromClient_, true); });
        }
    }

    // Passes on whole packets only, so that one can be held back.
    void Relay(QAbstractSocket* from, QAbstractSocket* to, QByteArray& pending, bool fromBridge)
    {
        if (!from || !to) return;
        pending += from->readAll();
        if (to->state() != QAbstractSocket::ConnectedState) return;
        for (;;) {
            std::size_t length = 0;
            int shift = 0;
            qsizetype at = 1;
            bool whole = false;
            while (at < pending.size() && at <= 4) {
                const auto byte = static_cast<std::uint8_t>(pending[at]);
                length |= std::size_t{byte & 0x7Fu} << shift;
                shift += 7;
                ++at;
                if (!(byte & 0x80)) {
                    whole = true;
                    break;
                }
            }
            if (!whole || pending.size() < at + static_cast<qsizetype>(length)) return;
            const QByteArray packet = pending.left(at + static_cast<qsizetype>(length));
            pending.remove(0, packet.size());
            const auto type = static_cast<std::uint8_t>(packet[0]) & 0xF0;
            if (fromBridge && type == 0x40 && loseNextAcknowledgement) {
                loseNextAcknowledgement = false;
                ++acknowledgementsLost;
                CutAll();
                return;
            }
            if (!fromBridge && type == 0x30 && (static_cast<std::uint8_t>(packet[0]) & 0x08)) ++resendsSeen;
            to->write(packet);
        }
    }

    std::uint16_t brokerPort_;
    QTcpServer server_;
    QPointer<QAbstractSocket> client_;
    QPointer<QAbstractSocket> broker_;
    QByteArray fromClient_;
    QByteArray fromBroker_;
};

}  // namespace zqb::bridge::test
