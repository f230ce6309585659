// scan against eight simulated modules on 127.0.0.2 to 127.0.0.9, one port for all, as modules
// on one network listen on one port.
#include <QJsonArray>

#include "cli/CliRig.h"
#include "protocol/CommandCodes.h"
#include "protocol/Ipv4Text.h"
#include "support/HexBytes.h"
#include "protocol/ModuleLock.h"
#include "link/ModuleScan.h"

namespace zqb::cli::test {
namespace {

class CliScan : public CliRig {
protected:
    void SetUp() override
    {
        // A port free on the first address may be taken on another: then all start again.
        for (int attempt = 0; attempt < 5 && modules.size() < 8; ++attempt) {
            modules.clear();
            std::uint16_t port = 0;
            for (int i = 2; i <= 9; ++i) {
                auto module = std::make_unique<zqbsim::ModuleSimulator>();
                zqbsim::ModuleState state;
                state.reportedAddress = {127, 0, 0, static_cast<std::uint8_t>(i)};
                state.mac[5] = static_cast<std::uint8_t>(i);
                state.location = "Bench " + QByteArray::number(i);
                module->SetState(state);
                if (!module->Start(port, QHostAddress(QStringLiteral("127.0.0.%1").arg(i)))) break;
                port = module->Port();
                modules.push_back(std::move(module));
            }
        }
        ASSERT_EQ(modules.size(), 8u);
        moduleText = QStringLiteral("127.0.0.1:%1").arg(modules.front()->Port());
    }

    zqbsim::ModuleSimulator& At(int lastPart) { return *modules[static_cast<std::size_t>(lastPart - 2)]; }

    std::vector<std::unique_ptr<zqbsim::ModuleSimulator>> modules;
};

TEST_F(CliScan, FindsEachModuleOnItsAddress)
{
    const CliRun run = Run({"--json", "scan", "127.0.0.0/28"});
    ASSERT_EQ(run.status, ExitDone) << run.err.toStdString();
    const std::vector<QJsonObject> found = run.Objects();
    ASSERT_EQ(found.size(), 8u) << run.out.toStdString();
    for (int i = 2; i <= 9; ++i) {
        const QJsonObject& o = found[static_cast<std::size_t>(i - 2)];
        EXPECT_EQ(o["address"].toString(), QStringLiteral("127.0.0.%1").arg(i));
        EXPECT_EQ(o["reportedAddress"].toString(), QStringLiteral("127.0.0.%1").arg(i));
        EXPECT_EQ(o["location"].toString(), QStringLiteral("Bench %1").arg(i));
        EXPECT_EQ(o["mac"].toString(), QStringLiteral("00:1E:C0:12:34:%1").arg(i, 2, 10, QLatin1Char('0')));
        EXPECT_EQ(o["model"].toInt(), 184);
        EXPECT_EQ(o["firmware"].toString(), "V01.10");
        EXPECT_EQ(At(i).Frames().size(), 1u) << "one GetLink each";
        EXPECT_EQ(zqb::test::HexText(At(i).Frames().front()), "5A 35 77 A5 21 00 00");
    }
    EXPECT_TRUE(run.err.contains(QStringLiteral("14 addresses of 127.0.0.0/28 scanned on port %1: 8 modules found")
                                     .arg(modules.front()->Port())))
        << run.err.toStdString();

    const CliRun plain = Run({"scan", "127.0.0.0/28", "--parallel", "3"});
    EXPECT_EQ(plain.status, ExitDone);
    EXPECT_TRUE(plain.out.startsWith(QLatin1String("127.0.0.2  zQB-AO4K DAC Node (184)  V01.10  00:1E:C0:12:34:02  Bench 2\n")))
        << plain.out.toStdString();
    EXPECT_EQ(plain.out.count(QLatin1Char('\n')), 8);
}

TEST_F(CliScan, OtherModelsAreListedBusyAndBrokenOnesSaidOnStandardError)
{
    At(3).Update([](zqbsim::ModuleState& s) { s.modelCode = 99; });
    zqbsim::Misbehaviour badMagic;
    badMagic.badMagic = true;
    At(4).SetBehaviour(badMagic);
    ModuleLock busy;
    busy.Aim(lockDir.path().toStdString(), "127.0.0.5", At(5).Port());
    ASSERT_EQ(busy.Exclusive(0), ModuleLock::Attempt::Taken);
    zqbsim::Misbehaviour silent;
    silent.silent = true;
    At(6).SetBehaviour(silent);
    zqbsim::Misbehaviour refusing;
    refusing.statusFor = {{GetLink, 3}};
    At(7).SetBehaviour(refusing);
    At(8).Update([](zqbsim::ModuleState& s) { s.location = "%2 %1 \x07"; });

    const CliRun run = Run({"--json", "--timeout", "200", "scan", "127.0.0.0/28"});
    ASSERT_EQ(run.status, ExitDone) << run.err.toStdString();
    QStringList addresses;
    for (const QJsonObject& o : run.Objects()) addresses << o["address"].toString();
    EXPECT_EQ(addresses, (QStringList{"127.0.0.2", "127.0.0.3", "127.0.0.8", "127.0.0.9"}));
    EXPECT_EQ(run.Objects()[1]["model"].toInt(), 99);
    EXPECT_EQ(run.Objects()[1]["modelName"].toString(), "Unknow Device??");
    for (const char* said : {"127.0.0.4: answered, but the module's reply to Get Link is no module reply",
                             "127.0.0.5: busy, another program is writing a file to it",
                             "127.0.0.7: answered, but the module refused Get Link (status 3)", "4 modules found"})
        EXPECT_TRUE(run.err.contains(QLatin1String(said))) << said << "\n" << run.err.toStdString();
    EXPECT_TRUE(At(5).Frames().empty()) << "a module another program writes a file to is left alone";
    EXPECT_EQ(run.Objects()[2]["location"].toString(), "%2 %1 \x07");
    const CliRun plain = Run({"--timeout", "200", "scan", "127.0.0.8/32"});
    EXPECT_EQ(plain.out, QStringLiteral("127.0.0.8  zQB-AO4K DAC Node (184)  V01.10  00:1E:C0:12:34:08  %2 %1 \u2407\n"));
}

// The scanner keeps to loopback on its own, whoever hands it the addresses: one beyond it is
// never tried and counts as refused, while the rest are scanned. The address is 0.0.0.0, which
// the system would connect on this PC (to the module listening on 127.0.0.1), never beyond it.
TEST_F(CliScan, AnAddressBeyondLoopbackIsNeverTried)
{
    ASSERT_TRUE(module.Start(At(2).Port()));
    ScanOptions options;
    options.port = At(2).Port();
    const std::vector<ScanProbe> probes = ScanAddressesForModules({0x00000000u, 0x7F000002u}, options);
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_EQ(probes[0].outcome, ScanProbe::Outcome::NoConnection);
    EXPECT_TRUE(probes[0].reply.isEmpty());
    EXPECT_EQ(module.ConnectionCount(), 0) << "0.0.0.0 was tried";
    EXPECT_EQ(probes[1].outcome, ScanProbe::Outcome::Answered);
}

// The host check's prefix and the scan's range are one rule: the first three numbers.
TEST(ModuleNetworks, ThePrefixAndTheRangeAreTheFirstThreeNumbers)
{
    const struct {
        const char* address;
        const char* prefix;
        std::uint32_t network;
    } cases[] = {
        {"10.0.5.20", "10.0.5.", 0x0A000500u},
        {"192.168.77.1", "192.168.77.", 0xC0A84D00u},
        {"127.0.0.255", "127.0.0.", 0x7F000000u},
        {"255.255.255.255", "255.255.255.", 0xFFFFFF00u},
        {"0.0.0.0", "0.0.0.", 0u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NetworkPrefixOf(QString::fromLatin1(c.address)), QString::fromLatin1(c.prefix)) << c.address;
        const ScanRange range = ModuleNetworkRange(*ParseDottedDecimal(QString::fromLatin1(c.address)));
        EXPECT_EQ(range.network, c.network) << c.address;
        EXPECT_EQ(range.prefixLength, 24) << c.address;
    }
}

TEST(WifiScanRanges, TheSlash24OfTheOneWifiLinkIntoTheModulesNetwork)
{
    const struct {
        std::function<void(SimulatedHostNetwork&)> host;
        const char* module;
        std::optional<std::uint32_t> network;
        const char* problem;
    } cases[] = {
        {[](SimulatedHostNetwork& h) { h.AddWifi("192.168.77.23"); }, "192.168.77.1", 0xC0A84D00u, ""},
        {[](SimulatedHostNetwork& h) { h.AddWired("192.168.77.23"); }, "192.168.77.1", std::nullopt, "no connected Wi-Fi"},
        {[](SimulatedHostNetwork& h) { h.AddWifi("10.0.0.4"); }, "192.168.77.1", std::nullopt, "no connected Wi-Fi"},
        {[](SimulatedHostNetwork& h) {
             h.AddWifi("192.168.77.23");
             h.AddWifi("192.168.77.24");
         },
         "192.168.77.1", std::nullopt, "more than one"},
    };
    for (const auto& c : cases) {
        SimulatedHostNetwork host;
        c.host(host);
        QString problem;
        const std::optional<ScanRange> range = HostScanRange(host, QString::fromLatin1(c.module), false, problem);
        EXPECT_EQ(range.has_value(), c.network.has_value()) << problem.toStdString();
        if (range && c.network) {
            EXPECT_EQ(range->network, *c.network);
            EXPECT_EQ(range->prefixLength, 24);
        }
        EXPECT_TRUE(problem.contains(QLatin1String(c.problem))) << problem.toStdString();
    }
}

}  // namespace
}  // namespace zqb::cli::test
