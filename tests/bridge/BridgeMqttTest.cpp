// The bridge in this process against a real mosquitto and simulated modules on 127.0.0.x, seen
// through a plain MQTT client as Home Assistant or a script sees it.
#include <QElapsedTimer>
#include <QJsonArray>

#include "bridge/BridgeRig.h"
#include "bridge/MqttProxy.h"
#include "protocol/ModuleLock.h"
#include "protocol/CommandCodes.h"

namespace zqb::bridge::test {
namespace {

class BridgeMqtt : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(broker.Start());
        for (int n : {11, 12, 13}) {
            modules.push_back(StartModule(n));
            ASSERT_TRUE(modules.back());
        }
        ASSERT_TRUE(probe.Connect(broker.Port()));
        ASSERT_TRUE(probe.Subscribe("zqb/#"));
        ASSERT_TRUE(probe.Subscribe("homeassistant/#"));
    }

    BridgeOptions Options(int pollMs = 200)
    {
        std::vector<const zqbsim::ModuleSimulator*> all;
        for (const auto& m : modules) all.push_back(m.get());
        return TestOptions(broker.Port(), all, pollMs);
    }

    QString Topic(int n, const char* leaf) const { return QStringLiteral("zqb/%1/%2").arg(ModuleId(n), QLatin1String(leaf)); }
    zqbsim::ModuleSimulator& Module(int n) { return *modules[static_cast<std::size_t>(n - 11)]; }

    bool AllOnline()
    {
        for (int n : {11, 12, 13})
            if (!probe.WaitForPayload(Topic(n, "availability"), "online")) return false;
        return true;
    }

    Broker broker;
    std::vector<std::unique_ptr<zqbsim::ModuleSimulator>> modules;
    MqttProbe probe;
    BridgeRun run;
};

TEST_F(BridgeMqtt, DiscoveryDescribesEachModuleAsOneDeviceWithItsEntities)
{
    ASSERT_TRUE(run.Start(Options()));
    ASSERT_TRUE(AllOnline());
    // What a dashboard that starts later sees: the configs are kept by the broker.
    MqttProbe late;
    ASSERT_TRUE(late.Connect(broker.Port()));
    ASSERT_TRUE(late.Subscribe("homeassistant/#"));
    struct Entity {
        const char* component;
        const char* object;
        const char* key;
        QJsonValue expected;  // undefined: only present
    };
    const Entity entities[] = {
        {"binary_sensor", "di0", "value_template", QStringLiteral("{{ 'ON' if value_json.di[0] else 'OFF' }}")},
        {"binary_sensor", "di1", "value_template", QStringLiteral("{{ 'ON' if value_json.di[1] else 'OFF' }}")},
        {"switch", "do", "command_topic", QStringLiteral("zqb/%1/do/set")},
        {"switch", "do", "default_entity_id", QStringLiteral("switch.zqb_%1_do")},
        {"sensor", "counter0", "default_entity_id", QStringLiteral("sensor.zqb_%1_counter0")},
        {"number", "ao", "max", 4095},
        {"number", "ao", "command_topic", QStringLiteral("zqb/%1/ao/set")},
        {"select", "range", "options", QJsonArray{QStringLiteral("0-20"), QStringLiteral("4-20")}},
        {"sensor", "signal", "unit_of_measurement", QStringLiteral("dBm")},
        {"sensor", "counter0", "state_class", QStringLiteral("total_increasing")},
        {"sensor", "counter1", "value_template", QStringLiteral("{{ value_json.counters[1] }}")},
        {"button", "locate", "command_topic", QStringLiteral("zqb/%1/locate/set")},
    };
    for (int n : {11, 12, 13}) {
        for (const Entity& e : entities) {
            const QString topic = QStringLiteral("homeassistant/%1/zqb_%2/%3/config").arg(QLatin1String(e.component), ModuleId(n), QLatin1String(e.object));
            SCOPED_TRACE(topic.toStdString());
            const std::optional<Message> config = late.WaitFor(topic, [](const Message&) { return true; });
            ASSERT_TRUE(config);
            EXPECT_TRUE(config->retained);
            const QJsonObject json = config->Json();
            QJsonValue expected = e.expected;
            if (expected.isString()) expected = expected.toString().arg(ModuleId(n));
            EXPECT_EQ(json.value(QLatin1String(e.key)), expected);
            const QJsonObject device = json.value(QStringLiteral("device")).toObject();
            EXPECT_EQ(device.value(QStringLiteral("identifiers")).toArray(), QJsonArray{QStringLiteral("zqb_") + ModuleId(n)});
            const QJsonArray connection{QStringLiteral("mac"), QStringLiteral("00:1e:c0:00:00:%1").arg(n, 2, 16, QLatin1Char('0'))};
            EXPECT_EQ(device.value(QStringLiteral("connections")).toArray(), QJsonArray{connection});
            EXPECT_EQ(device.value(QStringLiteral("name")).toString(), QStringLiteral("Bench %1").arg(n));
            EXPECT_EQ(device.value(QStringLiteral("sw_version")).toString(), QStringLiteral("V01.10"));
            const auto entry = [](const QString& topic) {
                return QJsonObject{{QStringLiteral("topic"), topic},
                                   {QStringLiteral("payload_available"), QStringLiteral("online")},
                                   {QStringLiteral("payload_not_available"), QStringLiteral("offline")}};
            };
            EXPECT_EQ(json.value(QStringLiteral("availability")).toArray(),
                      (QJsonArray{entry(Topic(n, "availability")), entry(QStringLiteral("zqb/bridge/testhost/status"))}));
            EXPECT_EQ(json.value(QStringLiteral("availability_mode")).toString(), QStringLiteral("all"));
            EXPECT_FALSE(json.contains(QStringLiteral("availability_topic"))) << "both forms at once";
            EXPECT_FALSE(json.contains(QStringLiteral("object_id"))) << "the key the dashboard no longer reads";
            if (QLatin1String(e.component) != QLatin1String("button")) {
                EXPECT_EQ(json.value(QStringLiteral("state_topic")).toString(), Topic(n, "state"));
            }
        }
    }
    EXPECT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/bridge/testhost/status"), "online"));
}

TEST_F(BridgeMqtt, StateFollowsTheModuleAndAvailabilityItsAnswers)
{
    ASSERT_TRUE(run.Start(Options()));
    ASSERT_TRUE(AllOnline());
    const std::optional<Message> first = probe.WaitFor(Topic(12, "state"), [](const Message&) { return true; });
    ASSERT_TRUE(first);
    const QJsonObject state = first->Json();
    EXPECT_EQ(state.value(QStringLiteral("address")).toString(), QStringLiteral("127.0.0.12:%1").arg(Module(12).Port()));
    EXPECT_EQ(state.value(QStringLiteral("signal")).toInt(), -45);
    EXPECT_EQ(state.value(QStringLiteral("location")).toString(), QStringLiteral("Bench 12"));
    EXPECT_EQ(state.value(QStringLiteral("range")).toString(), QStringLiteral("0-20"));

    // A change on the module reaches the state; the other modules say nothing new.
    probe.Clear();
    Module(12).Update([](zqbsim::ModuleState& s) {
        s.diBits = 2;
        s.dacCode = 819;
        s.diCounters[1] = 7;
    });
    const auto changed = probe.WaitFor(Topic(12, "state"), [](const Message& m) {
        const QJsonObject j = m.Json();
        return j.value(QStringLiteral("di")).toArray() == QJsonArray{false, true} && j.value(QStringLiteral("dac")).toInt() == 819;
    });
    ASSERT_TRUE(changed);
    EXPECT_DOUBLE_EQ(changed->Json().value(QStringLiteral("volts")).toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(changed->Json().value(QStringLiteral("milliamps")).toDouble(), 4.0);
    EXPECT_EQ(changed->Json().value(QStringLiteral("percent")).toInt(), 20);
    ASSERT_TRUE(probe.WaitFor(Topic(12, "state"), [](const Message& m) {
        return m.Json().value(QStringLiteral("counters")).toArray() == QJsonArray{0, 7};
    }));
    QThread::msleep(600);  // three more polls of an unchanged module
    Eventually([] { return false; }, 10);
    EXPECT_TRUE(probe.On(Topic(11, "state")).empty());
    EXPECT_LE(probe.On(Topic(12, "state")).size(), 3u);

    // Gone: offline after three missed polls; back: online again.
    const std::uint16_t port = Module(13).Port();
    Module(13).Stop();
    EXPECT_TRUE(probe.WaitForPayload(Topic(13, "availability"), "offline"));
    EXPECT_TRUE(probe.On(Topic(11, "availability")).size() <= 1);
    ASSERT_TRUE(Module(13).Start(port, QHostAddress(QStringLiteral("127.0.0.13"))));
    probe.Clear();
    EXPECT_TRUE(probe.WaitForPayload(Topic(13, "availability"), "online"));
}

// A module that takes connections and never answers holds up no other: with its waits as long
// as the service's, a change on another module still reaches MQTT within a poll and a margin.
TEST_F(BridgeMqtt, ASilentModuleDelaysNoOther)
{
    const int pollMs = 200;
    ASSERT_TRUE(run.Start(Options(pollMs), {3000, 3000}));
    ASSERT_TRUE(AllOnline());
    ASSERT_TRUE(probe.WaitFor(Topic(11, "state"), [](const Message&) { return true; }));
    zqbsim::Misbehaviour silent;
    silent.silent = true;
    Module(13).SetBehaviour(silent);
    Module(13).ClearFrames();
    Eventually([] { return false; }, 300);  // its poll waits for an answer now
    for (int i = 0; i < 3; ++i) {
        const bool di0 = i % 2 == 0;
        SCOPED_TRACE(i);
        probe.Clear();
        QElapsedTimer clock;
        clock.start();
        Module(11).Update([di0](zqbsim::ModuleState& s) { s.diBits = di0 ? 1 : 0; });
        ASSERT_TRUE(probe.WaitFor(Topic(11, "state"), [di0](const Message& m) {
            return m.Json().value(QStringLiteral("di")).toArray().first().toBool() == di0;
        }, 5000));
        EXPECT_LE(clock.elapsed(), pollMs + 500) << "the change waited for the silent module";
    }
    EXPECT_TRUE(FramesWithCode(Module(13), GetIoStatus).size() >= 1u) << "the silent module was not polled meanwhile";
}

TEST_F(BridgeMqtt, CommandsReachTheModuleAndBadPayloadsSendNothing)
{
    ASSERT_TRUE(run.Start(Options()));
    ASSERT_TRUE(AllOnline());
    ASSERT_TRUE(probe.WaitFor(Topic(11, "state"), [](const Message&) { return true; }));
    Module(11).Update([](zqbsim::ModuleState& s) { s.rangeFourToTwenty = 1; s.dacCode = 1000; });
    ASSERT_TRUE(probe.WaitFor(Topic(11, "state"), [](const Message& m) { return m.Json().value(QStringLiteral("range")) == QStringLiteral("4-20"); }));

    struct Case {
        const char* command;
        QByteArray payload;
        const char* reason;  // nullptr: done
        std::uint8_t code;   // the frame it sends
        QByteArray frame;    // exactly, when given
    };
    const Case cases[] = {
        {"do/set", "ON", nullptr, SetDo, QByteArray::fromHex("5A3577A5D00101")},
        {"do/set", "OFF", nullptr, SetDo, QByteArray::fromHex("5A3577A5D00100")},
        {"ao/set", "5V", nullptr, SetAnalog, QByteArray::fromHex("5A3577A5D40107FF")},
        {"ao/set", "12mA", nullptr, SetAnalog, QByteArray::fromHex("5A3577A5D4010999")},
        {"ao/set", "4095", nullptr, SetAnalog, QByteArray::fromHex("5A3577A5D4010FFF")},
        {"counters/clear", "1", nullptr, ClearDiCounter, QByteArray::fromHex("5A3577A56101")},
        {"locate/set", "PRESS", nullptr, SetLocator, {}},
        // Refused as read (the payloads' own rules are in BridgePayloadTest), and against the range.
        {"do/set", "maybe", "input_error", SetDo, {}},
        {"ao/set", "100", "input_error", SetAnalog, {}},  // 819 at least in 4-20 mA
        {"ao/set", "4096", "input_error", SetAnalog, {}},
        {"range/set", "0-20", nullptr, SetOutputRange, QByteArray::fromHex("5A3577A5D600")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((QLatin1String(c.command) + QLatin1Char(' ') + QString::fromUtf8(c.payload)).toStdString());
        probe.Clear();
        Module(11).ClearFrames();
        probe.Publish(Topic(11, c.command), c.payload);
        const std::optional<Message> result = probe.WaitFor(Topic(11, "result"), [](const Message&) { return true; });
        ASSERT_TRUE(result);
        const QJsonObject json = result->Json();
        EXPECT_EQ(json.value(QStringLiteral("command")).toString(), QLatin1String(c.command));
        const std::vector<QByteArray> sent = FramesWithCode(Module(11), c.code);
        if (c.reason) {
            EXPECT_FALSE(json.value(QStringLiteral("ok")).toBool());
            EXPECT_EQ(json.value(QStringLiteral("reason")).toString(), QLatin1String(c.reason));
            EXPECT_FALSE(json.value(QStringLiteral("detail")).toString().isEmpty());
            EXPECT_TRUE(sent.empty()) << "a bad payload went out";
        } else {
            EXPECT_TRUE(json.value(QStringLiteral("ok")).toBool()) << result->payload.toStdString();
            EXPECT_FALSE(json.contains(QStringLiteral("reason")));
            ASSERT_EQ(sent.size(), 1u);
            if (!c.frame.isEmpty()) {
                EXPECT_EQ(sent.front().toHex(), c.frame.toHex());
            }
        }
    }
    EXPECT_EQ(Module(11).State().doBits, 0);
    EXPECT_EQ(Module(11).State().dacCode, 4095);
    EXPECT_EQ(Module(11).State().locatorCount, 1);
    EXPECT_EQ(Module(11).State().rangeFourToTwenty, 0);
    // The other modules were left alone.
    EXPECT_TRUE(FramesWithCode(Module(12), SetDo).empty());
}

TEST_F(BridgeMqtt, AModuleInAFileWriteIsLeftAloneAndKeepsItsAvailability)
{
    ASSERT_TRUE(run.Start(Options()));
    ASSERT_TRUE(AllOnline());
    std::string problem;
    ModuleLock writer;
    writer.Aim(run.locks.path().toStdString(), "127.0.0.12", Module(12).Port());
    ASSERT_EQ(writer.Exclusive(1000), ModuleLock::Attempt::Taken);
    QThread::msleep(300);
    Eventually([] { return false; }, 50);
    Module(12).ClearFrames();
    probe.Clear();
    Module(12).Update([](zqbsim::ModuleState& s) { s.diBits = 1; });
    Eventually([] { return false; }, 1000);
    EXPECT_TRUE(Module(12).Frames().empty()) << "polled during another program's file write";
    EXPECT_TRUE(probe.On(Topic(12, "availability")).empty());
    EXPECT_TRUE(probe.On(Topic(12, "state")).empty());
    // A command meanwhile is refused as busy, and sends nothing.
    probe.Publish(Topic(12, "do/set"), "ON");
    const auto busy = probe.WaitFor(Topic(12, "result"), [](const Message&) { return true; });
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->Json().value(QStringLiteral("reason")).toString(), QStringLiteral("busy"));
    EXPECT_TRUE(Module(12).Frames().empty());
    writer.Release();
    EXPECT_TRUE(probe.WaitFor(Topic(12, "state"), [](const Message& m) {
        return m.Json().value(QStringLiteral("di")).toArray() == QJsonArray{true, false};
    }));
}

TEST_F(BridgeMqtt, ABrokerRestartRepublishesEverythingAndEveryCommandRunsOnce)
{
    ASSERT_TRUE(run.Start(Options()));
    ASSERT_TRUE(AllOnline());
    probe.Publish(Topic(11, "do/set"), "ON");
    ASSERT_TRUE(probe.WaitFor(Topic(11, "result"), [](const Message&) { return true; }));

    broker.Stop();
    QThread::msleep(200);
    ASSERT_TRUE(broker.Start(broker.Port()));
    // A fresh broker keeps nothing: what a new subscriber sees was published again.
    MqttProbe late;
    ASSERT_TRUE(late.Connect(broker.Port()));
    ASSERT_TRUE(late.Subscribe("#"));
    EXPECT_TRUE(late.WaitForPayload(QStringLiteral("zqb/bridge/testhost/status"), "online", 8000));
    for (int n : {11, 12, 13}) {
        EXPECT_TRUE(late.WaitForPayload(Topic(n, "availability"), "online"));
        EXPECT_TRUE(late.WaitFor(Topic(n, "state"), [](const Message&) { return true; }));
        EXPECT_TRUE(late.WaitFor(QStringLiteral("homeassistant/switch/zqb_%1/do/config").arg(ModuleId(n)), [](const Message&) { return true; }));
    }
    late.Publish(Topic(11, "do/set"), "OFF");
    late.Publish(Topic(12, "locate/set"), "PRESS");
    EXPECT_TRUE(late.WaitFor(Topic(12, "result"), [](const Message&) { return true; }));
    EXPECT_TRUE(late.WaitFor(Topic(11, "result"), [](const Message&) { return true; }));
    Eventually([] { return false; }, 300);
    EXPECT_EQ(FramesWithCode(Module(11), SetDo).size(), 2u);
    EXPECT_EQ(Module(11).State().doBits, 0);
    EXPECT_EQ(Module(12).State().locatorCount, 1);
}

// A resend after a lost acknowledgement runs nothing again, and a command sent while the bridge
// is away waits at the broker and runs once it is back: for both protocol versions.
TEST_F(BridgeMqtt, CommandsRunOnceAcrossLostAcknowledgementsAndAbsences)
{
    for (const int version : {5, 4}) {
        SCOPED_TRACE(version);
        probe.Clear();
        MqttProxy proxy(broker.Port());
        BridgeOptions options = Options();
        options.mqtt.port = proxy.Port();
        options.mqttVersion = version;
        options.mqttClientId = QStringLiteral("zqb-bridge-resend-%1").arg(version);
        BridgeRun bridge;
        ASSERT_TRUE(bridge.Start(options));
        ASSERT_TRUE(probe.WaitForPayload(Topic(13, "availability"), "online"));
        Module(13).ClearFrames();
        const int locatesBefore = Module(13).State().locatorCount;

        probe.Clear();
        proxy.loseNextAcknowledgement = true;
        probe.Publish(Topic(13, "locate/set"), "PRESS");
        ASSERT_TRUE(Eventually([&] { return proxy.acknowledgementsLost == 1; }));
        ASSERT_TRUE(Eventually([&] { return proxy.resendsSeen >= 1; }, 8000)) << "the broker never resent the command";
        ASSERT_TRUE(probe.WaitFor(Topic(13, "result"), [](const Message&) { return true; }));
        Eventually([] { return false; }, 500);
        EXPECT_EQ(Module(13).State().locatorCount, locatesBefore + 1) << "a resend ran the command again";
        EXPECT_EQ(probe.On(Topic(13, "result")).size(), 1u);

        // Away: the broker keeps the command in the bridge's session until it is back.
        proxy.refuse = true;
        proxy.CutAll();
        Eventually([] { return false; }, 300);
        probe.Publish(Topic(13, "do/set"), "ON");
        Eventually([] { return false; }, 300);
        EXPECT_TRUE(FramesWithCode(Module(13), SetDo).empty());
        proxy.refuse = false;
        ASSERT_TRUE(Eventually([&] { return !FramesWithCode(Module(13), SetDo).empty(); }, 8000)) << "the command was lost";
        Eventually([] { return false; }, 500);
        EXPECT_EQ(FramesWithCode(Module(13), SetDo).size(), 1u);
        Module(13).Update([](zqbsim::ModuleState& s) { s.doBits = 0; });
        bridge.Stop();
    }
}

// A command published while no bridge runs waits in the bridge's session at the broker, and the
// next bridge under the same client id runs it once it knows the module; unless the module took
// longer to answer than a command waits for it: then it is dropped, and says nothing.
TEST_F(BridgeMqtt, ACommandSentWhileTheBridgeIsStoppedRunsWhenItIsBack)
{
    struct Case {
        const char* what;
        int waitMs;  // how long a command for a module not known yet waits
        bool runs;
    };
    for (const Case c : {Case{"known in time", 60000, true}, Case{"known too late", 300, false}}) {
        SCOPED_TRACE(c.what);
        Module(11).Update([](zqbsim::ModuleState& s) { s.doBits = 0; });
        BridgeRun first;
        ASSERT_TRUE(first.Start(Options()));
        ASSERT_TRUE(AllOnline());
        first.Stop();
        ASSERT_TRUE(probe.WaitForPayload(Topic(11, "availability"), "offline"));
        probe.Clear();
        probe.Publish(Topic(11, "do/set"), "ON");
        Eventually([] { return false; }, 300);
        Module(11).ClearFrames();
        // The command arrives before the new bridge has read the module's link record.
        zqbsim::Misbehaviour away;
        away.refuseConnections = true;
        Module(11).SetBehaviour(away);
        BridgeRun again;
        again.pendingCommandMs = c.waitMs;
        ASSERT_TRUE(again.Start(Options()));
        Eventually([] { return false; }, 600);
        EXPECT_TRUE(probe.On(Topic(11, "result")).empty());
        Module(11).SetBehaviour({});
        ASSERT_TRUE(probe.WaitForPayload(Topic(11, "availability"), "online"));
        if (c.runs) {
            ASSERT_TRUE(probe.WaitFor(Topic(11, "result"), [](const Message& m) { return m.Json().value(QStringLiteral("ok")).toBool(); }));
        }
        Eventually([] { return false; }, 500);
        EXPECT_EQ(FramesWithCode(Module(11), SetDo).size(), c.runs ? 1u : 0u);
        EXPECT_EQ(probe.On(Topic(11, "result")).size(), c.runs ? 1u : 0u);
        EXPECT_EQ(Module(11).State().doBits, c.runs ? 1 : 0);
    }
}

}  // namespace
}  // namespace zqb::bridge::test
