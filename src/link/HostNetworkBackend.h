#pragma once

// Where the host scan gets its facts: one backend per platform, plus a scripted one.
// Plain standard C++ only, like the tables.

#include <stdexcept>

#include "HostNetworkTables.h"

namespace zqb {

// A failure that the scan reports as "Adapters: " followed by what().
class HostScanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
