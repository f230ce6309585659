#pragma once

// The PC's adapters and Wi-Fi interfaces as the last host scan saw them. Plain standard C++
// only: the Windows backend that fills these is compile-checked without Qt.

#include <array>
#include <cstdint>
#include <string>

namespace zqb {

struct HostAdapter {
    std::string adapterName;          // Windows: the GUID in braces; Linux: the interface name
    std::string ipv4Address;          // first unicast address when it is IPv4, else empty
    std::string description;
    std::string friendlyName;
    std::string hardwareAddressText;  // "00:1E:C0:12:34:56"
    std::array<std::uint8_t, 6> hardwareAddress{};
    std::uint8_t interfaceType = 0;   // IANA ifType, low 8 bits (6 Ethernet, 24 loopback, 71 IEEE 802.11)
    std::uint8_t operationalStatus = 0;  // 1 = up
};

struct WifiInterface {
    std::string interfaceGuid;        // Windows: "{XXXXXXXX-...}" upper case; Linux: the interface name
    std::string description;
    std::uint8_t state = 0;           // 1 = connected
    std::string profileName;          // connected interfaces only
    std::string bssidText;
    std::array<std::uint8_t, 6> bssid{};
};

inline constexpr std::size_t MaxHostAdapters = 20;
inline constexpr std::size_t MaxWifiInterfaces = 20;
inline constexpr std::size_t MaxConnectedWifi = 10;
inline constexpr std::size_t MaxWifiMatches = 3;

inline constexpr std::uint8_t IfTypeEthernet = 6;
inline constexpr std::uint8_t IfTypeLoopback = 24;
inline constexpr std::uint8_t IfTypeIeee80211 = 71;
inline constexpr std::uint8_t WifiStateConnected = 1;

struct HostAdapterTable {
    std::array<HostAdapter, MaxHostAdapters> entries{};
    std::uint8_t count = 0;
};

struct WifiInterfaceTable {
    std::array<WifiInterface, MaxWifiInterfaces> entries{};
    std::uint8_t count = 0;
};

struct ConnectedWifiList {
    std::array<std::uint8_t, MaxConnectedWifi> interfaceIndex{};  // into WifiInterfaceTable
    std::array<std::uint8_t, MaxConnectedWifi> adapterIndex{};    // into HostAdapterTable, once matched
    std::uint8_t count = 0;
};

// One connected interface (or, with a given module address, one wired or loopback adapter)
// whose adapter lies in the module's network.
struct WifiMatch {
    std::string interfaceGuid;
    std::string ipv4Address;
    std::string interfaceDescription;
    std::string friendlyName;
    std::string hardwareAddressText;
    std::array<std::uint8_t, 6> hardwareAddress{};
    std::uint8_t interfaceType = 0;
    std::uint8_t interfaceState = 0;
    std::string profileName;
    std::string bssidText;
    std::array<std::uint8_t, 6> bssid{};
};

struct WifiMatchTable {
    std::array<WifiMatch, MaxWifiMatches> entries{};
    std::uint8_t count = 0;
};

}  // namespace zqb
