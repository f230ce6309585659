// How the bridge finds its modules and its broker: a scan of a network, refusals that pass and
// refusals that do not, TLS checked against the CA file given, and no broker off the loopback
// range while the run is held to it.
#include <QProcess>

#include "bridge/BridgeRig.h"
#include "bridge/MqttProxy.h"

namespace zqb::bridge::test {
namespace {

TEST(BridgeReach, AScanFindsTheModulesOfANetwork)
{
    Broker broker;
    ASSERT_TRUE(broker.Start());
    // Two modules on one port in 127.0.3.0/29, and an address there that answers nothing.
    const std::uint16_t port = FreePort();
    std::vector<std::unique_ptr<zqbsim::ModuleSimulator>> modules;
    for (int n : {2, 5}) {
        auto m = std::make_unique<zqbsim::ModuleSimulator>();
        zqbsim::ModuleState s;
        s.reportedAddress = {127, 0, 3, static_cast<std::uint8_t>(n)};
        s.mac = {0x00, 0x1E, 0xC0, 0x03, 0x00, static_cast<std::uint8_t>(n)};
        m->SetState(s);
        ASSERT_TRUE(m->Start(port, QHostAddress(QStringLiteral("127.0.3.%1").arg(n))));
        modules.push_back(std::move(m));
    }
    MqttProbe probe;
    ASSERT_TRUE(probe.Connect(broker.Port()));
    ASSERT_TRUE(probe.Subscribe("zqb/#"));
    BridgeOptions options = TestOptions(broker.Port(), {});
    QString error;
    options.scans.push_back(*ParseScanRange(QStringLiteral("127.0.3.0/29"), error));
    options.scanPort = port;
    BridgeRun run;
    ASSERT_TRUE(run.Start(options));
    for (int n : {2, 5})
        EXPECT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/001ec003000%1/availability").arg(n), "online", 8000)) << n;
    EXPECT_EQ(run.bridge->ModuleCount(), 2u);
}

TEST(BridgeReach, ABrokerThatComesLaterIsConnectedTo)
{
    auto module = StartModule(52);
    ASSERT_TRUE(module);
    const std::uint16_t port = FreePort();
    BridgeRun run;
    ASSERT_TRUE(run.Start(TestOptions(port, {module.get()})));
    Eventually([] { return false; }, 700);  // polling, with nowhere to publish
    Broker broker;
    ASSERT_TRUE(broker.Start(port));
    MqttProbe probe;
    ASSERT_TRUE(probe.Connect(port));
    ASSERT_TRUE(probe.Subscribe("zqb/#"));
    EXPECT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/%1/availability").arg(ModuleId(52)), "online", 5000));
    EXPECT_TRUE(probe.WaitFor(QStringLiteral("zqb/%1/state").arg(ModuleId(52)), [](const Message&) { return true; }));
}

// Only a refusal of the bridge's credentials ends it; a broker that is unavailable or busy for
// now is tried again with the back-off until it takes the bridge.
TEST(BridgeReach, OnlyARefusalOfTheCredentialsEndsTheBridge)
{
    Broker broker;
    ASSERT_TRUE(broker.Start());
    auto module = StartModule(53);
    ASSERT_TRUE(module);
    MqttProbe probe;
    ASSERT_TRUE(probe.Connect(broker.Port()));
    ASSERT_TRUE(probe.Subscribe("zqb/#"));
    struct Case {
        int version;  // 4: 3.1.1
        std::uint8_t code;
        const char* meaning;
        bool ends;
    };
    const Case cases[] = {
        {4, 3, "server unavailable", false},
        {4, 4, "bad user name or password", true},
        {4, 5, "not authorised", true},
        {5, 0x88, "server unavailable", false},
        {5, 0x89, "server busy", false},
        {5, 0x97, "quota exceeded", false},
        {5, 0x9F, "connection rate exceeded", false},
        {5, 0x86, "bad user name or password", true},
        {5, 0x87, "not authorised", true},
        {5, 0x8C, "bad authentication method", true},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + " " + c.meaning);
        MqttProxy proxy(broker.Port());
        // CONNACK: no session present, the code; MQTT 5 adds an empty property list.
        const QByteArray connack = c.version == 5 ? QByteArray("\x20\x03\x00", 3) + char(c.code) + '\x00'
                                                  : QByteArray("\x20\x02\x00", 3) + char(c.code);
        proxy.refusals = {connack, connack};
        BridgeOptions options = TestOptions(proxy.Port(), {module.get()});
        options.mqttVersion = c.version;
        options.mqttClientId = QStringLiteral("zqb-bridge-refusal-%1").arg(++run);
        probe.Clear();
        BridgeRun bridge;
        ASSERT_TRUE(bridge.Start(options));
        bool ended = false;
        QObject::connect(bridge.bridge.get(), &Bridge::fatal, [&ended](const QString&) { ended = true; });
        if (c.ends) {
            EXPECT_TRUE(Eventually([&] { return ended; }, 3000)) << "the bridge went on after its credentials were refused";
            Eventually([] { return false; }, 600);  // three back-offs' time
            EXPECT_EQ(proxy.connects, 1) << "tried again with credentials the broker refused";
        } else {
            EXPECT_TRUE(probe.WaitForPayload(QStringLiteral("zqb/%1/availability").arg(ModuleId(53)), "online", 8000))
                << "never connected after a passing refusal";
            EXPECT_FALSE(ended);
            EXPECT_EQ(proxy.connects, 3);
        }
        bridge.Stop();
    }
}

// Held to loopback (ZQB_LOOPBACK_ONLY), the bridge connects to no broker elsewhere: it does not
// start. 0.0.0.0 comes first: a guard that let it through would reach this machine's listener
// (which is where a connect to 0.0.0.0 lands) and stop the test before any other address.
TEST(BridgeReach, HeldToLoopbackItConnectsToNoBrokerElsewhere)
{
    const QByteArray guard = qgetenv("ZQB_LOOPBACK_ONLY");
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    QTcpServer here;
    ASSERT_TRUE(here.listen(QHostAddress::LocalHost, 0));
    int reached = 0;
    QObject::connect(&here, &QTcpServer::newConnection, [&] {
        ++reached;
        delete here.nextPendingConnection();
    });
    struct Case {
        const char* host;
        std::uint16_t port;
    };
    for (const Case c : {Case{"0.0.0.0", here.serverPort()}, Case{"10.0.0.2", 1883}}) {
        SCOPED_TRACE(c.host);
        BridgeOptions options = TestOptions(here.serverPort(), {});
        options.mqtt = {QLatin1String(c.host), c.port};
        BridgeServices services;
        services.hostname = QStringLiteral("testhost");
        Bridge bridge(options, services);
        QString error;
        ASSERT_FALSE(bridge.Start(error)) << "started towards a broker off the loopback range";
        EXPECT_TRUE(error.contains(QLatin1String(c.host)) && error.contains(QLatin1String("loopback"))) << error.toStdString();
        Eventually([] { return false; }, 300);
        ASSERT_EQ(reached, 0) << "connected";
    }
    if (guard.isNull()) qunsetenv("ZQB_LOOPBACK_ONLY");
    else qputenv("ZQB_LOOPBACK_ONLY", guard);
}

bool Openssl(const QString& dir, const QStringList& arguments)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("openssl"), arguments);
    return p.waitForFinished(20000) && p.exitCode() == 0;
}

// A CA, and a broker certificate for 127.0.0.1 signed by it.
bool MakeCertificates(const QString& dir, const QString& name)
{
    const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    QFile ext(dir + QStringLiteral("/san.ext"));
    ext.open(QIODevice::WriteOnly);
    ext.write("subjectAltName=IP:127.0.0.1\n");
    ext.close();
    return Openssl(dir, QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
                            QStringList{QStringLiteral("-keyout"), name + QStringLiteral("-ca.key"), QStringLiteral("-out"),
                                        name + QStringLiteral("-ca.crt"), QStringLiteral("-days"), QStringLiteral("2"),
                                        QStringLiteral("-subj"), QStringLiteral("/CN=") + name + QStringLiteral(" test CA")}) &&
           Openssl(dir, QStringList{QStringLiteral("req")} + ec +
                            QStringList{QStringLiteral("-keyout"), name + QStringLiteral("-server.key"), QStringLiteral("-out"),
                                        name + QStringLiteral("-server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")}) &&
           Openssl(dir, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), name + QStringLiteral("-server.csr"),
                         QStringLiteral("-CA"), name + QStringLiteral("-ca.crt"), QStringLiteral("-CAkey"), name + QStringLiteral("-ca.key"),
                         QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), name + QStringLiteral("-server.crt"),
                         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), QStringLiteral("san.ext")});
}

TEST(BridgeReach, TlsTrustsTheBrokerOnlyThroughTheCaFileGiven)
{
    QTemporaryDir dir;
    ASSERT_TRUE(MakeCertificates(dir.path(), QStringLiteral("right")));
    ASSERT_TRUE(MakeCertificates(dir.path(), QStringLiteral("other")));
    const std::uint16_t tlsPort = FreePort();
    // A plain listener for the test's own client, and the TLS one for the bridge.
    Broker broker;
    ASSERT_TRUE(broker.Start(0, {QStringLiteral("allow_anonymous true"), QStringLiteral("listener %1 127.0.0.1").arg(tlsPort),
                                 QStringLiteral("cafile %1/right-ca.crt").arg(dir.path()),
                                 QStringLiteral("certfile %1/right-server.crt").arg(dir.path()),
                                 QStringLiteral("keyfile %1/right-server.key").arg(dir.path())}));
    auto module = StartModule(51);
    ASSERT_TRUE(module);
    MqttProbe probe;
    ASSERT_TRUE(probe.Connect(broker.Port()));
    ASSERT_TRUE(probe.Subscribe("zqb/#"));

    struct Case {
        const char* ca;
        bool connects;
    };
    for (const Case c : {Case{"other", false}, Case{"right", true}}) {
        SCOPED_TRACE(c.ca);
        probe.Clear();
        BridgeOptions options = TestOptions(tlsPort, {module.get()});
        options.mqttTlsCa = dir.filePath(QLatin1String(c.ca) + QStringLiteral("-ca.crt"));
        BridgeRun run;
        ASSERT_TRUE(run.Start(options));
        const auto online = probe.WaitForPayload(QStringLiteral("zqb/%1/availability").arg(ModuleId(51)), "online", c.connects ? 8000 : 2000);
        EXPECT_EQ(online.has_value(), c.connects);
    }
}

}  // namespace
}  // namespace zqb::bridge::test
