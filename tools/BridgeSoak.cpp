// zqb-bridge-soak MINUTES [SEED]: the zqb-bridge program against simulated modules on 127.0.2.x
// and a mosquitto on a free loopback port for MINUTES, with module faults and broker restarts
// picked at random. Every command carries a DAC code of its own, so each one is followed from
// the MQTT message to the frame the module received: none may be lost (a command the broker took
// gets exactly one result), none doubled (no code reaches a module twice), and no result says ok
// without the module having the frame. Every other broker restart comes while commands are in
// flight: the broker keeps its sessions over the restart, as a broker with persistence does.
// Reports the counts, the faults and the bridge's memory each minute; exits 1 when an invariant
// broke.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>

#include <mosquitto.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "bridge/BrokerProcess.h"
#include "bridge/RedeliveryFilter.h"
#include "sim/ModuleSimulator.h"

namespace {

constexpr int Modules = 4;

long ResidentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

QString IdOf(int i) { return QStringLiteral("001ec002%1").arg(i, 4, 16, QLatin1Char('0')); }

struct Ledger {
    std::mutex mutex;
    std::map<int, int> published;              // message id -> module
    std::map<int, std::pair<int, int>> codes;  // message id -> module, code
    std::map<int, std::vector<int>> sent;      // module -> codes the broker took, in order
    std::map<int, std::vector<bool>> results;  // module -> ok of each result, in order
    std::atomic<bool> bridgeOnline{false};
    // The driver's session outlives the restarts too: a result the broker sends again is one.
    zqb::bridge::RedeliveryFilter redeliveries;  // on the client's thread only
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    const double minutes = argc > 1 ? std::atof(argv[1]) : 30.0;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : std::random_device{}();
    std::mt19937 random(seed);
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/bridge/zqb-bridge");
    std::printf("zqb-bridge-soak: %.1f minutes, seed %u\n", minutes, seed);

    QTemporaryDir dir;
    zqb::bridge::test::Broker broker;
    broker.persistent = true;
    if (!broker.Start()) {
        std::fprintf(stderr, "zqb-bridge-soak: mosquitto did not start\n");
        return 1;
    }
    const quint16 port = broker.Port();

    std::vector<std::unique_ptr<zqbsim::ModuleSimulator>> modules;
    QStringList arguments = {QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--poll"),
                             QStringLiteral("300"), QStringLiteral("--mqtt-client-id"), QStringLiteral("soak"),
                             QStringLiteral("--counters-interval"), QStringLiteral("2")};
    std::vector<quint16> ports;
    for (int i = 0; i < Modules; ++i) {
        auto m = std::make_unique<zqbsim::ModuleSimulator>();
        zqbsim::ModuleState s;
        s.reportedAddress = {127, 0, 2, static_cast<std::uint8_t>(i + 1)};
        s.mac = {0x00, 0x1E, 0xC0, 0x02, 0x00, static_cast<std::uint8_t>(i)};
        m->SetState(s);
        if (!m->Start(0, QHostAddress(QStringLiteral("127.0.2.%1").arg(i + 1)))) return 1;
        arguments << QStringLiteral("127.0.2.%1:%2").arg(i + 1).arg(m->Port());
        ports.push_back(m->Port());
        modules.push_back(std::move(m));
    }

    Ledger ledger;
    mosquitto_lib_init();
    // A persistent session: results told while the driver reconnects wait at the broker for it.
    struct mosquitto* client = mosquitto_new("soak-driver", false, &ledger);
    mosquitto_connect_with_flags_callback_set(client, [](struct mosquitto* m, void* p, int rc, int flags) {
        if (rc == 0) {
            static_cast<Ledger*>(p)->redeliveries.SessionStarted((flags & 1) != 0);
            mosquitto_subscribe(m, nullptr, "zqb/+/result", 1);
            mosquitto_subscribe(m, nullptr, "zqb/bridge/+/status", 1);
        }
    });
    mosquitto_message_callback_set(client, [](struct mosquitto*, void* p, const mosquitto_message* m) {
        auto* l = static_cast<Ledger*>(p);
        const QString topic = QString::fromUtf8(m->topic);
        const QByteArray payload(static_cast<const char*>(m->payload), m->payloadlen);
        if (!l->redeliveries.Take(m->mid, topic, payload)) return;
        if (topic.endsWith(QLatin1String("/status"))) {
            l->bridgeOnline = payload == "online";
            return;
        }
        const int module = topic.section(QLatin1Char('/'), 1, 1).right(4).toInt(nullptr, 16);
        std::lock_guard<std::mutex> guard(l->mutex);
        l->results[module].push_back(QJsonDocument::fromJson(payload).object().value(QStringLiteral("ok")).toBool());
    });
    // Only a command the broker acknowledged counts as sent.
    mosquitto_publish_callback_set(client, [](struct mosquitto*, void* p, int mid) {
        auto* l = static_cast<Ledger*>(p);
        std::lock_guard<std::mutex> guard(l->mutex);
        const auto it = l->codes.find(mid);
        if (it == l->codes.end()) return;
        l->sent[it->second.first].push_back(it->second.second);
        l->codes.erase(it);
    });
    mosquitto_reconnect_delay_set(client, 1, 2, false);
    mosquitto_connect(client, "127.0.0.1", port, 30);
    mosquitto_loop_start(client);

    QProcess bridge;
    if (!zqb::bridge::test::StartBridgeProgram(bridge, program, arguments, dir.path(), dir.filePath(QStringLiteral("bridge.log"))))
        return 1;
    const qint64 pid = bridge.processId();
    QThread::msleep(3000);

    int nextCode = 1;
    // One command with a code of its own; the message id, or 0 when it could not be queued.
    const auto Send = [&](int module) {
        const int code = nextCode;
        nextCode = nextCode % 4095 + 1;
        const QByteArray topic = QStringLiteral("zqb/%1/ao/set").arg(IdOf(module)).toUtf8();
        const QByteArray payload = QByteArray::number(code);
        std::lock_guard<std::mutex> guard(ledger.mutex);
        int mid = 0;
        if (mosquitto_publish(client, &mid, topic.constData(), static_cast<int>(payload.size()), payload.constData(), 1, false) !=
            MOSQ_ERR_SUCCESS)
            return 0;
        ledger.codes[mid] = {module, code};
        return mid;
    };

    QElapsedTimer clock;
    clock.start();
    const qint64 end = static_cast<qint64>(minutes * 60000);
    std::vector<long> memory;
    qint64 nextMinute = 0;
    qint64 nextRestart = 45000 + random() % 30000;
    qint64 faultEnds = 0;
    int faultModule = -1;
    int faults = 0;
    int restarts = 0;
    int restartsInFlight = 0;
    int unansweredAtRestarts = 0;  // commands the broker took whose result had not come when it went
    std::map<std::string, int> faultCounts;
    const char* faultNames[] = {"silent", "refused", "status 3", "bad magic", "slow reply", "module restart"};

    while (clock.elapsed() < end) {
        const qint64 now = clock.elapsed();
        if (now >= nextMinute) {
            memory.push_back(ResidentKiB(pid));
            nextMinute += 60000;
        }
        // A fault ends: the module behaves again (a restarted one listens again).
        if (faultModule >= 0 && now >= faultEnds) {
            auto& m = *modules[static_cast<std::size_t>(faultModule)];
            m.SetBehaviour({});
            if (!m.Start(ports[static_cast<std::size_t>(faultModule)], QHostAddress(QStringLiteral("127.0.2.%1").arg(faultModule + 1))))
                m.Start(ports[static_cast<std::size_t>(faultModule)], QHostAddress(QStringLiteral("127.0.2.%1").arg(faultModule + 1)));
            faultModule = -1;
        }
        if (faultModule < 0 && random() % 20 == 0) {
            faultModule = static_cast<int>(random() % Modules);
            const int kind = static_cast<int>(random() % 6);
            zqbsim::Misbehaviour b;
            auto& m = *modules[static_cast<std::size_t>(faultModule)];
            switch (kind) {
            case 0: b.silent = true; break;
            case 1: b.refuseConnections = true; break;
            case 2: b.status = 3; break;
            case 3: b.badMagic = true; break;
            case 4: b.replyDelayMs = 700; break;
            case 5: m.Stop(); break;
            }
            if (kind != 5) m.SetBehaviour(b);
            faultEnds = now + 1000 + static_cast<qint64>(random() % 4000);
            ++faults;
            ++faultCounts[faultNames[kind]];
        }
        // A broker restart. Every other one comes right after a burst of commands, as soon as the
        // broker has taken them (so that the driver need not send any again, which could double
        // one on its side). The modules answer slowly meanwhile, so the commands wait in the
        // bridge's queues and run in the modules' exchanges while the broker is away, with their
        // results to tell. The others come once what was sent is answered.
        if (now >= nextRestart) {
            const bool inFlight = restarts % 2 == 0 && ledger.bridgeOnline;
            std::vector<int> slowed;
            if (inFlight) {
                zqbsim::Misbehaviour slow;
                slow.replyDelayMs = 250;
                for (int i = 0; i < Modules; ++i)
                    if (i != faultModule) {
                        modules[static_cast<std::size_t>(i)]->SetBehaviour(slow);
                        slowed.push_back(i);
                    }
                std::vector<int> burst;
                for (int k = 0; k < 3 * Modules; ++k) burst.push_back(Send(k % Modules));
                for (int i = 0; i < 200; ++i) {
                    {
                        std::lock_guard<std::mutex> guard(ledger.mutex);
                        if (std::none_of(burst.begin(), burst.end(), [&](int mid) { return ledger.codes.count(mid) > 0; })) break;
                    }
                    QThread::msleep(5);
                }
                QThread::msleep(static_cast<unsigned long>(random() % 30));
                ++restartsInFlight;
            } else {
                QThread::msleep(2500);
            }
            {
                std::lock_guard<std::mutex> guard(ledger.mutex);
                for (int i = 0; i < Modules; ++i)
                    unansweredAtRestarts += std::max(0, static_cast<int>(ledger.sent[i].size()) - static_cast<int>(ledger.results[i].size()));
            }
            // Commands go out again once the bridge says online on the new broker: its
            // subscriptions are there by then.
            ledger.bridgeOnline = false;
            broker.Stop();
            QThread::msleep(static_cast<unsigned long>(200 + random() % 1500));
            if (!broker.Start(port)) {
                std::fprintf(stderr, "zqb-bridge-soak: the broker did not come back\n");
                break;
            }
            ++restarts;
            for (int i = 0; i < 200 && !ledger.bridgeOnline; ++i) QThread::msleep(50);
            for (int i : slowed) modules[static_cast<std::size_t>(i)]->SetBehaviour({});
            QThread::msleep(500);
            nextRestart = clock.elapsed() + 45000 + static_cast<qint64>(random() % 30000);
            continue;
        }
        if (ledger.bridgeOnline) Send(static_cast<int>(random() % Modules));
        QThread::msleep(static_cast<unsigned long>(100 + random() % 300));
    }
    // Every module behaves again, and every answer is in.
    if (faultModule >= 0) {
        modules[static_cast<std::size_t>(faultModule)]->SetBehaviour({});
        modules[static_cast<std::size_t>(faultModule)]->Start(ports[static_cast<std::size_t>(faultModule)],
                                                               QHostAddress(QStringLiteral("127.0.2.%1").arg(faultModule + 1)));
    }
    QThread::msleep(5000);
    memory.push_back(ResidentKiB(pid));

    int sent = 0, answered = 0, lost = 0, doubled = 0, okWithoutFrame = 0, executed = 0, okCount = 0;
    {
        std::lock_guard<std::mutex> guard(ledger.mutex);
        for (int i = 0; i < Modules; ++i) {
            // Codes repeat after 4095 commands: count per code, against the commands that carried it.
            std::map<int, int> frames, commands;
            for (const QByteArray& f : modules[static_cast<std::size_t>(i)]->Frames())
                if (f.size() == 8 && static_cast<std::uint8_t>(f[4]) == 0xD4)
                    ++frames[(static_cast<std::uint8_t>(f[6]) << 8) | static_cast<std::uint8_t>(f[7])];
            const std::vector<int>& codes = ledger.sent[i];
            const std::vector<bool>& results = ledger.results[i];
            for (int code : codes) ++commands[code];
            sent += static_cast<int>(codes.size());
            answered += static_cast<int>(results.size());
            if (results.size() < codes.size()) lost += static_cast<int>(codes.size() - results.size());
            for (const auto& [code, n] : frames) {
                executed += n;
                if (n > commands[code]) doubled += n - commands[code];
            }
            // Results come in the order of the commands.
            for (std::size_t k = 0; k < codes.size() && k < results.size(); ++k) {
                if (!results[k]) continue;
                ++okCount;
                if (frames[codes[k]] == 0) ++okWithoutFrame;
            }
        }
    }
    std::printf("commands the broker took: %d, results: %d, ok: %d, frames at the modules: %d\n", sent, answered, okCount, executed);
    std::printf("lost: %d, doubled: %d, ok without the frame: %d, extra results: %d\n", lost, doubled, okWithoutFrame,
                std::max(0, answered - sent));
    std::printf("module faults: %d (", faults);
    for (const auto& [name, n] : faultCounts) std::printf("%s %d; ", name.c_str(), n);
    std::printf("), broker restarts: %d (%d with commands in flight; %d commands unanswered when the broker went)\n", restarts,
                restartsInFlight, unansweredAtRestarts);
    std::printf("bridge resident memory per minute (MB):");
    for (long kib : memory) std::printf(" %.1f", static_cast<double>(kib) / 1024.0);
    std::printf("\n");
    const long first = memory.size() > 2 ? memory[1] : memory.front();
    const bool flat = memory.back() <= first + 4096;  // within 4 MB of the first minute's
    std::printf("memory %s\n", flat ? "flat" : "GROWING");

    ::kill(static_cast<pid_t>(pid), SIGTERM);
    bridge.waitForFinished(5000);
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, true);
    mosquitto_destroy(client);
    broker.Stop();
    const bool good = lost == 0 && doubled == 0 && okWithoutFrame == 0 && answered == sent && flat && sent > 0;
    std::printf("zqb-bridge-soak: %s\n", good ? "every invariant held" : "INVARIANT BROKEN");
    return good ? 0 : 1;
}
