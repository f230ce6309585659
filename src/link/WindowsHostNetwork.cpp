#ifdef _WIN32

#include "link/WindowsHostNetwork.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

// winsock2.h must come before windows.h, and both before the IP Helper and Wi-Fi headers.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <objbase.h>
#include <wlanapi.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace zqb {

namespace {

constexpr ULONG FirstBufferSize = 15000;
constexpr int MaxAdapterQueries = 3;
constexpr DWORD WlanClientVersion = 2;
constexpr int GuidTextLength = 39;  // 38 characters and the terminator
constexpr std::size_t HostBufferSize = 512;

// The socket library for the length of one adapter scan.
class SocketLibrary {
public:
    SocketLibrary()
    {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~SocketLibrary()
    {
        if (started_) WSACleanup();
    }
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

// A block of the process heap, released on every way out.
class HeapBlock {
public:
    HeapBlock() = default;
    ~HeapBlock() { Release(); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    bool Allocate(ULONG size)
    {
        Release();
        block_ = HeapAlloc(GetProcessHeap(), 0, size);
        return block_ != nullptr;
    }
    void Release()
    {
        if (block_ != nullptr) HeapFree(GetProcessHeap(), 0, block_);
        block_ = nullptr;
    }
    void* Get() const { return block_; }

private:
    void* block_ = nullptr;
};

// Memory handed out by the Wi-Fi service.
class WlanMemory {
public:
    explicit WlanMemory(void* memory) : memory_(memory) {}
    ~WlanMemory()
    {
        if (memory_ != nullptr) WlanFreeMemory(memory_);
    }
    WlanMemory(const WlanMemory&) = delete;
    WlanMemory& operator=(const WlanMemory&) = delete;

private:
    void* memory_;
};

class WlanClient {
public:
    WlanClient()
    {
        DWORD negotiatedVersion = 0;
        if (WlanOpenHandle(WlanClientVersion, nullptr, &negotiatedVersion, &handle_) != ERROR_SUCCESS)
            handle_ = nullptr;
    }
    ~WlanClient()
    {
        if (handle_ != nullptr) WlanCloseHandle(handle_, nullptr);
    }
    WlanClient(const WlanClient&) = delete;
    WlanClient& operator=(const WlanClient&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// Texts are kept in the PC's ANSI code page, as everywhere else in the console.
std::string Narrow(const wchar_t* text)
{
    if (text == nullptr || text[0] == L'\0') return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(size - 1));
    return narrow;
}

// The system's text for an error code, without its line end; empty when it has none.
std::string SystemErrorText(DWORD code)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return {};
    std::string text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

void FillAdapter(const IP_ADAPTER_ADDRESSES& source, HostAdapter& entry)
{
    entry.adapterName = source.AdapterName != nullptr ? source.AdapterName : "";

    entry.ipv4Address.clear();
    const IP_ADAPTER_UNICAST_ADDRESS* unicast = source.FirstUnicastAddress;
    if (unicast != nullptr && unicast->Address.lpSockaddr != nullptr
        && unicast->Address.lpSockaddr->sa_family == AF_INET) {
        char host[HostBufferSize] = {};
        if (getnameinfo(unicast->Address.lpSockaddr, unicast->Address.iSockaddrLength, host,
                        static_cast<DWORD>(sizeof host), nullptr, 0, NI_NUMERICHOST) == 0)
            entry.ipv4Address = host;
    }

    entry.description = Narrow(source.Description);
    entry.friendlyName = Narrow(source.FriendlyName);

    // An adapter without a hardware address leaves the old one of this index in place.
    const ULONG length = std::min<ULONG>(source.PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    if (length != 0) {
        entry.hardwareAddressText = HardwareAddressText(source.PhysicalAddress, length);
        entry.hardwareAddress = {};
        std::copy_n(source.PhysicalAddress, std::min<std::size_t>(length, entry.hardwareAddress.size()),
                    entry.hardwareAddress.begin());
    }

    entry.interfaceType = static_cast<std::uint8_t>(source.IfType & 0xFFu);
    entry.operationalStatus = static_cast<std::uint8_t>(static_cast<unsigned>(source.OperStatus) & 0xFFu);
}

void QueryConnection(HANDLE client, const WLAN_INTERFACE_INFO& info, WifiInterface& entry)
{
    DWORD size = 0;
    void* data = nullptr;
    WLAN_OPCODE_VALUE_TYPE valueType = wlan_opcode_value_type_invalid;
    if (WlanQueryInterface(client, &info.InterfaceGuid, wlan_intf_opcode_current_connection, nullptr, &size, &data,
                           &valueType) != ERROR_SUCCESS)
        return;  // profile and BSSID stay as the previous scan left them
    const WlanMemory release(data);
    if (data == nullptr || size < sizeof(WLAN_CONNECTION_ATTRIBUTES)) return;

    const auto& connection = *static_cast<const WLAN_CONNECTION_ATTRIBUTES*>(data);
    entry.profileName = Narrow(connection.strProfileName);
    const DOT11_MAC_ADDRESS& bssid = connection.wlanAssociationAttributes.dot11Bssid;
    std::copy_n(bssid, entry.bssid.size(), entry.bssid.begin());
    entry.bssidText = HardwareAddressText(entry.bssid.data(), entry.bssid.size());
}

}  // namespace

void WindowsHostNetwork::AdapterScan(HostAdapterTable& table)
{
    const SocketLibrary sockets;
    if (!sockets.Started()) return;  // the table keeps the previous scan
    table.count = 0;

    HeapBlock buffer;
    ULONG size = FirstBufferSize;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int query = 0; query < MaxAdapterQueries && result == ERROR_BUFFER_OVERFLOW; ++query) {
        // On overflow the query has put the size it needs into size.
        if (!buffer.Allocate(size)) throw HostScanError("Out of memory");
        result = GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_PREFIX, nullptr,
                                      static_cast<IP_ADAPTER_ADDRESSES*>(buffer.Get()), &size);
    }

    if (result == ERROR_NO_DATA) return;
    if (result != NO_ERROR) {
        // Reported rather than ending the process; a code without a text passes silently.
        std::string text = SystemErrorText(result);
        if (!text.empty()) throw HostScanError(text);
        return;
    }

    for (const IP_ADAPTER_ADDRESSES* adapter = static_cast<const IP_ADAPTER_ADDRESSES*>(buffer.Get());
         adapter != nullptr && table.count < MaxHostAdapters; adapter = adapter->Next) {
        FillAdapter(*adapter, table.entries[table.count]);
        ++table.count;
    }
}

void WindowsHostNetwork::WifiScan(WifiInterfaceTable& table)
{
    // Without the wireless service (not installed, not running) the table keeps what it held.
    const WlanClient client;
    if (client.Get() == nullptr) return;
    WLAN_INTERFACE_INFO_LIST* list = nullptr;
    if (WlanEnumInterfaces(client.Get(), nullptr, &list) != ERROR_SUCCESS || list == nullptr) return;
    const WlanMemory release(list);

    const DWORD count = std::min<DWORD>(list->dwNumberOfItems, static_cast<DWORD>(MaxWifiInterfaces));
    table.count = static_cast<std::uint8_t>(count);
    for (DWORD i = 0; i < count; ++i) {
        const WLAN_INTERFACE_INFO& info = list->InterfaceInfo[i];
        WifiInterface& entry = table.entries[i];

        wchar_t guidText[GuidTextLength] = {};
        if (StringFromGUID2(info.InterfaceGuid, guidText, GuidTextLength) != 0) entry.interfaceGuid = Narrow(guidText);
        entry.description = Narrow(info.strInterfaceDescription);
        entry.state = static_cast<std::uint8_t>(static_cast<unsigned>(info.isState) & 0xFFu);
        if (info.isState == wlan_interface_state_connected) QueryConnection(client.Get(), info, entry);
    }
}

}  // namespace zqb

#endif  // _WIN32
