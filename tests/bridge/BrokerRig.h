#pragma once

// Real parts for the bridge's tests: a mosquitto broker started on a free loopback port with a
// generated config and no persistence, stopped by its process id; an MQTT client on
// libmosquitto that records what it receives; a module simulator per loopback address.

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <mutex>
#include <vector>

#include <mosquitto.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include "bridge/BrokerProcess.h"
#include "sim/ModuleSimulator.h"

namespace zqb::bridge::test {

// Runs the event loop until `done` holds or `timeoutMs` passed.
inline bool Eventually(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

struct Message {
    QString topic;
    QByteArray payload;
    bool retained = false;
    QJsonObject Json() const { return QJsonDocument::fromJson(payload).object(); }
};

// A plain MQTT client, as a dashboard or a script would be.
class MqttProbe {
public:
    MqttProbe()
    {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(mosq_, [](struct mosquitto*, void* self, const mosquitto_message* m) {
            auto* probe = static_cast<MqttProbe*>(self);
            std::lock_guard<std::mutex> guard(probe->mutex_);
            probe->messages_.push_back({QString::fromUtf8(m->topic),
                                        QByteArray(static_cast<const char*>(m->payload), m->payloadlen), m->retain});
        });
        mosquitto_subscribe_callback_set(mosq_, [](struct mosquitto*, void* self, int, int, const int*) {
            ++static_cast<MqttProbe*>(self)->subscribed_;
        });
    }
    ~MqttProbe()
    {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
    }

    void Credentials(const char* user, const char* password) { mosquitto_username_pw_set(mosq_, user, password); }
    bool Connect(std::uint16_t port)
    {
        if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return false;
        return mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS;
    }
    // Returns once the broker confirmed the subscription.
    bool Subscribe(const char* filter)
    {
        const int before = subscribed_;
        mosquitto_subscribe(mosq_, nullptr, filter, 1);
        return Eventually([&] { return subscribed_ > before; });
    }
    void Publish(const QString& topic, const QByteArray& payload, int qos = 1)
    {
        const QByteArray t = topic.toUtf8();
        mosquitto_publish(mosq_, nullptr, t.constData(), static_cast<int>(payload.size()), payload.constData(), qos, false);
    }

    std::vector<Message> Messages() const
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return messages_;
    }
    std::vector<Message> On(const QString& topic) const
    {
        std::vector<Message> found;
        for (const Message& m : Messages())
            if (m.topic == topic) found.push_back(m);
        return found;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        messages_.clear();
    }
    // Waits for a message on `topic` that `match` accepts; the last such one.
    std::optional<Message> WaitFor(const QString& topic, const std::function<bool(const Message&)>& match, int timeoutMs = 5000)
    {
        std::optional<Message> found;
        Eventually([&] {
            for (const Message& m : On(topic))
                if (match(m)) found = m;
            return found.has_value();
        }, timeoutMs);
        return found;
    }
    std::optional<Message> WaitForPayload(const QString& topic, const QByteArray& payload, int timeoutMs = 5000)
    {
        return WaitFor(topic, [&](const Message& m) { return m.payload == payload; }, timeoutMs);
    }

private:
    struct mosquitto* mosq_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::atomic<int> subscribed_{0};
};

// A simulated module on 127.0.0.N that reports that address and a MAC of its own.
inline std::unique_ptr<zqbsim::ModuleSimulator> StartModule(int n, const QByteArray& location = {})
{
    auto module = std::make_unique<zqbsim::ModuleSimulator>();
    zqbsim::ModuleState state;
    state.reportedAddress = {127, 0, 0, static_cast<std::uint8_t>(n)};
    state.mac = {0x00, 0x1E, 0xC0, 0x00, 0x00, static_cast<std::uint8_t>(n)};
    state.location = location.isEmpty() ? QByteArray("Bench ") + QByteArray::number(n) : location;
    module->SetState(state);
    if (!module->Start(0, QHostAddress(QStringLiteral("127.0.0.%1").arg(n)))) return nullptr;
    return module;
}

inline QString ModuleId(int n) { return QStringLiteral("001ec00000%1").arg(n, 2, 16, QLatin1Char('0')); }

// The frames a module received with this command code.
inline std::vector<QByteArray> FramesWithCode(const zqbsim::ModuleSimulator& module, std::uint8_t code)
{
    std::vector<QByteArray> found;
    for (const QByteArray& f : module.Frames())
        if (f.size() > 4 && static_cast<std::uint8_t>(f[4]) == code) found.push_back(f);
    return found;
}

}  // namespace zqb::bridge::test
