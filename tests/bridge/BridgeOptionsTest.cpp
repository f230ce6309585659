// The bridge's options: the config file, the command line over it, and the password's ways in.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "bridge/BridgeOptions.h"

namespace zqb::bridge::test {
namespace {

class BridgeOptionsTest : public ::testing::Test {
protected:
    QString Write(const char* name, const QByteArray& text, QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        f.setPermissions(mode);
        return path;
    }
    std::variant<BridgeOptions, OptionsError> Read(QStringList arguments)
    {
        for (QString& a : arguments) a.replace(QStringLiteral("DIR"), dir.path());
        return ReadBridgeOptions(arguments);
    }
    QTemporaryDir dir;
};

TEST_F(BridgeOptionsTest, CommandLineAndConfigFile)
{
    Write("bridge.conf",
          "# a comment\n[bridge]\nmqtt = broker.lan:1884\nbase-topic = site/a\npoll = 500\n"
          "module = 127.0.0.5 127.0.0.6:1400\nscan = 127.0.0.0/30\nmetrics = 127.0.0.1:9101\nmqtt-version = 3.1.1\n");
    Write("password", "s3cret\n");
    struct Case {
        QStringList arguments;
        std::function<bool(const BridgeOptions&)> holds;
        const char* error;  // part of the message, when it fails
    };
    const Case cases[] = {
        {{}, [](const BridgeOptions& o) { return o.MqttPort() == 1883 && o.pollMs == 1000 && o.baseTopic == "zqb" && o.modules.empty(); }, nullptr},
        {{"--config", "DIR/bridge.conf"},
         [](const BridgeOptions& o) {
             return o.mqtt.host == "broker.lan" && o.MqttPort() == 1884 && o.baseTopic == "site/a" && o.pollMs == 500 &&
                    o.modules.size() == 2 && o.modules[1].port == 1400 && o.scans.size() == 1 && o.metrics &&
                    o.metrics->port == 9101 && o.mqttVersion == 4;
         },
         nullptr},
        // The command line wins, and its modules replace the file's.
        {{"--poll=250", "127.0.0.9", "--config=DIR/bridge.conf", "--mqtt", "10.0.0.2"},
         [](const BridgeOptions& o) {
             return o.pollMs == 250 && o.modules.size() == 1 && o.modules[0].address == "127.0.0.9" && o.mqtt.host == "10.0.0.2" &&
                    o.MqttPort() == 1883 && o.baseTopic == "site/a";
         },
         nullptr},
        {{"--mqtt-tls-ca", "/etc/ssl/ca.pem"}, [](const BridgeOptions& o) { return o.MqttPort() == 8883; }, nullptr},
        {{"--mqtt-user", "bridge", "--mqtt-password-file", "DIR/password"},
         [](const BridgeOptions& o) { return o.mqttPassword == "s3cret"; }, nullptr},
        {{"--scan", "127.0.0.0/24", "--scan", "127.0.1.0/24"}, [](const BridgeOptions& o) { return o.scans.size() == 2; }, nullptr},
        {{"--mqtt-password", "s3cret"}, nullptr, "never given on the command line"},
        {{"--mqtt-password=s3cret"}, nullptr, "never given on the command line"},
        {{"--mqtt-password-file", "DIR/password"}, nullptr, "needs a user name"},
        {{"--mqtt-user", "u", "--mqtt-password-file", "DIR/missing"}, nullptr, "no such file"},
        {{"--poll", "50"}, nullptr, "poll"},
        {{"--poll", "1e3"}, nullptr, "poll"},
        {{"--base-topic", "zqb/#"}, nullptr, "base-topic"},
        {{"--discovery-prefix", "/ha"}, nullptr, "discovery-prefix"},
        {{"--metrics", "127.0.0.1"}, nullptr, "metrics"},
        {{"--mqtt", "host:99999"}, nullptr, "mqtt"},
        {{"--mqtt-version", "4"}, nullptr, "mqtt-version"},
        {{"--scan", "127.0.0.0/8"}, nullptr, "scan"},
        {{"192.168.1.300"}, nullptr, "192.168.1.300"},
        {{"--frobnicate"}, nullptr, "unknown option"},
        {{"--poll"}, nullptr, "needs a value"},
        {{"--config", "DIR/missing.conf"}, nullptr, "no such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const auto result = Read(c.arguments);
        if (c.error) {
            ASSERT_TRUE(std::holds_alternative<OptionsError>(result));
            const QString message = std::get<OptionsError>(result).message;
            EXPECT_TRUE(message.contains(QLatin1String(c.error))) << message.toStdString();
            EXPECT_FALSE(message.contains(QLatin1String("s3cret"))) << "the password in a message";
        } else {
            ASSERT_TRUE(std::holds_alternative<BridgeOptions>(result)) << std::get<OptionsError>(result).message.toStdString();
            EXPECT_TRUE(c.holds(std::get<BridgeOptions>(result)));
        }
    }
}

TEST_F(BridgeOptionsTest, ConfigFileFaultsAndThePasswordInIt)
{
    struct Case {
        QByteArray text;
        QFile::Permissions mode;
        const char* error;    // part of the message, when it fails
        bool warned = false;  // a password others may read
    };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    const Case cases[] = {
        {"mqtt-user = u\nmqtt-password = p4ss\n", owner, nullptr, false},
        {"mqtt-user = u\nmqtt-password = p4ss\n", owner | QFile::ReadGroup | QFile::ReadOther, nullptr, true},
        {"mqtt-user = u\n", owner | QFile::ReadOther, nullptr, false},
        {"colour = blue\n", owner, "config line 1: unknown key 'colour'"},
        {"\n\npoll 200\n", owner, "config line 3"},
        {"help = 1\n", owner, "unknown key"},
        {"module = 127.0.0.1 nonsense\n", owner, "module"},
        {QByteArray(70 * 1024, '#'), owner, "longer than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.left(40).toStdString());
        Write("c.conf", c.text, c.mode);
        const auto result = Read({"--config", "DIR/c.conf"});
        if (c.error) {
            ASSERT_TRUE(std::holds_alternative<OptionsError>(result));
            EXPECT_TRUE(std::get<OptionsError>(result).message.contains(QLatin1String(c.error)))
                << std::get<OptionsError>(result).message.toStdString();
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<BridgeOptions>(result)) << std::get<OptionsError>(result).message.toStdString();
        const BridgeOptions& o = std::get<BridgeOptions>(result);
        EXPECT_EQ(o.warnings.isEmpty(), !c.warned);
        for (const QString& w : o.warnings) EXPECT_FALSE(w.contains(QLatin1String("p4ss")));
    }
}

}  // namespace
}  // namespace zqb::bridge::test
