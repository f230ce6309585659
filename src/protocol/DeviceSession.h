#pragma once

#include <array>
#include <cstdint>

#include <QByteArray>
#include <QString>

namespace zqb {

inline constexpr std::size_t FunctionRecordSize = 32;
inline constexpr std::size_t DeviceConfigRecordSize = 256;

using FunctionRecord = std::array<std::uint8_t, FunctionRecordSize>;
using DeviceConfigRecord = std::array<std::uint8_t, DeviceConfigRecordSize>;
using Ipv4Bytes = std::array<std::uint8_t, 4>;

inline const QString DefaultHostAddress = QStringLiteral("192.168.77.1");
inline constexpr std::uint16_t DefaultHostPort = 13577;

// The console's single picture of the module: where it is, what it reported last,
// and the bookkeeping of the command in flight and the one-command queue.
// Texts the module sends are kept as the 8-bit bytes it sent.
struct DeviceSession {
    QString hostAddress = DefaultHostAddress;
    std::uint16_t hostPort = DefaultHostPort;
    QString staticAddressText = DefaultHostAddress;

    std::uint8_t commandInFlight = 0;
    std::uint8_t retryCount = 0;
    // Re-issues of GetImageChecksum: counted on their own, the link timer resets retryCount.
    std::uint8_t checksumRetries = 0;
    std::uint8_t replyOverdue = 0;
    std::uint32_t overdueTicks = 0;
    std::uint32_t overdueLimit = 0;

    std::uint8_t queuedCommand = 0;
    std::uint8_t queuedParam1 = 0;
    std::uint8_t queuedParam2 = 0;
    std::uint8_t linkTick = 0;

    std::uint8_t linked = 0;
    std::uint8_t LinkPollEnabled = 0;
    std::uint8_t DeviceEverLinked = 0;
    std::uint8_t modelKnown = 0;

    std::uint8_t doState = 0;
    std::uint8_t diState = 0;
    std::uint8_t doMask = 0;
    std::uint8_t diMask = 0;
    std::int32_t dacCode = 0;
    // 1 when the module last reported the 4-20 mA range (GetLink, GetIoStatus).
    std::uint8_t fourToTwenty = 0;
    // The signal strength word last reported (GetLink, GetIoStatus); 0 = not reported.
    std::uint16_t signalWord = 0;
    std::uint32_t diCount0 = 0;
    std::uint32_t diCount1 = 0;

    std::int32_t modbusPort = 502;
    std::int32_t modbusIdleTimeout = 120;
    std::uint8_t staticIpEnabled = 0;
    Ipv4Bytes staticIp{};
    Ipv4Bytes staticMask{};
    Ipv4Bytes staticGateway{};
    std::uint8_t wifiModeAp = 0;
    QByteArray apSsid;
    QByteArray apKey;
    std::uint8_t apSecured = 0;
    QByteArray staSsid;
    QByteArray staKey;
    std::uint8_t staKeyType = 0;
    QByteArray locationText;

    std::int32_t replyLength = 0;
    FunctionRecord functionRecord{};
    // 1 when the last GetFunctionConfig reply said the module holds a function.
    std::uint8_t functionStored = 0;
    DeviceConfigRecord deviceConfigRecord{};
    // 1 while deviceConfigRecord is the module's own: a whole link record from model 184 came,
    // and no reset to defaults has been sent since. Settings are written only while it is 1.
    std::uint8_t deviceConfigRecordValid = 0;
    std::uint8_t firstActivationDone = 0;
};

}  // namespace zqb
