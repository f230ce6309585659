#include "link/HostNetworkScan.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>

namespace zqb {

namespace {

// Compares the first prefix.size() characters; an address shorter than the prefix is outside.
bool InNetwork(const std::string& ipv4Address, const std::string& networkPrefix)
{
    return ipv4Address.size() >= networkPrefix.size()
        && ipv4Address.compare(0, networkPrefix.size(), networkPrefix) == 0;
}

// A backend that misreports its count must not walk us off the end of a table.
std::size_t Clamped(std::uint8_t count, std::size_t limit)
{
    return std::min<std::size_t>(count, limit);
}

void CopyAdapterFields(const HostAdapter& adapter, WifiMatch& match)
{
    match.ipv4Address = adapter.ipv4Address;
    match.friendlyName = adapter.friendlyName;
    match.hardwareAddressText = adapter.hardwareAddressText;
    match.hardwareAddress = adapter.hardwareAddress;
    match.interfaceType = adapter.interfaceType;
}

}  // namespace

HostNetwork::HostNetwork(HostNetworkBackend& backend, ErrorReporter reportError)
    : backend_(backend), reportError_(std::move(reportError))
{
}

std::uint8_t HostNetwork::HostNetworkScan(const std::string& networkPrefix)
{
    AdapterScan();
    WifiScan();
    return MatchWifiToPrefix(networkPrefix);
}

void HostNetwork::AdapterScan()
{
    try {
        backend_.AdapterScan(adapters_);
    } catch (const std::exception& failure) {
        if (reportError_) reportError_(std::string("Adapters: ") + failure.what());
    }
}

void HostNetwork::WifiScan()
{
    try {
        backend_.WifiScan(wifi_);
    } catch (const std::exception& failure) {
        // Same caption as the adapter step: the user sees one kind of host-network error.
        if (reportError_) reportError_(std::string("Adapters: ") + failure.what());
    }

    // Rebuilt even after a failure, so that the list always describes the table as it stands.
    connected_ = ConnectedWifiList{};
    const std::size_t interfaceCount = Clamped(wifi_.count, MaxWifiInterfaces);
    for (std::size_t i = 0; i < interfaceCount && connected_.count < MaxConnectedWifi; ++i) {
        if (wifi_.entries[i].state == WifiStateConnected)
            connected_.interfaceIndex[connected_.count++] = static_cast<std::uint8_t>(i);
    }
}

// More matches than records: the records stop at MaxWifiMatches and the count returned is the
// number of records, so a caller that wants exactly one match still sees "more than one".
// ConnectedWifiList still gets the adapter of every matched position.
std::uint8_t HostNetwork::MatchWifiToPrefix(const std::string& networkPrefix)
{
    matches_.count = 0;
    const std::size_t adapterCount = Clamped(adapters_.count, MaxHostAdapters);
    std::array<bool, MaxHostAdapters> matchedAdapter{};

    for (std::size_t k = 0; k < connected_.count; ++k) {
        const WifiInterface& wifi = wifi_.entries[connected_.interfaceIndex[k]];
        for (std::size_t a = 0; a < adapterCount; ++a) {
            const HostAdapter& adapter = adapters_.entries[a];
            if (adapter.adapterName != wifi.interfaceGuid || !InNetwork(adapter.ipv4Address, networkPrefix))
                continue;
            connected_.adapterIndex[k] = static_cast<std::uint8_t>(a);
            matchedAdapter[a] = true;
            if (matches_.count == MaxWifiMatches) continue;

            WifiMatch& match = matches_.entries[matches_.count++];
            match = WifiMatch{};
            match.interfaceGuid = wifi.interfaceGuid;
            match.interfaceDescription = wifi.description;
            match.interfaceState = wifi.state;
            match.profileName = wifi.profileName;
            match.bssidText = wifi.bssidText;
            match.bssid = wifi.bssid;
            CopyAdapterFields(adapter, match);
        }
    }

    if (!countWiredAdapters_) return matches_.count;

    // A module on a cable or a simulator on loopback: the adapter stands in for the interface.
    for (std::size_t a = 0; a < adapterCount && matches_.count < MaxWifiMatches; ++a) {
        const HostAdapter& adapter = adapters_.entries[a];
        if (matchedAdapter[a] || !InNetwork(adapter.ipv4Address, networkPrefix)) continue;

        WifiMatch& match = matches_.entries[matches_.count++];
        match = WifiMatch{};
        match.interfaceGuid = adapter.adapterName;
        match.interfaceDescription = adapter.description;
        CopyAdapterFields(adapter, match);
    }
    return matches_.count;
}

}  // namespace zqb
