// The zqb-bridge program as the service runs it: its password from a file only, and a stop on
// SIGTERM that says offline for itself and its modules within two seconds.
#include <QElapsedTimer>
#include <QFile>

#include "bridge/BrokerRig.h"

namespace zqb::bridge::test {
namespace {

TEST(BridgeProgram, PasswordFromAFileOnlyAndAQuickGoodbyeOnSigterm)
{
    QTemporaryDir dir;
    const QString passwords = dir.filePath(QStringLiteral("passwd"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("mosquitto_passwd"),
                                {QStringLiteral("-c"), QStringLiteral("-b"), passwords, QStringLiteral("bridge"), QStringLiteral("Pw-7f3a")}),
              0);
    QFile::setPermissions(passwords, QFile::ReadOwner | QFile::WriteOwner);
    Broker broker;
    ASSERT_TRUE(broker.Start(0, {QStringLiteral("allow_anonymous false"), QStringLiteral("password_file %1").arg(passwords)}));
    auto module = StartModule(41);
    ASSERT_TRUE(module);
    MqttProbe probe;
    probe.Credentials("bridge", "Pw-7f3a");
    ASSERT_TRUE(probe.Connect(broker.Port()));
    ASSERT_TRUE(probe.Subscribe("zqb/#"));

    struct Case {
        const char* password;
        bool accepted;
    };
    for (const Case c : {Case{"wrong-pass", false}, Case{"Pw-7f3a", true}}) {
        SCOPED_TRACE(c.password);
        const QString file = dir.filePath(QStringLiteral("mqtt-password"));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(c.password) + '\n');
        f.close();
        QProcess bridge;
        ASSERT_TRUE(StartBridgeProgram(
            bridge, QStringLiteral(ZQB_BRIDGE_PROGRAM),
            {QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(broker.Port()), QStringLiteral("--mqtt-user"),
             QStringLiteral("bridge"), QStringLiteral("--mqtt-password-file"), file, QStringLiteral("--mqtt-client-id"),
             QStringLiteral("program-test"), QStringLiteral("--poll"), QStringLiteral("200"),
             QStringLiteral("127.0.0.41:%1").arg(module->Port())},
            dir.path()));
        if (!c.accepted) {
            EXPECT_TRUE(bridge.waitForFinished(5000)) << "kept trying a password the broker refused";
            EXPECT_EQ(bridge.exitCode(), 1);
            const QByteArray err = bridge.readAllStandardError();
            EXPECT_TRUE(err.contains("refused")) << err.toStdString();
            EXPECT_FALSE(err.contains(c.password));
            continue;
        }
        ASSERT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/%1/availability").arg(ModuleId(41)), "online", 8000));
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(bridge.processId()));
        ASSERT_TRUE(commandLine.open(QIODevice::ReadOnly));
        EXPECT_FALSE(commandLine.readAll().contains(c.password)) << "the password on the command line";

        probe.Clear();
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(bridge.processId()), SIGTERM);
        ASSERT_TRUE(bridge.waitForFinished(5000));
        EXPECT_LT(clock.elapsed(), 2000) << "took too long to stop";
        EXPECT_EQ(bridge.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(bridge.exitCode(), 0);
        EXPECT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/%1/availability").arg(ModuleId(41)), "offline"));
        bool bridgeOffline = false;
        Eventually([&] {
            for (const Message& m : probe.Messages())
                if (m.topic.startsWith(QLatin1String("zqb/bridge/")) && m.topic.endsWith(QLatin1String("/status")) && m.payload == "offline")
                    bridgeOffline = true;
            return bridgeOffline;
        });
        EXPECT_TRUE(bridgeOffline);
        EXPECT_FALSE(bridge.readAllStandardError().contains(c.password)) << "the password in the log";
    }
}

}  // namespace
}  // namespace zqb::bridge::test
