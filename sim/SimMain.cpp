// zqb-sim: the module simulator as a program, for manual runs and for tests of other programs.
#include <atomic>
#include <csignal>
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QTimer>

#include "sim/ModuleSimulator.h"

namespace {

std::atomic<bool> quitRequested{false};

extern "C" void OnQuitSignal(int) { quitRequested = true; }

int Fail(const QString& message)
{
    std::fprintf(stderr, "zqb-sim: %s\n", qPrintable(message));
    return 2;
}

bool ParseAddress(const QString& text, std::array<std::uint8_t, 4>& into)
{
    QHostAddress address;
    if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol) return false;
    const quint32 v = address.toIPv4Address();
    into = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    // Before anything is printed: whoever reads the port line may signal us at once.
    std::signal(SIGINT, OnQuitSignal);
    std::signal(SIGTERM, OnQuitSignal);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zqb-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated Wi-Fi I/O module (model 184) on a loopback address."));
    parser.addHelpOption();
    const QCommandLineOption listenOption(QStringLiteral("listen"),
                                          QStringLiteral("Listen address, 127.x.y.z:PORT (0 = any free port)."),
                                          QStringLiteral("address:port"), QStringLiteral("127.0.0.1:13577"));
    const QCommandLineOption modelOption(QStringLiteral("model"), QStringLiteral("Model code in the link record."), QStringLiteral("code"));
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Address the module reports (default: the listen address)."),
                                           QStringLiteral("a.b.c.d"));
    const QCommandLineOption locationOption(QStringLiteral("location"), QStringLiteral("Location text."), QStringLiteral("text"));
    const QCommandLineOption firmwareOption(QStringLiteral("firmware"), QStringLiteral("Firmware version, MAJOR.MINOR."), QStringLiteral("version"));
    const QCommandLineOption stationOption(QStringLiteral("station"), QStringLiteral("Report station mode instead of access point."));
    const QCommandLineOption silentOption(QStringLiteral("silent"), QStringLiteral("Read every command, answer none."));
    const QCommandLineOption restartOption(QStringLiteral("restart-ms"),
                                           QStringLiteral("Refuse connects this long after each restart."),
                                           QStringLiteral("ms"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"), QStringLiteral("Print each frame received on stderr."));
    parser.addOptions({listenOption, modelOption, addressOption, locationOption, firmwareOption, stationOption, silentOption,
                       restartOption, verboseOption});
    parser.process(app);

    // Never listen where a real network could reach us.
    const QString listen = parser.value(listenOption);
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return Fail(QStringLiteral("--listen wants 127.x.y.z:PORT, got \"%1\"").arg(listen));
    const QString host = listen.left(colon);
    bool portOk = false;
    const uint port = listen.mid(colon + 1).toUInt(&portOk);
    if (!portOk || port > 65535) return Fail(QStringLiteral("bad port in --listen \"%1\"").arg(listen));
    std::array<std::uint8_t, 4> listenAddress{};
    if (host == QLatin1String("localhost"))
        listenAddress = {127, 0, 0, 1};
    else if (!ParseAddress(host, listenAddress) || listenAddress[0] != 127)
        return Fail(QStringLiteral("refusing to listen on %1: only 127.0.0.0/8 is allowed").arg(host));
    const QHostAddress bindAddress(static_cast<quint32>(listenAddress[0] << 24 | listenAddress[1] << 16 |
                                                        listenAddress[2] << 8 | listenAddress[3]));

    zqbsim::ModuleState state;
    state.reportedAddress = listenAddress;
    if (parser.isSet(modelOption)) {
        bool ok = false;
        const uint model = parser.value(modelOption).toUInt(&ok);
        if (!ok || model > 255) return Fail(QStringLiteral("bad --model"));
        state.modelCode = static_cast<std::uint8_t>(model);
    }
    if (parser.isSet(addressOption) && !ParseAddress(parser.value(addressOption), state.reportedAddress))
        return Fail(QStringLiteral("bad --address"));
    if (parser.isSet(locationOption)) state.location = parser.value(locationOption).toLatin1();
    if (parser.isSet(firmwareOption)) {
        const QStringList parts = parser.value(firmwareOption).split(QLatin1Char('.'));
        bool ok1 = false, ok2 = false;
        const uint major = parts.value(0).toUInt(&ok1);
        const uint minor = parts.value(1).toUInt(&ok2);
        if (parts.size() != 2 || !ok1 || !ok2 || major > 255 || minor > 255) return Fail(QStringLiteral("bad --firmware"));
        state.firmwareMajor = static_cast<std::uint8_t>(major);
        state.firmwareMinor = static_cast<std::uint8_t>(minor);
    }
    if (parser.isSet(stationOption)) state.wifiModeAp = 0;

    zqbsim::Misbehaviour behaviour;
    behaviour.silent = parser.isSet(silentOption);
    if (parser.isSet(restartOption)) {
        bool ok = false;
        behaviour.restartDowntimeMs = parser.value(restartOption).toInt(&ok);
        if (!ok || behaviour.restartDowntimeMs < 0) return Fail(QStringLiteral("bad --restart-ms"));
    }

    zqbsim::ModuleSimulator simulator;
    simulator.SetState(state);
    simulator.SetBehaviour(behaviour);
    if (!simulator.Start(static_cast<std::uint16_t>(port), bindAddress))
        return Fail(QStringLiteral("cannot listen on %1:%2").arg(bindAddress.toString()).arg(port));
    std::printf("zqb-sim listening on %s:%u\n", qPrintable(bindAddress.toString()), simulator.Port());
    std::fflush(stdout);

    // The handler only sets a flag; the loop looks at it, and prints new frames when asked to.
    const bool verbose = parser.isSet(verboseOption);
    std::size_t printed = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (quitRequested) {
            app.quit();
            return;
        }
        if (!verbose) return;
        const auto frames = simulator.Frames();
        for (; printed < frames.size(); ++printed)
            std::fprintf(stderr, "frame %zu: %s\n", printed + 1, frames[printed].toHex(' ').toUpper().constData());
    });
    poll.start(50);
    const int rc = app.exec();
    simulator.Stop();
    return rc;
}
