// zqb-bridge: every module of a network in MQTT (with Home Assistant discovery) and Prometheus,
// on the console's own protocol code, without any window.
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QSysInfo>

#include "bridge/Bridge.h"
#include "bridge/CoreModuleClient.h"
#include "protocol/ModuleLock.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler: the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void Log(const QString& line)
{
    std::fprintf(stderr, "zqb-bridge: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// A host name as one topic level: no level separator or wildcard.
QString TopicLevel(QString text)
{
    for (QChar& c : text)
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.unicode() < 0x20) c = QLatin1Char('_');
    return text.isEmpty() ? QStringLiteral("localhost") : text;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    const auto read = zqb::bridge::ReadBridgeOptions(arguments);
    if (const auto* error = std::get_if<zqb::bridge::OptionsError>(&read)) {
        Log(error->message);
        std::fputs(zqb::bridge::BridgeUsage().toLocal8Bit().constData(), stderr);
        return 2;
    }
    const zqb::bridge::BridgeOptions& options = std::get<zqb::bridge::BridgeOptions>(read);
    if (options.help) {
        std::fputs(zqb::bridge::BridgeUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(zqb::bridge::BridgeVersionText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    for (const QString& warning : options.warnings) Log(warning);

    std::string problem;
    const std::string lockDirectory = zqb::ModuleLock::DefaultDirectory(problem);
    if (lockDirectory.empty())
        Log(QStringLiteral("no folder for the module locks (%1): file writes by other programs are not seen")
                .arg(QString::fromLocal8Bit(problem.c_str())));

    zqb::bridge::BridgeServices services;
    services.hostname = TopicLevel(QSysInfo::machineHostName());
    services.lockDirectory = lockDirectory;
    services.log = Log;
    services.makeClient = [lockDirectory](const zqb::ModuleAddress& a) {
        return std::make_unique<zqb::bridge::CoreModuleClient>(a.address, a.port, lockDirectory);
    };

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        Log(QStringLiteral("cannot set up signal handling"));
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    zqb::bridge::Bridge bridge(options, services);
    int status = 0;
    bool clean = true;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        notifier.setEnabled(false);
        Log(QStringLiteral("stopping"));
        // Within the 2 s a service manager is given here, with room to spare.
        clean = bridge.Stop(1500);
        app.exit(status);
    });
    QObject::connect(&bridge, &zqb::bridge::Bridge::fatal, &app, [&](const QString&) {
        status = 1;
        clean = bridge.Stop(1500);
        app.exit(status);
    });

    QString error;
    if (!bridge.Start(error)) {
        Log(error);
        bridge.Stop(500);
        return 2;
    }
    Log(QStringLiteral("started: broker %1:%2, base topic %3, %4 module(s), %5 scan(s)")
            .arg(options.mqtt.host)
            .arg(options.MqttPort())
            .arg(options.baseTopic)
            .arg(options.modules.size())
            .arg(options.scans.size()));
    const int result = app.exec();
    // A connect to the broker that blocks cannot be waited for: leave without it.
    if (!clean) ::_exit(result);
    return result;
}
