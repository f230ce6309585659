#pragma once

// A scripted host network: tests, --demo and --module runs say which adapters and Wi-Fi
// interfaces the PC has and which of the platform's failures to act out.

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/HostNetworkBackend.h"

namespace zqb {

class SimulatedHostNetwork : public HostNetworkBackend {
public:
    // Reported in this order; anything past a table's capacity is left out.
    std::vector<HostAdapter> adapters;
    std::vector<WifiInterface> interfaces;

    // AdapterScan empties the table, then throws HostScanError with this message.
    std::optional<std::string> adapterScanError;
    // AdapterScan leaves the table as it was (the socket library would not start).
    bool adapterListUnavailable = false;
    // WifiScan throws HostScanError with this message, before touching the table.
    std::optional<std::string> wifiScanError;
    // WifiScan leaves the table as it was (wireless service missing or stopped).
    bool wirelessServiceUnavailable = false;
    // Interface indexes whose connection query fails: profile and BSSID keep their old values.
    std::set<std::size_t> failedConnectionQueries;

    int adapterScans = 0;
    int wifiScans = 0;

    void AdapterScan(HostAdapterTable& table) override;
    void WifiScan(WifiInterfaceTable& table) override;

    // Appends one connected Wi-Fi interface plus its adapter holding ipv4; returns its index.
    std::size_t AddWifi(const std::string& ipv4, const std::string& profileName = "zQB-AP");
    // Appends one Ethernet adapter holding ipv4; returns its index.
    std::size_t AddWired(const std::string& ipv4);

    // One connected Wi-Fi interface whose adapter holds ipv4.
    static SimulatedHostNetwork WifiAt(const std::string& ipv4);
    // One Ethernet adapter holding ipv4, no wireless interface.
    static SimulatedHostNetwork WiredAt(const std::string& ipv4);
    // Only the loopback adapter "lo" with 127.0.0.1.
    static SimulatedHostNetwork LoopbackOnly();
};

}  // namespace zqb
