// HostNetworkScan on a scripted host network: which adapters count as being in the module's
// network, what a match record holds, and what survives the platform's failures.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "link/HostNetworkScan.h"
#include "link/SimulatedHostNetwork.h"

namespace zqb {
namespace {

const std::string ModulePrefix = "192.168.77.";

class HostNetworkScanTest : public ::testing::Test {
protected:
    SimulatedHostNetwork net;
    std::vector<std::string> errors;
    HostNetwork host{net, [this](const std::string& text) { errors.push_back(text); }};

    std::uint8_t Scan(const std::string& prefix = ModulePrefix) { return host.HostNetworkScan(prefix); }
};

// --- Which adapters match -------------------------------------------------------------------

TEST_F(HostNetworkScanTest, WifiInModuleNetworkMatchesWithFieldsFromBothTables)
{
    net.AddWired("10.0.0.2");  // puts the Wi-Fi adapter at index 1
    net.AddWifi("192.168.77.23", "zQB-AP");
    net.adapters[1].friendlyName = "Wireless Network Connection";
    net.adapters[1].description = "802.11n USB Adapter";
    const WifiInterface& wifi = net.interfaces[0];
    const HostAdapter& adapter = net.adapters[1];

    ASSERT_EQ(Scan(), 1);
    ASSERT_EQ(host.Matches().count, 1);
    const WifiMatch& match = host.Matches().entries[0];
    EXPECT_EQ(match.ipv4Address, "192.168.77.23");
    EXPECT_EQ(match.interfaceGuid, wifi.interfaceGuid);
    EXPECT_EQ(match.interfaceDescription, wifi.description);
    EXPECT_EQ(match.friendlyName, "Wireless Network Connection");
    EXPECT_EQ(match.hardwareAddressText, adapter.hardwareAddressText);
    EXPECT_EQ(match.hardwareAddress, adapter.hardwareAddress);
    EXPECT_NE(match.hardwareAddress, wifi.bssid);
    EXPECT_EQ(match.interfaceType, IfTypeIeee80211);
    EXPECT_EQ(match.interfaceState, WifiStateConnected);
    EXPECT_EQ(match.profileName, "zQB-AP");
    EXPECT_EQ(match.bssidText, wifi.bssidText);
    EXPECT_EQ(match.bssid, wifi.bssid);
    EXPECT_EQ(host.ConnectedWifi().count, 1);
    EXPECT_EQ(host.ConnectedWifi().adapterIndex[0], 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(HostNetworkScanTest, AddressesNotBeginningWithThePrefixNeverMatch)
{
    host.SetCountWiredAdapters(true);
    for (const std::string address : {"192.168.7.77", "192.168.770.1", "10.192.168.77", "192.168.77", ""}) {
        SCOPED_TRACE(address);
        net = SimulatedHostNetwork::WifiAt(address);
        net.AddWired(address);
        EXPECT_EQ(Scan(), 0);
    }
}

TEST_F(HostNetworkScanTest, AdapterNameMustEqualTheInterfaceGuidExactly)
{
    net = SimulatedHostNetwork::WifiAt("192.168.77.23");
    std::string& name = net.adapters[0].adapterName;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_NE(name, net.interfaces[0].interfaceGuid);
    EXPECT_EQ(Scan(), 0);

    name = net.interfaces[0].interfaceGuid + " ";
    EXPECT_EQ(Scan(), 0);
}

TEST_F(HostNetworkScanTest, UnconnectedInterfaceNeverMatches)
{
    net = SimulatedHostNetwork::WifiAt("192.168.77.23");
    net.interfaces[0].state = 4;  // disconnected
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(host.ConnectedWifi().count, 0);
}

TEST_F(HostNetworkScanTest, TwoWifiMatchInTheWirelessServiceOrder)
{
    net.AddWifi("192.168.77.30", "first");
    net.AddWifi("192.168.77.31", "second");
    std::swap(net.adapters[0], net.adapters[1]);  // adapter order must not decide

    ASSERT_EQ(Scan(), 2);
    EXPECT_EQ(host.Matches().entries[0].profileName, "first");
    EXPECT_EQ(host.Matches().entries[0].ipv4Address, "192.168.77.30");
    EXPECT_EQ(host.Matches().entries[1].profileName, "second");
    EXPECT_EQ(host.ConnectedWifi().adapterIndex[0], 1);
    EXPECT_EQ(host.ConnectedWifi().adapterIndex[1], 0);
}

TEST_F(HostNetworkScanTest, ConnectedListKeepsConnectedInterfacesInTableOrderUpToTen)
{
    for (int i = 0; i < 16; ++i) {
        net.AddWifi("10.1.0." + std::to_string(i));
        if (i % 3 == 1) net.interfaces.back().state = 4;
    }
    Scan();
    const ConnectedWifiList& connected = host.ConnectedWifi();
    ASSERT_EQ(connected.count, 10);
    const std::vector<int> expected = {0, 2, 3, 5, 6, 8, 9, 11, 12, 14};  // 15 left out
    for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(connected.interfaceIndex[k], expected[k]) << k;
}

TEST_F(HostNetworkScanTest, MoreThanThreeMatchesKeepThreeRecords)
{
    for (int i = 0; i < 4; ++i) net.AddWifi("192.168.77." + std::to_string(20 + i), "ap" + std::to_string(i));
    EXPECT_EQ(Scan(), 3);
    EXPECT_EQ(host.Matches().entries[2].profileName, "ap2");
    EXPECT_EQ(host.ConnectedWifi().adapterIndex[3], 3);  // the fourth still has its adapter noted
}

TEST_F(HostNetworkScanTest, RescanStartsFromScratch)
{
    net.AddWifi("192.168.77.30");
    net.AddWifi("192.168.77.31");
    ASSERT_EQ(Scan(), 2);

    net.interfaces.pop_back();
    net.adapters.pop_back();
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(host.WifiInterfaces().count, 1);
    EXPECT_EQ(host.Adapters().count, 1);
    EXPECT_EQ(host.ConnectedWifi().count, 1);
}

// --- Wired and loopback adapters (a module address given on the command line) ---------------

TEST_F(HostNetworkScanTest, WiredAdapterCountsOnlyWithWiredCounting)
{
    net = SimulatedHostNetwork::WiredAt("192.168.77.5");
    EXPECT_EQ(Scan(), 0);

    host.SetCountWiredAdapters(true);
    ASSERT_EQ(Scan(), 1);
    const WifiMatch& match = host.Matches().entries[0];
    EXPECT_EQ(match.ipv4Address, "192.168.77.5");
    EXPECT_EQ(match.interfaceGuid, net.adapters[0].adapterName);
    EXPECT_EQ(match.interfaceType, IfTypeEthernet);
    EXPECT_EQ(match.hardwareAddressText, net.adapters[0].hardwareAddressText);
    EXPECT_EQ(match.interfaceState, 0);
    EXPECT_TRUE(match.profileName.empty());
    EXPECT_TRUE(match.bssidText.empty());
    EXPECT_EQ(match.bssid, (std::array<std::uint8_t, 6>{}));
}

TEST_F(HostNetworkScanTest, WiredMatchesFollowWifiMatchesWithoutCountingAnAdapterTwice)
{
    host.SetCountWiredAdapters(true);
    net.AddWired("192.168.77.5");
    net.AddWifi("192.168.77.23", "zQB-AP");
    net.AddWired("192.168.77.6");

    ASSERT_EQ(Scan(), 3);
    EXPECT_EQ(host.Matches().entries[0].profileName, "zQB-AP");
    EXPECT_EQ(host.Matches().entries[1].ipv4Address, "192.168.77.5");
    EXPECT_EQ(host.Matches().entries[2].ipv4Address, "192.168.77.6");

    net.AddWired("192.168.77.7");
    EXPECT_EQ(Scan(), 3);
}

TEST_F(HostNetworkScanTest, LoopbackCountsForItsPrefixOnlyWithWiredCounting)
{
    net = SimulatedHostNetwork::LoopbackOnly();
    EXPECT_EQ(Scan("127.0.0."), 0);

    host.SetCountWiredAdapters(true);
    ASSERT_EQ(Scan("127.0.0."), 1);
    EXPECT_EQ(host.Matches().entries[0].ipv4Address, "127.0.0.1");
    EXPECT_EQ(host.Matches().entries[0].interfaceType, IfTypeLoopback);
    EXPECT_EQ(Scan(ModulePrefix), 0);
}

// --- Failures of the platform --------------------------------------------------------------

TEST_F(HostNetworkScanTest, AdapterScanFailureIsReportedAndTheWifiScanStillRuns)
{
    net = SimulatedHostNetwork::WifiAt("192.168.77.23");
    ASSERT_EQ(Scan(), 1);

    net.adapterScanError = "The RPC server is unavailable.";
    net.interfaces[0].profileName = "after";
    EXPECT_EQ(Scan(), 0);  // the adapter table is empty now
    EXPECT_EQ(errors, std::vector<std::string>{"Adapters: The RPC server is unavailable."});
    EXPECT_EQ(net.wifiScans, 2);
    EXPECT_EQ(host.WifiInterfaces().entries[0].profileName, "after");
}

TEST_F(HostNetworkScanTest, WifiScanFailureIsReportedAlikeAndMatchingStillRuns)
{
    net = SimulatedHostNetwork::WifiAt("192.168.77.23");
    ASSERT_EQ(Scan(), 1);

    net.wifiScanError = "Wi-Fi service failed";
    net.adapters[0].ipv4Address = "192.168.1.23";
    EXPECT_EQ(Scan(), 0);  // the kept Wi-Fi table is matched against the new adapters
    EXPECT_EQ(errors, std::vector<std::string>{"Adapters: Wi-Fi service failed"});
}

TEST_F(HostNetworkScanTest, AnyStandardExceptionIsReportedAndNoReporterIsTolerated)
{
    struct Throwing : HostNetworkBackend {
        void AdapterScan(HostAdapterTable&) override { throw std::out_of_range("index 21"); }
        void WifiScan(WifiInterfaceTable&) override { throw std::bad_alloc(); }
    } backend;
    HostNetwork reporting(backend, [this](const std::string& text) { errors.push_back(text); });
    EXPECT_EQ(reporting.HostNetworkScan(ModulePrefix), 0);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Adapters: index 21");
    EXPECT_EQ(errors[1].rfind("Adapters: ", 0), 0u);

    HostNetwork silent(backend, nullptr);
    EXPECT_EQ(silent.HostNetworkScan(ModulePrefix), 0);
}

TEST_F(HostNetworkScanTest, UnavailableServicesKeepTheTablesOfTheLastScan)
{
    net = SimulatedHostNetwork::WifiAt("192.168.77.23");
    ASSERT_EQ(Scan(), 1);

    net.adapterListUnavailable = true;
    net.wirelessServiceUnavailable = true;
    net.interfaces.clear();
    net.adapters.clear();
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(host.WifiInterfaces().count, 1);
    EXPECT_EQ(host.Adapters().count, 1);
    EXPECT_TRUE(errors.empty());

    SimulatedHostNetwork noService = SimulatedHostNetwork::WifiAt("192.168.77.23");
    noService.wirelessServiceUnavailable = true;
    HostNetwork fresh(noService, nullptr);
    EXPECT_EQ(fresh.HostNetworkScan(ModulePrefix), 0);
    EXPECT_EQ(fresh.WifiInterfaces().count, 0);
}

TEST_F(HostNetworkScanTest, FailedConnectionQueryStillMatchesWithThePreviousProfile)
{
    net = SimulatedHostNetwork::WifiAt("192.168.77.23");
    net.failedConnectionQueries = {0};
    ASSERT_EQ(Scan(), 1);  // first scan: nothing to keep
    EXPECT_TRUE(host.Matches().entries[0].profileName.empty());
    EXPECT_TRUE(host.Matches().entries[0].bssidText.empty());

    net.failedConnectionQueries.clear();
    ASSERT_EQ(Scan(), 1);
    const std::string bssidText = net.interfaces[0].bssidText;

    net.failedConnectionQueries = {0};
    net.interfaces[0].profileName = "other";
    net.interfaces[0].bssid = {1, 2, 3, 4, 5, 6};
    net.interfaces[0].bssidText = "01:02:03:04:05:06";
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(host.Matches().entries[0].profileName, "zQB-AP");
    EXPECT_EQ(host.Matches().entries[0].bssidText, bssidText);
    EXPECT_EQ(host.Matches().entries[0].interfaceState, WifiStateConnected);
}

TEST(HardwareAddressText, UpperCaseHexBytesJoinedByColons)
{
    const std::uint8_t bytes[] = {0x00, 0x1E, 0xC0, 0x12, 0x34, 0x5F, 0xA0, 0xFF};
    EXPECT_EQ(HardwareAddressText(bytes, 6), "00:1E:C0:12:34:5F");
    EXPECT_EQ(HardwareAddressText(bytes, 8), "00:1E:C0:12:34:5F:A0:FF");
    EXPECT_EQ(HardwareAddressText(bytes, 0), "");
}

}  // namespace
}  // namespace zqb
