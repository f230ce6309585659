#include "link/SimulatedHostNetwork.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace zqb {

namespace {

// Distinct, stable made-up identities per interface number, so matches can be told apart.
std::string MadeUpGuid(std::size_t n)
{
    char text[39];
    std::snprintf(text, sizeof text, "{5A3577A5-0000-4000-8000-%012zX}", n + 1);
    return text;
}

std::array<std::uint8_t, 6> MadeUpHardwareAddress(std::uint8_t kind, std::size_t n)
{
    return {0x02, 0x00, 0x5A, kind, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

HostAdapter MakeAdapter(const std::string& name, const std::string& ipv4, const std::string& description,
                        std::uint8_t type, std::array<std::uint8_t, 6> hardware)
{
    HostAdapter adapter;
    adapter.adapterName = name;
    adapter.ipv4Address = ipv4;
    adapter.description = description;
    adapter.friendlyName = description;
    adapter.hardwareAddress = hardware;
    adapter.hardwareAddressText = HardwareAddressText(hardware.data(), hardware.size());
    adapter.interfaceType = type;
    adapter.operationalStatus = 1;
    return adapter;
}

}  // namespace

void SimulatedHostNetwork::AdapterScan(HostAdapterTable& table)
{
    ++adapterScans;
    if (adapterListUnavailable) return;
    table.count = 0;
    if (adapterScanError) throw HostScanError(*adapterScanError);
    for (const HostAdapter& adapter : adapters) {
        if (table.count == MaxHostAdapters) break;
        table.entries[table.count++] = adapter;
    }
}

void SimulatedHostNetwork::WifiScan(WifiInterfaceTable& table)
{
    ++wifiScans;
    if (wifiScanError) throw HostScanError(*wifiScanError);
    if (wirelessServiceUnavailable) return;
    const std::size_t count = std::min(interfaces.size(), MaxWifiInterfaces);
    table.count = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        const WifiInterface& source = interfaces[i];
        WifiInterface& entry = table.entries[i];
        entry.interfaceGuid = source.interfaceGuid;
        entry.description = source.description;
        entry.state = source.state;
        // Like the real service: connection details are fetched for connected interfaces only.
        if (source.state != WifiStateConnected || failedConnectionQueries.count(i) != 0) continue;
        entry.profileName = source.profileName;
        entry.bssid = source.bssid;
        entry.bssidText = source.bssidText;
    }
}

std::size_t SimulatedHostNetwork::AddWifi(const std::string& ipv4, const std::string& profileName)
{
    const std::size_t n = interfaces.size();
    WifiInterface wifi;
    wifi.interfaceGuid = MadeUpGuid(n);
    wifi.description = "Simulated Wi-Fi " + std::to_string(n + 1);
    wifi.state = WifiStateConnected;
    wifi.profileName = profileName;
    wifi.bssid = MadeUpHardwareAddress(0xAA, n);
    wifi.bssidText = HardwareAddressText(wifi.bssid.data(), wifi.bssid.size());
    interfaces.push_back(wifi);
    adapters.push_back(MakeAdapter(wifi.interfaceGuid, ipv4, wifi.description, IfTypeIeee80211,
                                   MadeUpHardwareAddress(0x71, n)));
    return n;
}

std::size_t SimulatedHostNetwork::AddWired(const std::string& ipv4)
{
    const std::size_t n = adapters.size();
    adapters.push_back(MakeAdapter(MadeUpGuid(100 + n), ipv4, "Simulated Ethernet " + std::to_string(n + 1),
                                   IfTypeEthernet, MadeUpHardwareAddress(0x06, n)));
    return n;
}

SimulatedHostNetwork SimulatedHostNetwork::WifiAt(const std::string& ipv4)
{
    SimulatedHostNetwork network;
    network.AddWifi(ipv4);
    return network;
}

SimulatedHostNetwork SimulatedHostNetwork::WiredAt(const std::string& ipv4)
{
    SimulatedHostNetwork network;
    network.AddWired(ipv4);
    return network;
}

SimulatedHostNetwork SimulatedHostNetwork::LoopbackOnly()
{
    SimulatedHostNetwork network;
    network.adapters.push_back(MakeAdapter("lo", "127.0.0.1", "lo", IfTypeLoopback, {}));
    network.adapters.back().hardwareAddressText.clear();  // loopback has no hardware address
    return network;
}

}  // namespace zqb
