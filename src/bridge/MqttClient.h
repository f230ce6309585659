#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <QByteArray>
#include <QObject>
#include <QString>

#include "bridge/RedeliveryFilter.h"

struct mosquitto;
struct mosquitto_message;

namespace zqb::bridge {

// Whether the broker's refusal of a connect (a 3.1.1 CONNACK return code for `version` 4, an MQTT 5
// reason code for 5) is for good: the bridge's credentials or rights, which no retry changes.
// Any other refusal (a broker unavailable or busy for now, a quota) is tried again.
bool RefusalIsFinal(int version, int code);

struct MqttSettings {
    QString host = QStringLiteral("localhost");
    std::uint16_t port = 1883;
    QString user;
    QByteArray password;
    QString caFile;
    int version = 5;  // 5, or 4 for 3.1.1
    QString clientId;
    QString willTopic;  // the bridge's status: "offline" once it is gone
    int keepAliveS = 30;
    int reconnectMinMs = 500;
    int reconnectMaxMs = 30000;
};

// The bridge's one connection to the broker, on libmosquitto, run by a thread of its own.
//
// The session is persistent under a fixed client id (MQTT 5: with a session expiry), so that
// commands published while the bridge is away wait at the broker. Every connect, the first and
// each reconnect after a back-off, is made here with the session's properties: the library's
// own reconnect would drop them. Signals come from that thread; connect them queued.
class MqttClient : public QObject {
    Q_OBJECT
public:
    explicit MqttClient(MqttSettings settings, QObject* parent = nullptr);
    ~MqttClient() override;

    // Sets the client up and starts connecting; false with the reason when the settings cannot
    // be used (the CA file, say, or a broker off the loopback range while the run is held to
    // it). Connection failures are retried, not reported here.
    bool Start(QString& error);
    // QoS 1. Thread-safe. False when not connected: nothing was queued.
    bool Publish(const QString& topic, const QByteArray& payload, bool retain);
    // Subscribes at QoS 1; call from `connected`.
    void Subscribe(const QString& filter);
    bool Connected() const { return connected_; }
    // Waits up to `ms` until every publication was acknowledged, then disconnects cleanly (no
    // last will) and ends the thread. False when the thread could not be ended in time (a
    // connect that blocks): the caller then leaves without waiting for it.
    bool Finish(int ms);
    // The number of QoS 1 publications not yet acknowledged.
    int Unacknowledged() const { return unacknowledged_; }

signals:
    void connected(bool sessionPresent);
    void disconnected();
    // A command message, resends of one already taken left out.
    void messageArrived(const QString& topic, const QByteArray& payload);
    // The broker refused the connection for good (bad user or password, not authorised, a bad
    // authentication method): the client tries no more.
    void refused(const QString& reason);
    void logLine(const QString& line);

private:
    void Run();
    bool ConnectOnce();
    void SleepBackOff(int ms);

    static void OnConnect(struct mosquitto*, void* self, int rc, int flags);
    static void OnDisconnect(struct mosquitto*, void* self, int rc);
    static void OnPublish(struct mosquitto*, void* self, int mid);
    static void OnMessage(struct mosquitto*, void* self, const ::mosquitto_message* message);

    MqttSettings settings_;
    struct mosquitto* mosq_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> unacknowledged_{0};
    std::mutex sleepMutex_;
    std::condition_variable sleepWake_;
    RedeliveryFilter redeliveries_;  // only touched on the client's thread
};

}  // namespace zqb::bridge
