// zqb-bridge-bench N SECONDS [SILENT]: N simulated modules on 127.0.x.y, a mosquitto on a free
// loopback port and one zqb-bridge process polling them every second. Prints each module's poll
// interval (median, p99), the bridge's CPU as a share of one core, its resident memory, and the
// time from a DI change on a module to the state message that shows it. SILENT modules (the first
// ones) read every command and answer none.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include <mosquitto.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "bridge/BrokerProcess.h"
#include "sim/ModuleSimulator.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Quantile(std::vector<double> v, double q)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

// utime + stime of a process, in seconds.
double CpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = f.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long ResidentKiB(qint64 pid, const char* field = "VmRSS:")
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

QString IdOf(int i) { return QStringLiteral("001ec001%1").arg(i, 4, 16, QLatin1Char('0')); }

struct Change {
    QString id;
    bool di0;
    Clock::time_point at;
};

struct Shared {
    std::mutex mutex;
    std::vector<Change> pending;
    std::vector<double> latenciesMs;
    std::atomic<int> online{0};
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
    const int seconds = argc > 2 ? std::max(5, std::atoi(argv[2])) : 60;
    const int silent = argc > 3 ? std::clamp(std::atoi(argv[3]), 0, n) : 0;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/bridge/zqb-bridge");

    QTemporaryDir dir;
    zqb::bridge::test::Broker broker;
    if (!broker.Start()) {
        std::fprintf(stderr, "zqb-bridge-bench: mosquitto did not start\n");
        return 1;
    }
    const quint16 brokerPort = broker.Port();

    // The modules.
    std::vector<std::unique_ptr<zqbsim::ModuleSimulator>> modules;
    QStringList arguments = {QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(brokerPort), QStringLiteral("--poll"),
                             QStringLiteral("1000"), QStringLiteral("--mqtt-client-id"), QStringLiteral("bench")};
    for (int i = 0; i < n; ++i) {
        auto m = std::make_unique<zqbsim::ModuleSimulator>();
        zqbsim::ModuleState s;
        const int b = 1 + i / 250;
        const int c = 1 + i % 250;
        s.reportedAddress = {127, 0, static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c)};
        s.mac = {0x00, 0x1E, 0xC0, 0x01, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i & 0xFF)};
        m->SetState(s);
        const QString address = QStringLiteral("127.0.%1.%2").arg(b).arg(c);
        if (!m->Start(0, QHostAddress(address))) {
            std::fprintf(stderr, "zqb-bridge-bench: no simulator on %s\n", qPrintable(address));
            return 1;
        }
        if (i < silent) {
            zqbsim::Misbehaviour quiet;
            quiet.silent = true;
            m->SetBehaviour(quiet);
        }
        arguments << QStringLiteral("%1:%2").arg(address).arg(m->Port());
        modules.push_back(std::move(m));
    }

    // The subscriber: each state message ends the wait of a DI change it shows.
    Shared shared;
    mosquitto_lib_init();
    struct mosquitto* sub = mosquitto_new(nullptr, true, &shared);
    mosquitto_message_callback_set(sub, [](struct mosquitto*, void* p, const mosquitto_message* m) {
        auto* s = static_cast<Shared*>(p);
        const auto now = Clock::now();
        const QString topic = QString::fromUtf8(m->topic);
        const QString id = topic.section(QLatin1Char('/'), 1, 1);
        const QByteArray payload(static_cast<const char*>(m->payload), m->payloadlen);
        if (topic.endsWith(QLatin1String("/availability"))) {
            if (payload == "online") ++s->online;
            return;
        }
        const bool di0 = QJsonDocument::fromJson(payload).object().value(QStringLiteral("di")).toArray().at(0).toBool();
        std::lock_guard<std::mutex> guard(s->mutex);
        for (auto it = s->pending.begin(); it != s->pending.end(); ++it)
            if (it->id == id && it->di0 == di0) {
                s->latenciesMs.push_back(Ms(now - it->at));
                s->pending.erase(it);
                break;
            }
    });
    mosquitto_connect(sub, "127.0.0.1", brokerPort, 30);
    mosquitto_subscribe(sub, nullptr, "zqb/+/state", 0);
    mosquitto_subscribe(sub, nullptr, "zqb/+/availability", 0);
    mosquitto_loop_start(sub);

    QProcess bridge;
    if (!zqb::bridge::test::StartBridgeProgram(bridge, program, arguments, dir.path(), dir.filePath(QStringLiteral("bridge.log")))) {
        std::fprintf(stderr, "zqb-bridge-bench: %s did not start\n", qPrintable(program));
        return 1;
    }
    const qint64 pid = bridge.processId();
    const auto warmUpEnd = Clock::now() + std::chrono::seconds(10);
    while (shared.online < n - silent && Clock::now() < warmUpEnd) QThread::msleep(20);
    std::printf("zqb-bridge-bench: %d modules (%d silent), %d modules online after warm-up\n", n, silent, shared.online.load());
    QThread::msleep(1500);

    // Poll starts seen from the modules' side: a new connection more than 300 ms after the last
    // poll's first one begins a new poll (a poll that also reads the link record or the counters
    // opens two or three connections within milliseconds).
    std::vector<std::vector<Clock::time_point>> starts(static_cast<std::size_t>(n));
    std::vector<int> seen(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) seen[static_cast<std::size_t>(i)] = modules[static_cast<std::size_t>(i)]->ConnectionCount();
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            const auto now = Clock::now();
            for (int i = 0; i < n; ++i) {
                const auto k = static_cast<std::size_t>(i);
                const int count = modules[k]->ConnectionCount();
                if (count == seen[k]) continue;
                seen[k] = count;
                if (starts[k].empty() || Ms(now - starts[k].back()) > 300) starts[k].push_back(now);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    const double cpuStart = CpuSeconds(pid);
    const auto windowStart = Clock::now();
    std::mt19937 random(7);
    long peakKiB = 0;
    int changes = 0;
    while (Clock::now() - windowStart < std::chrono::seconds(seconds)) {
        if (silent < n) {
            const int i = silent + static_cast<int>(random() % static_cast<unsigned>(n - silent));
            bool di0 = false;
            modules[static_cast<std::size_t>(i)]->Update([&](zqbsim::ModuleState& s) {
                s.diBits ^= 1;
                di0 = (s.diBits & 1) != 0;
            });
            {
                std::lock_guard<std::mutex> guard(shared.mutex);
                shared.pending.push_back({IdOf(i), di0, Clock::now()});
            }
            ++changes;
        }
        peakKiB = std::max(peakKiB, ResidentKiB(pid));
        QThread::msleep(1100);  // longer than a poll: each change is its own
    }
    const double cpu = (CpuSeconds(pid) - cpuStart) / std::chrono::duration<double>(Clock::now() - windowStart).count();
    sampling = false;
    sampler.join();
    const long rssKiB = ResidentKiB(pid);
    QThread::msleep(1200);  // the last change's message

    std::printf("\n%-18s %8s %10s %10s\n", "module", "polls", "median ms", "p99 ms");
    std::vector<double> medians, p99s;
    for (int i = 0; i < n; ++i) {
        const auto& s = starts[static_cast<std::size_t>(i)];
        std::vector<double> intervals;
        for (std::size_t k = 1; k < s.size(); ++k) intervals.push_back(Ms(s[k] - s[k - 1]));
        const double median = Quantile(intervals, 0.5);
        const double p99 = Quantile(intervals, 0.99);
        if (i >= silent) {
            medians.push_back(median);
            p99s.push_back(p99);
        }
        std::printf("%-18s %8zu %10.1f %10.1f%s\n", qPrintable(arguments[6 + i]), intervals.size(), median, p99, i < silent ? "  (silent)" : "");
    }
    std::vector<double> latencies;
    {
        std::lock_guard<std::mutex> guard(shared.mutex);
        latencies = shared.latenciesMs;
    }
    std::printf("\nanswering modules: poll interval median of medians %.1f ms, worst median %.1f ms, worst p99 %.1f ms\n",
                Quantile(medians, 0.5), Quantile(medians, 1.0), Quantile(p99s, 1.0));
    std::printf("bridge CPU: %.1f %% of one core over %d s\n", cpu * 100, seconds);
    std::printf("bridge resident memory: %.1f MB at the end, %.1f MB at most (peak RSS %.1f MB)\n", rssKiB / 1024.0, peakKiB / 1024.0,
                ResidentKiB(pid, "VmHWM:") / 1024.0);
    std::printf("DI change to state message: %zu of %d seen, median %.1f ms, p99 %.1f ms, max %.1f ms\n", latencies.size(), changes,
                Quantile(latencies, 0.5), Quantile(latencies, 0.99), Quantile(latencies, 1.0));

    ::kill(static_cast<pid_t>(pid), SIGTERM);
    bridge.waitForFinished(5000);
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, true);
    mosquitto_destroy(sub);
    broker.Stop();
    return 0;
}
