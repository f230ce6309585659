#ifdef __linux__

#include "link/LinuxHostNetwork.h"

// <net/if.h> before <linux/wireless.h>: the kernel header then skips its own copy of struct ifreq.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <linux/if_packet.h>
#include <linux/wireless.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>
#include <utility>

namespace zqb {

namespace {

constexpr int ArphrdEther = 1;
constexpr int ArphrdLoopback = 772;
constexpr std::uint8_t IfTypeOther = 1;
constexpr std::uint8_t OperStatusUp = 1;
constexpr std::uint8_t OperStatusDown = 2;
constexpr std::uint8_t WifiStateDisconnected = 4;

std::string ReadFirstWord(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

bool Exists(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Holds an interface name for an ioctl request; false when it would not fit.
bool SetRequestName(iwreq& request, const std::string& interfaceName)
{
    if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ) return false;
    std::memcpy(request.ifr_name, interfaceName.data(), interfaceName.size());
    return true;
}

}  // namespace

LinuxHostNetwork::LinuxHostNetwork(std::filesystem::path sysfsRoot, AddressLister listAddresses,
                                   ConnectionQuery queryConnection)
    : sysfsRoot_(std::move(sysfsRoot)), listAddresses_(std::move(listAddresses)),
      queryConnection_(std::move(queryConnection))
{
}

bool LinuxHostNetwork::IsWireless(const std::string& interfaceName) const
{
    const std::filesystem::path dir = sysfsRoot_ / interfaceName;
    return Exists(dir / "wireless") || Exists(dir / "phy80211");
}

std::uint8_t LinuxHostNetwork::InterfaceType(const std::string& interfaceName) const
{
    const std::string text = ReadFirstWord(sysfsRoot_ / interfaceName / "type");
    int arphrd = -1;
    std::from_chars(text.data(), text.data() + text.size(), arphrd);
    if (arphrd == ArphrdLoopback) return IfTypeLoopback;
    if (IsWireless(interfaceName)) return IfTypeIeee80211;
    if (arphrd == ArphrdEther) return IfTypeEthernet;
    return IfTypeOther;
}

void LinuxHostNetwork::AdapterScan(HostAdapterTable& table)
{
    table.count = 0;
    const std::vector<InterfaceAddressRecord> records = listAddresses_();
    for (const InterfaceAddressRecord& record : records) {
        auto* const begin = table.entries.data();
        auto* const end = begin + table.count;
        HostAdapter* entry = std::find_if(begin, end, [&](const HostAdapter& a) { return a.adapterName == record.name; });
        if (entry == end) {
            if (table.count == MaxHostAdapters) continue;  // the first 20 interfaces are kept
            ++table.count;
            *entry = HostAdapter{};
            entry->adapterName = record.name;
            entry->description = record.name;
            entry->friendlyName = record.name;
            entry->interfaceType = InterfaceType(record.name);
            const unsigned int upAndRunning = IFF_UP | IFF_RUNNING;
            entry->operationalStatus = (record.flags & upAndRunning) == upAndRunning ? OperStatusUp : OperStatusDown;
        }
        if (entry->ipv4Address.empty()) entry->ipv4Address = record.ipv4Address;
        if (entry->hardwareAddressText.empty() && !record.hardwareAddress.empty()) {
            const std::size_t kept = std::min(record.hardwareAddress.size(), entry->hardwareAddress.size());
            std::copy_n(record.hardwareAddress.begin(), kept, entry->hardwareAddress.begin());
            entry->hardwareAddressText = HardwareAddressText(record.hardwareAddress.data(), record.hardwareAddress.size());
        }
    }
}

void LinuxHostNetwork::WifiScan(WifiInterfaceTable& table)
{
    // No readable sysfs is the wireless service being absent: the table keeps what it held.
    std::error_code error;
    std::filesystem::directory_iterator it(sysfsRoot_, error);
    if (error) return;
    std::vector<std::string> names;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) return;
        std::error_code kindError;
        if (it->is_directory(kindError)) names.push_back(it->path().filename().string());
    }
    if (error) return;
    std::sort(names.begin(), names.end());  // the directory's own order is arbitrary

    table.count = 0;
    for (const std::string& name : names) {
        if (table.count == MaxWifiInterfaces) break;
        if (!IsWireless(name)) continue;
        WifiInterface& entry = table.entries[table.count++];
        entry.interfaceGuid = name;  // equals the adapter name, which is how the two are paired
        entry.description = name;
        entry.state = ReadFirstWord(sysfsRoot_ / name / "operstate") == "up" ? WifiStateConnected
                                                                              : WifiStateDisconnected;
        if (entry.state == WifiStateConnected && queryConnection_) queryConnection_(name, entry);
    }
}

std::vector<InterfaceAddressRecord> LinuxHostNetwork::ListInterfaceAddresses()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        throw HostScanError(std::system_category().message(errno));
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> release(list, ::freeifaddrs);

    std::vector<InterfaceAddressRecord> records;
    for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
        if (item->ifa_name == nullptr) continue;
        InterfaceAddressRecord record;
        record.name = item->ifa_name;
        record.flags = item->ifa_flags;
        if (item->ifa_addr != nullptr && item->ifa_addr->sa_family == AF_INET) {
            sockaddr_in address{};
            std::memcpy(&address, item->ifa_addr, sizeof address);
            char text[INET_ADDRSTRLEN] = {};
            if (::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) != nullptr) record.ipv4Address = text;
        } else if (item->ifa_addr != nullptr && item->ifa_addr->sa_family == AF_PACKET) {
            sockaddr_ll link{};
            std::memcpy(&link, item->ifa_addr, sizeof link);
            const std::size_t length = std::min<std::size_t>(link.sll_halen, sizeof link.sll_addr);
            record.hardwareAddress.assign(link.sll_addr, link.sll_addr + length);
        }
        records.push_back(std::move(record));
    }
    return records;
}

bool LinuxHostNetwork::QueryWirelessConnection(const std::string& interfaceName, WifiInterface& entry)
{
    // Only a handle for the ioctls: it is never bound, connected or written to.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const std::unique_ptr<const int, void (*)(const int*)> closeSocket(&fd, [](const int* s) { ::close(*s); });

    iwreq essidRequest{};
    char essid[IW_ESSID_MAX_SIZE + 1] = {};
    if (!SetRequestName(essidRequest, interfaceName)) return false;
    essidRequest.u.essid.pointer = essid;
    essidRequest.u.essid.length = IW_ESSID_MAX_SIZE + 1;
    if (::ioctl(fd, SIOCGIWESSID, &essidRequest) < 0) return false;

    iwreq apRequest{};
    SetRequestName(apRequest, interfaceName);
    if (::ioctl(fd, SIOCGIWAP, &apRequest) < 0) return false;

    entry.profileName.assign(essid, std::min<std::size_t>(essidRequest.u.essid.length, IW_ESSID_MAX_SIZE));
    std::memcpy(entry.bssid.data(), apRequest.u.ap_addr.sa_data, entry.bssid.size());
    entry.bssidText = HardwareAddressText(entry.bssid.data(), entry.bssid.size());
    return true;
}

}  // namespace zqb

#endif  // __linux__
