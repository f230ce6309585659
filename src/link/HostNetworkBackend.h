#pragma once

// Where the host scan gets its facts: one backend per platform, plus a scripted one.
// Plain standard C++ only, like the tables.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "link/HostNetworkTables.h"

namespace zqb {

// A failure that the scan reports as "Adapters: " followed by what().
class HostScanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Each byte as two upper-case hexadecimal digits, joined by ':' ("00:1E:C0:12:34:56").
inline std::string HardwareAddressText(const std::uint8_t* bytes, std::size_t length)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (i != 0) text += ':';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

class HostNetworkBackend {
public:
    virtual ~HostNetworkBackend() = default;

    // Refills the adapter table from index 0. When the adapter list cannot be had at all the
    // table keeps what it held; other failures leave it empty. May throw HostScanError.
    virtual void AdapterScan(HostAdapterTable& adapters) = 0;

    // Refills the Wi-Fi table from index 0. When the wireless service cannot be opened the table
    // keeps what it held. A connected interface whose connection query fails keeps the profile
    // name and BSSID of the previous scan. May throw HostScanError.
    virtual void WifiScan(WifiInterfaceTable& interfaces) = 0;
};

}  // namespace zqb
