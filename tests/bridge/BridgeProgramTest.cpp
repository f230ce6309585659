// The zqb-bridge program as the service runs it: its password from a file only, and whatever
// way it ends, the broker is left with the truth: a stop on SIGTERM says offline for itself and
// its modules within two seconds, a kill leaves its last will, and discovery is never taken back.
#include <set>

#include <QElapsedTimer>
#include <QFile>

#include "bridge/BrokerRig.h"

namespace zqb::bridge::test {
namespace {

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return false;
    return f.flush();
}

QStringList ProgramArguments(std::uint16_t brokerPort, const std::vector<const zqbsim::ModuleSimulator*>& modules)
{
    QStringList arguments = {QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(brokerPort), QStringLiteral("--mqtt-client-id"),
                             QStringLiteral("program-test"), QStringLiteral("--poll"), QStringLiteral("200")};
    for (const zqbsim::ModuleSimulator* m : modules) arguments << QStringLiteral("%1:%2").arg(m->Address().toString()).arg(m->Port());
    return arguments;
}

TEST(BridgeProgram, ThePasswordComesFromAFileOnly)
{
    QTemporaryDir dir;
    // mosquitto_passwd hashes the file in place: the password never stands on its command line.
    const QString passwords = dir.filePath(QStringLiteral("passwd"));
    ASSERT_TRUE(WriteFile(passwords, "bridge:Pw-7f3a\n"));
    QFile::setPermissions(passwords, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(QProcess::execute(QStringLiteral("mosquitto_passwd"), {QStringLiteral("-U"), passwords}), 0);
    QFile hashed(passwords);
    ASSERT_TRUE(hashed.open(QIODevice::ReadOnly));
    ASSERT_FALSE(hashed.readAll().contains("Pw-7f3a")) << "the password file was not hashed";
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
        ASSERT_TRUE(WriteFile(file, QByteArray(c.password) + '\n'));
        QProcess bridge;
        ASSERT_TRUE(StartBridgeProgram(bridge, QStringLiteral(ZQB_BRIDGE_PROGRAM),
                                       ProgramArguments(broker.Port(), {module.get()}) +
                                           QStringList{QStringLiteral("--mqtt-user"), QStringLiteral("bridge"),
                                                       QStringLiteral("--mqtt-password-file"), file},
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
        ::kill(static_cast<pid_t>(bridge.processId()), SIGTERM);
        ASSERT_TRUE(bridge.waitForFinished(5000));
        EXPECT_FALSE(bridge.readAllStandardError().contains(c.password)) << "the password in the log";
    }
}

TEST(BridgeProgram, EveryEndingLeavesTheBrokerTheTruth)
{
    struct Case {
        const char* what;
        int signal;
        bool silentModule;          // module 43 accepts and never answers when the end comes
        const char* availabilityAfter;  // what the broker keeps for module 41, which answered to the end
    };
    const Case cases[] = {
        {"SIGTERM", SIGTERM, false, "offline"},
        {"SIGTERM while a module is silent", SIGTERM, true, "offline"},
        {"SIGKILL: the last will speaks", SIGKILL, false, "online"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        Broker broker;
        ASSERT_TRUE(broker.Start());
        std::vector<std::unique_ptr<zqbsim::ModuleSimulator>> modules;
        for (int n : {41, 42, 43}) {
            modules.push_back(StartModule(n));
            ASSERT_TRUE(modules.back());
        }
        MqttProbe probe;
        ASSERT_TRUE(probe.Connect(broker.Port()));
        ASSERT_TRUE(probe.Subscribe("zqb/#"));
        QProcess bridge;
        ASSERT_TRUE(StartBridgeProgram(bridge, QStringLiteral(ZQB_BRIDGE_PROGRAM),
                                       ProgramArguments(broker.Port(), {modules[0].get(), modules[1].get(), modules[2].get()}),
                                       dir.path()));
        for (int n : {41, 42, 43})
            ASSERT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/%1/availability").arg(ModuleId(n)), "online", 8000)) << n;
        // Module 42 goes for good.
        modules[1]->Stop();
        ASSERT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/%1/availability").arg(ModuleId(42)), "offline"));
        if (c.silentModule) {
            zqbsim::Misbehaviour silent;
            silent.silent = true;
            modules[2]->SetBehaviour(silent);
            Eventually([] { return false; }, 400);  // a poll of it waits for its answer now
        }

        probe.Clear();
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(bridge.processId()), c.signal);
        ASSERT_TRUE(bridge.waitForFinished(5000));
        if (c.signal == SIGTERM) {
            EXPECT_LT(clock.elapsed(), 2000) << "took too long to stop";
            EXPECT_EQ(bridge.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(bridge.exitCode(), 0);
        }
        const auto bridgeStatus = [](const MqttProbe& p, bool retained) -> QByteArray {
            QByteArray last("(nothing)");
            for (const Message& m : p.Messages())
                if (m.topic.startsWith(QLatin1String("zqb/bridge/")) && m.topic.endsWith(QLatin1String("/status")) && m.retained == retained)
                    last = m.payload;
            return last;
        };
        EXPECT_TRUE(Eventually([&] { return bridgeStatus(probe, false) == "offline"; })) << "no offline for the bridge";

        // What a dashboard that starts now is told: all of it kept by the broker.
        MqttProbe late;
        ASSERT_TRUE(late.Connect(broker.Port()));
        ASSERT_TRUE(late.Subscribe("zqb/#"));
        ASSERT_TRUE(late.Subscribe("homeassistant/#"));
        const auto kept = [&](const QString& topic) -> QByteArray {
            const auto m = late.WaitFor(topic, [](const Message& m) { return m.retained; }, 2000);
            return m ? m->payload : QByteArray("(nothing kept)");
        };
        EXPECT_TRUE(Eventually([&] { return bridgeStatus(late, true) == "offline"; }, 2000)) << bridgeStatus(late, true).toStdString();
        EXPECT_EQ(kept(QStringLiteral("zqb/%1/availability").arg(ModuleId(41))), QByteArray(c.availabilityAfter));
        EXPECT_EQ(kept(QStringLiteral("zqb/%1/availability").arg(ModuleId(42))), QByteArray("offline"));
        if (c.signal == SIGTERM) {
            EXPECT_EQ(kept(QStringLiteral("zqb/%1/availability").arg(ModuleId(43))), QByteArray("offline"));
        }
        // Discovery is never taken back: every entity of every module, the one gone for good too.
        const QStringList entities = {
            QStringLiteral("binary_sensor/%1/di0"), QStringLiteral("binary_sensor/%1/di1"), QStringLiteral("switch/%1/do"),
            QStringLiteral("number/%1/ao"),         QStringLiteral("select/%1/range"),      QStringLiteral("sensor/%1/signal"),
            QStringLiteral("sensor/%1/counter0"),   QStringLiteral("sensor/%1/counter1"),   QStringLiteral("button/%1/locate"),
        };
        for (int n : {41, 42, 43}) {
            for (const QString& entity : entities) {
                const QString topic = QStringLiteral("homeassistant/") + entity.arg(QStringLiteral("zqb_") + ModuleId(n)) +
                                      QStringLiteral("/config");
                SCOPED_TRACE(topic.toStdString());
                const QByteArray config = kept(topic);
                EXPECT_TRUE(config.startsWith('{')) << config.toStdString();
            }
        }
        std::set<QString> configs;
        for (const Message& m : late.Messages())
            if (m.topic.startsWith(QLatin1String("homeassistant/"))) {
                EXPECT_TRUE(m.retained && !m.payload.isEmpty()) << m.topic.toStdString();
                configs.insert(m.topic);
            }
        EXPECT_EQ(configs.size(), 3u * entities.size());
        // The other modules, stopped by now, free their addresses for the next case.
    }
}

}  // namespace
}  // namespace zqb::bridge::test
