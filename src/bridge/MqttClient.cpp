#include "bridge/MqttClient.h"

#include <chrono>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include "protocol/NetworkGuard.h"

namespace zqb::bridge {

namespace {

// How long the broker keeps the bridge's session, and the commands queued in it, while the
// bridge is away (MQTT 5; 3.1.1 keeps it without a limit).
constexpr std::uint32_t SessionExpirySeconds = 7 * 24 * 3600;

void InitLibrary()
{
    static const int once = mosquitto_lib_init();
    (void)once;
}

}  // namespace

bool RefusalIsFinal(int version, int code)
{
    if (version == 5)
        return code == MQTT_RC_BAD_USERNAME_OR_PASSWORD || code == MQTT_RC_NOT_AUTHORIZED || code == MQTT_RC_BAD_AUTHENTICATION_METHOD;
    return code == CONNACK_REFUSED_BAD_USERNAME_PASSWORD || code == CONNACK_REFUSED_NOT_AUTHORIZED;
}

MqttClient::MqttClient(MqttSettings settings, QObject* parent) : QObject(parent), settings_(std::move(settings)) {}

MqttClient::~MqttClient()
{
    if (thread_.joinable()) Finish(0);
    // A thread still blocked in a connect keeps using the client: it is left to the process's end.
    if (mosq_ && finished_) mosquitto_destroy(mosq_);
}

bool MqttClient::Start(QString& error)
{
    // Tests and tools reach loopback addresses only, the broker too.
    if (!ConnectionAllowed(settings_.host)) {
        error = QStringLiteral("the broker %1 is no loopback address (127.0.0.0/8), and this run is held to loopback (ZQB_LOOPBACK_ONLY)")
                    .arg(settings_.host);
        return false;
    }
    InitLibrary();
    const QByteArray id = settings_.clientId.toUtf8();
    mosq_ = mosquitto_new(id.constData(), false, this);
    if (!mosq_) {
        error = QStringLiteral("cannot make an MQTT client");
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, settings_.version == 5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    // Publications from other threads are queued and this client's thread writes them.
    mosquitto_threaded_set(mosq_, true);
    if (!settings_.user.isEmpty()) {
        const QByteArray user = settings_.user.toUtf8();
        const int rc = mosquitto_username_pw_set(mosq_, user.constData(),
                                                 settings_.password.isEmpty() ? nullptr : settings_.password.constData());
        if (rc != MOSQ_ERR_SUCCESS) {
            error = QStringLiteral("MQTT user: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
            return false;
        }
    }
    const QByteArray will = settings_.willTopic.toUtf8();
    if (!will.isEmpty() && mosquitto_will_set(mosq_, will.constData(), 7, "offline", 1, true) != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("cannot set the last will on %1").arg(settings_.willTopic);
        return false;
    }
    if (!settings_.caFile.isEmpty()) {
        const QByteArray ca = settings_.caFile.toLocal8Bit();
        const int rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = QStringLiteral("TLS with the CA file %1: %2").arg(settings_.caFile, QString::fromUtf8(mosquitto_strerror(rc)));
            return false;
        }
    }
    mosquitto_connect_with_flags_callback_set(mosq_, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::OnPublish);
    mosquitto_message_callback_set(mosq_, &MqttClient::OnMessage);
    thread_ = std::thread([this] { Run(); });
    return true;
}

bool MqttClient::ConnectOnce()
{
    const QByteArray host = settings_.host.toUtf8();
    mosquitto_property* properties = nullptr;
    if (settings_.version == 5) mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL, SessionExpirySeconds);
    const int rc = mosquitto_connect_bind_v5(mosq_, host.constData(), settings_.port, settings_.keepAliveS, nullptr, properties);
    mosquitto_property_free_all(&properties);
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::SleepBackOff(int ms)
{
    std::unique_lock<std::mutex> lock(sleepMutex_);
    sleepWake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

void MqttClient::Run()
{
    int backOff = settings_.reconnectMinMs;
    while (!stop_) {
        if (ConnectOnce()) {
            while (!stop_ && mosquitto_loop(mosq_, 100, 1) == MOSQ_ERR_SUCCESS) {
                if (connected_) backOff = settings_.reconnectMinMs;
            }
            if (connected_.exchange(false)) emit disconnected();
            if (stop_) break;
        }
        SleepBackOff(backOff);
        backOff = std::min(backOff * 2, settings_.reconnectMaxMs);
    }
    // A clean goodbye: the broker then keeps the last will to itself.
    if (mosquitto_disconnect(mosq_) == MOSQ_ERR_SUCCESS)
        for (int i = 0; i < 5 && mosquitto_loop(mosq_, 20, 1) == MOSQ_ERR_SUCCESS; ++i) {
        }
    connected_ = false;
    finished_ = true;
}

bool MqttClient::Publish(const QString& topic, const QByteArray& payload, bool retain)
{
    if (!mosq_ || !connected_) return false;
    const QByteArray t = topic.toUtf8();
    const int rc = mosquitto_publish(mosq_, nullptr, t.constData(), static_cast<int>(payload.size()), payload.constData(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS) return false;
    ++unacknowledged_;
    return true;
}

void MqttClient::Subscribe(const QString& filter)
{
    const QByteArray f = filter.toUtf8();
    mosquitto_subscribe(mosq_, nullptr, f.constData(), 1);
}

bool MqttClient::Finish(int ms)
{
    // The acknowledgements get the first part of the time; ending the thread (a last turn of its
    // loop, the goodbye) the rest, and never less than 300 ms.
    const auto start = std::chrono::steady_clock::now();
    const auto acknowledged = start + std::chrono::milliseconds(std::max(0, ms - 300));
    const auto ended = start + std::chrono::milliseconds(std::max(ms, 300));
    while (connected_ && unacknowledged_ > 0 && std::chrono::steady_clock::now() < acknowledged)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop_ = true;
    sleepWake_.notify_all();
    while (!finished_ && std::chrono::steady_clock::now() < ended) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!thread_.joinable()) return true;
    if (!finished_) {
        thread_.detach();
        return false;
    }
    thread_.join();
    return true;
}

void MqttClient::OnConnect(struct mosquitto*, void* self, int rc, int flags)
{
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        const QString reason = QString::fromUtf8(client->settings_.version == 5 ? mosquitto_reason_string(rc) : mosquitto_connack_string(rc));
        if (RefusalIsFinal(client->settings_.version, rc)) {
            client->stop_ = true;  // no retry changes the bridge's credentials
            emit client->refused(reason);
        } else {
            // The broker closes the connection; the next connect comes after the back-off.
            emit client->logLine(QStringLiteral("the broker refused the connection for now (%1); trying again").arg(reason));
        }
        return;
    }
    const bool sessionPresent = (flags & 1) != 0;
    client->redeliveries_.SessionStarted(sessionPresent);
    client->connected_ = true;
    emit client->connected(sessionPresent);
}

void MqttClient::OnDisconnect(struct mosquitto*, void* self, int)
{
    auto* client = static_cast<MqttClient*>(self);
    if (client->connected_.exchange(false)) emit client->disconnected();
}

void MqttClient::OnPublish(struct mosquitto*, void* self, int)
{
    auto* client = static_cast<MqttClient*>(self);
    if (client->unacknowledged_ > 0) --client->unacknowledged_;
}

void MqttClient::OnMessage(struct mosquitto*, void* self, const ::mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    if (!client->redeliveries_.Take(message->mid, topic, payload)) {
        emit client->logLine(QStringLiteral("a resend of message %1 on %2 was taken already; not run again").arg(message->mid).arg(topic));
        return;
    }
    emit client->messageArrived(topic, payload);
}

}  // namespace zqb::bridge
