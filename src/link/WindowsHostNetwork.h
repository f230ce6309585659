#pragma once

// The host network of a Windows PC: the adapter address list (IP Helper) and the Native Wi-Fi
// service. The header names no Windows type, so it can be included anywhere.

#include "link/HostNetworkBackend.h"

namespace zqb {

class WindowsHostNetwork : public HostNetworkBackend {
public:
    // Throws HostScanError with the system's text when the adapter list cannot be read, or
    // "Out of memory" when its buffer cannot be had; the table is then empty.
    void AdapterScan(HostAdapterTable& table) override;
    void WifiScan(WifiInterfaceTable& table) override;
};

}  // namespace zqb
