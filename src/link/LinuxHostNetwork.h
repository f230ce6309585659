#pragma once

// The host network of a Linux PC: adapters from getifaddrs, wireless interfaces from sysfs, the
// SSID and BSSID of a connected one through the wireless-extension ioctls. Both sources can be
// replaced, so that the backend runs in tests on a made-up sysfs tree and address list.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "link/HostNetworkBackend.h"

namespace zqb {

// One entry of the interface address list; an interface appears once per address it holds.
struct InterfaceAddressRecord {
    std::string name;
    std::string ipv4Address;                     // empty unless this entry is an IPv4 address
    std::vector<std::uint8_t> hardwareAddress;   // empty unless this entry is the link-layer one
    unsigned int flags = 0;                      // IFF_* of the interface
};

class LinuxHostNetwork : public HostNetworkBackend {
public:
    // May throw HostScanError when no list can be had.
    using AddressLister = std::function<std::vector<InterfaceAddressRecord>()>;
    // Fills profile name and BSSID of a connected interface; false leaves them as they were.
    using ConnectionQuery = std::function<bool(const std::string& interfaceName, WifiInterface& entry)>;

    explicit LinuxHostNetwork(std::filesystem::path sysfsRoot = "/sys/class/net",
                              AddressLister listAddresses = ListInterfaceAddresses,
                              ConnectionQuery queryConnection = QueryWirelessConnection);

    void AdapterScan(HostAdapterTable& table) override;
    void WifiScan(WifiInterfaceTable& table) override;

    // The real sources: getifaddrs, and SIOCGIWESSID/SIOCGIWAP on a socket that is never connected.
    static std::vector<InterfaceAddressRecord> ListInterfaceAddresses();
    static bool QueryWirelessConnection(const std::string& interfaceName, WifiInterface& entry);

private:
    bool IsWireless(const std::string& interfaceName) const;
    std::uint8_t InterfaceType(const std::string& interfaceName) const;

    std::filesystem::path sysfsRoot_;
    AddressLister listAddresses_;
    ConnectionQuery queryConnection_;
};

}  // namespace zqb
