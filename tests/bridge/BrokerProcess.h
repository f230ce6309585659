#pragma once

// A mosquitto broker of its own for a test, a benchmark or a soak: a generated config on a
// loopback port, started as a process and stopped by its process id. No persistence, unless a
// soak asks for it: then sessions and the messages in flight outlive a restart.

#include <csignal>
#include <cstdint>
#include <memory>

#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

namespace zqb::bridge::test {

inline std::uint16_t FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

class Broker {
public:
    ~Broker() { Stop(); }

    // Port 0: the port of the last start, or a free one. Extra lines go into the config (a
    // password file, another listener); without them anyone may connect.
    bool Start(std::uint16_t port = 0, const QStringList& extra = {})
    {
        if (port == 0) port = port_ ? port_ : FreePort();
        port_ = port;
        QStringList lines = {QStringLiteral("listener %1 127.0.0.1").arg(port)};
        // Saved when it stops, read again when it starts.
        if (persistent) lines << QStringLiteral("persistence true") << QStringLiteral("persistence_location %1/").arg(dir_.path());
        else lines << QStringLiteral("persistence false");
        // Run as root, mosquitto would switch to its own user; the files here are root's.
        if (::geteuid() == 0) lines << QStringLiteral("user root");
        lines << (extra.isEmpty() ? QStringList{QStringLiteral("allow_anonymous true")} : extra);
        QFile config(dir_.filePath(QStringLiteral("mosquitto.conf")));
        if (!config.open(QIODevice::WriteOnly)) return false;
        config.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        config.close();
        process_ = std::make_unique<QProcess>();
        process_->setStandardErrorFile(dir_.filePath(QStringLiteral("mosquitto.log")), QIODevice::Append);
        process_->start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config.fileName()});
        if (!process_->waitForStarted(5000)) return false;
        // Ready once it takes connections.
        for (int i = 0; i < 250; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(100)) return true;
            QThread::msleep(20);
        }
        return false;
    }

    // SIGTERM to its process id, and wait for it to go.
    void Stop()
    {
        if (!process_) return;
        if (process_->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process_->processId()), SIGTERM);
            process_->waitForFinished(5000);
        }
        process_.reset();
    }

    std::uint16_t Port() const { return port_; }
    bool persistent = false;

private:
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    std::uint16_t port_ = 0;
};

// The zqb-bridge program as its own process, held to loopback, with its module locks in
// `runtimeDir`; its log goes to `logFile` when one is named.
inline bool StartBridgeProgram(QProcess& process, const QString& program, const QStringList& arguments,
                               const QString& runtimeDir, const QString& logFile = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZQB_LOOPBACK_ONLY"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    process.setProcessEnvironment(env);
    if (!logFile.isEmpty()) process.setStandardErrorFile(logFile);
    process.start(program, arguments);
    return process.waitForStarted(5000);
}

}  // namespace zqb::bridge::test
