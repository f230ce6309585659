#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/HostNetworkBackend.h"
#include "link/HostNetworkTables.h"

namespace zqb {

// Lists the PC's adapters and Wi-Fi interfaces and counts the connected Wi-Fi interfaces whose
// adapter holds an address in the module's network. The tables are overwritten in place by
// each scan and live as long as this object.
class HostNetwork {
public:
    // Shows an error box with the given text; the scan goes on afterwards.
    using ErrorReporter = std::function<void(const std::string& text)>;

    HostNetwork(HostNetworkBackend& backend, ErrorReporter reportError);

    // AdapterScan, WifiScan and MatchWifiToPrefix from scratch; returns the match count (0-3).
    std::uint8_t HostNetworkScan(const std::string& networkPrefix);

    // With a module address given on the command line, wired and loopback adapters holding an
    // address with the prefix count as matches too (after the Wi-Fi ones).
    void SetCountWiredAdapters(bool on) { countWiredAdapters_ = on; }

    const HostAdapterTable& Adapters() const { return adapters_; }
    const WifiInterfaceTable& WifiInterfaces() const { return wifi_; }
    const ConnectedWifiList& ConnectedWifi() const { return connected_; }
    const WifiMatchTable& Matches() const { return matches_; }

private:
    void AdapterScan();
    void WifiScan();
    std::uint8_t MatchWifiToPrefix(const std::string& networkPrefix);

    HostNetworkBackend& backend_;
    ErrorReporter reportError_;
    bool countWiredAdapters_ = false;
    HostAdapterTable adapters_;
    WifiInterfaceTable wifi_;
    ConnectedWifiList connected_;
    WifiMatchTable matches_;
};

}  // namespace zqb
