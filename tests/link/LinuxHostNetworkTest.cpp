// The Linux backend on a made-up sysfs tree and address list, and once on this machine's own.
#include <gtest/gtest.h>

#include <net/if.h>

#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/HostNetworkScan.h"
#include "link/LinuxHostNetwork.h"

namespace zqb {
namespace {

namespace fs = std::filesystem;

constexpr unsigned int UpAndRunning = IFF_UP | IFF_RUNNING;

class LinuxHostNetworkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // One interface folder as the kernel shows it; empty values leave the file out.
    void AddInterface(const std::string& name, const std::string& type, const std::string& operstate,
                      const std::string& wirelessMarker = "")
    {
        const fs::path folder = root / name;
        fs::create_directories(folder);
        if (!type.empty()) std::ofstream(folder / "type") << type << '\n';
        if (!operstate.empty()) std::ofstream(folder / "operstate") << operstate << '\n';
        if (!wirelessMarker.empty()) fs::create_directories(folder / wirelessMarker);
    }

    LinuxHostNetwork Backend()
    {
        return LinuxHostNetwork(
            root, [this] { return records; },
            [this](const std::string& name, WifiInterface& entry) {
                queried.push_back(name);
                if (!connectionAnswers) return false;
                entry.profileName = "ssid-" + name;
                entry.bssid = {0x00, 0x1E, 0xC0, 0xAA, 0xBB, 0x01};
                entry.bssidText = "00:1E:C0:AA:BB:01";
                return true;
            });
    }

    QTemporaryDir dir;
    fs::path root = fs::path(dir.path().toStdString()) / "net";
    std::vector<InterfaceAddressRecord> records;
    std::vector<std::string> queried;
    bool connectionAnswers = true;
};

const HostAdapter* FindAdapter(const HostAdapterTable& table, const std::string& name)
{
    const auto* end = table.entries.data() + table.count;
    const auto* found = std::find_if(table.entries.data(), end, [&](const HostAdapter& a) { return a.adapterName == name; });
    return found == end ? nullptr : found;
}

// --- Wireless interfaces from sysfs -----------------------------------------------------------

TEST_F(LinuxHostNetworkTest, WirelessInterfacesAreFoundByEitherMarkerAndConnectedWhenUp)
{
    AddInterface("wlp2s0", "1", "down", "phy80211");
    AddInterface("wlan0", "1", "up", "wireless");
    AddInterface("eth0", "1", "up");
    AddInterface("lo", "772", "unknown");
    AddInterface("wlx0", "1", "dormant", "wireless");
    AddInterface("wlx1", "1", "", "wireless");
    std::ofstream(root / "bonding_masters") << "\n";  // a plain file beside the folders

    WifiInterfaceTable table;
    Backend().WifiScan(table);

    ASSERT_EQ(table.count, 4);
    EXPECT_EQ(table.entries[0].interfaceGuid, "wlan0");
    EXPECT_EQ(table.entries[0].description, "wlan0");
    EXPECT_EQ(table.entries[0].state, WifiStateConnected);
    EXPECT_EQ(table.entries[0].profileName, "ssid-wlan0");
    EXPECT_EQ(table.entries[0].bssidText, "00:1E:C0:AA:BB:01");
    EXPECT_EQ(table.entries[1].interfaceGuid, "wlp2s0");
    EXPECT_NE(table.entries[1].state, WifiStateConnected);
    EXPECT_NE(table.entries[2].state, WifiStateConnected);  // only "up" is connected
    EXPECT_NE(table.entries[3].state, WifiStateConnected);
    EXPECT_EQ(queried, std::vector<std::string>{"wlan0"});  // only connected ones are asked
}

TEST_F(LinuxHostNetworkTest, FailedConnectionQueryKeepsTheProfileOfThePreviousScan)
{
    AddInterface("wlan0", "1", "up", "wireless");
    LinuxHostNetwork backend = Backend();
    WifiInterfaceTable table;
    backend.WifiScan(table);
    ASSERT_EQ(table.entries[0].profileName, "ssid-wlan0");

    connectionAnswers = false;
    backend.WifiScan(table);
    ASSERT_EQ(table.count, 1);
    EXPECT_EQ(table.entries[0].state, WifiStateConnected);
    EXPECT_EQ(table.entries[0].profileName, "ssid-wlan0");
    EXPECT_EQ(table.entries[0].bssidText, "00:1E:C0:AA:BB:01");
}

TEST_F(LinuxHostNetworkTest, MissingSysfsKeepsTheWifiTable)
{
    AddInterface("wlan0", "1", "up", "wireless");
    WifiInterfaceTable table;
    Backend().WifiScan(table);
    ASSERT_EQ(table.count, 1);

    root = root / "gone";
    Backend().WifiScan(table);
    EXPECT_EQ(table.count, 1);
    EXPECT_EQ(table.entries[0].interfaceGuid, "wlan0");
}

// --- Adapters from the address list ------------------------------------------------------------

TEST_F(LinuxHostNetworkTest, AdaptersMergeTheEntriesOfEachInterface)
{
    AddInterface("lo", "772", "unknown");
    AddInterface("eth0", "1", "up");
    AddInterface("wlan0", "1", "up", "phy80211");
    AddInterface("tun0", "65534", "unknown");
    records = {
        {"lo", "", {0, 0, 0, 0, 0, 0}, UpAndRunning | IFF_LOOPBACK},
        {"eth0", "", {0x00, 0x1e, 0xc0, 0x12, 0x34, 0x56}, UpAndRunning},
        {"wlan0", "", {0xa4, 0x5e, 0x60, 0x01, 0x02, 0x03}, IFF_UP},
        {"lo", "127.0.0.1", {}, UpAndRunning | IFF_LOOPBACK},
        {"eth0", "192.168.1.5", {}, UpAndRunning},
        {"eth0", "10.0.0.1", {}, UpAndRunning},
        {"wlan0", "", {}, IFF_UP},  // IPv6 only
        {"tun0", "10.8.0.2", {}, UpAndRunning},
        {"ppp0", "10.9.0.2", {}, UpAndRunning},  // no sysfs folder
    };
    HostAdapterTable table;
    Backend().AdapterScan(table);

    ASSERT_EQ(table.count, 5);
    EXPECT_EQ(table.entries[0].adapterName, "lo");
    EXPECT_EQ(table.entries[1].adapterName, "eth0");
    EXPECT_EQ(table.entries[2].adapterName, "wlan0");

    const HostAdapter& eth0 = table.entries[1];
    EXPECT_EQ(eth0.ipv4Address, "192.168.1.5");
    EXPECT_EQ(eth0.hardwareAddressText, "00:1E:C0:12:34:56");
    EXPECT_EQ(eth0.hardwareAddress, (std::array<std::uint8_t, 6>{0x00, 0x1e, 0xc0, 0x12, 0x34, 0x56}));
    EXPECT_EQ(eth0.description, "eth0");
    EXPECT_EQ(eth0.friendlyName, "eth0");

    EXPECT_EQ(table.entries[0].ipv4Address, "127.0.0.1");
    EXPECT_EQ(table.entries[2].ipv4Address, "");

    EXPECT_EQ(table.entries[0].interfaceType, IfTypeLoopback);
    EXPECT_EQ(eth0.interfaceType, IfTypeEthernet);
    EXPECT_EQ(table.entries[2].interfaceType, IfTypeIeee80211);
    EXPECT_EQ(table.entries[3].interfaceType, 1);  // other
    EXPECT_EQ(table.entries[4].interfaceType, 1);

    EXPECT_EQ(eth0.operationalStatus, 1);
    EXPECT_EQ(table.entries[2].operationalStatus, 2);  // up but not running
}

TEST_F(LinuxHostNetworkTest, AtMostTwentyAdaptersAndNoneLeftFromTheLastScan)
{
    for (int i = 0; i < 25; ++i) records.push_back({"veth" + std::to_string(i), "", {}, UpAndRunning});
    LinuxHostNetwork backend = Backend();
    HostAdapterTable table;
    backend.AdapterScan(table);
    ASSERT_EQ(table.count, MaxHostAdapters);
    EXPECT_EQ(table.entries[19].adapterName, "veth19");

    records = {{"veth0", "", {}, 0}};
    backend.AdapterScan(table);
    ASSERT_EQ(table.count, 1);
    EXPECT_EQ(table.entries[0].operationalStatus, 2);
}

TEST_F(LinuxHostNetworkTest, WifiAdapterPairsWithItsInterfaceInTheScan)
{
    AddInterface("eth0", "1", "up");
    AddInterface("wlan0", "1", "up", "wireless");
    records = {{"eth0", "192.168.77.5", {}, UpAndRunning}, {"wlan0", "192.168.77.23", {}, UpAndRunning}};
    LinuxHostNetwork backend = Backend();
    HostNetwork host(backend, nullptr);

    ASSERT_EQ(host.HostNetworkScan("192.168.77."), 1);
    EXPECT_EQ(host.Matches().entries[0].interfaceGuid, "wlan0");
    EXPECT_EQ(host.Matches().entries[0].ipv4Address, "192.168.77.23");
    EXPECT_EQ(host.Matches().entries[0].profileName, "ssid-wlan0");
    EXPECT_EQ(host.Matches().entries[0].interfaceType, IfTypeIeee80211);
}

TEST_F(LinuxHostNetworkTest, AddressListFailureIsReportedWithAnEmptyTable)
{
    records = {{"eth0", "192.168.77.5", {}, UpAndRunning}};
    LinuxHostNetwork failing(root, [] () -> std::vector<InterfaceAddressRecord> { throw HostScanError("no list"); });
    std::vector<std::string> errors;
    HostNetwork host(failing, [&](const std::string& text) { errors.push_back(text); });
    host.SetCountWiredAdapters(true);
    EXPECT_EQ(host.HostNetworkScan("192.168.77."), 0);
    EXPECT_EQ(errors, std::vector<std::string>{"Adapters: no list"});
    EXPECT_EQ(host.Adapters().count, 0);
}

// --- This machine --------------------------------------------------------------------------------

TEST(LinuxHostNetworkOnThisMachine, ListsLoopbackAndCountsItWithWiredCounting)
{
    LinuxHostNetwork backend;
    HostAdapterTable table;
    backend.AdapterScan(table);
    const HostAdapter* lo = FindAdapter(table, "lo");
    ASSERT_NE(lo, nullptr);
    EXPECT_EQ(lo->ipv4Address, "127.0.0.1");
    EXPECT_EQ(lo->interfaceType, IfTypeLoopback);
    EXPECT_EQ(lo->operationalStatus, 1);

    std::vector<std::string> errors;
    HostNetwork host(backend, [&](const std::string& text) { errors.push_back(text); });
    host.SetCountWiredAdapters(true);
    EXPECT_GE(host.HostNetworkScan("127.0.0."), 1);
    EXPECT_EQ(host.Matches().entries[0].ipv4Address.rfind("127.0.0.", 0), 0u);
    EXPECT_TRUE(errors.empty());
}

TEST(LinuxHostNetworkOnThisMachine, ConnectionQueryOnANonWirelessInterfaceChangesNothing)
{
    WifiInterface entry;
    entry.profileName = "kept";
    EXPECT_FALSE(LinuxHostNetwork::QueryWirelessConnection("lo", entry));
    EXPECT_FALSE(LinuxHostNetwork::QueryWirelessConnection(std::string(40, 'x'), entry));
    EXPECT_EQ(entry.profileName, "kept");
    EXPECT_TRUE(entry.bssidText.empty());
}

}  // namespace
}  // namespace zqb
