#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

#include "protocol/DeviceSession.h"
#include "protocol/Outcome.h"

namespace zqb {

using MacBytes = std::array<std::uint8_t, 6>;

// The module's link record (the GetLink reply), decoded once for every reader: reply handling,
// zqb's status and scan, the finder and the bridge. Texts are the module's bytes.
struct LinkRecord {
    std::uint8_t model = 0;
    Ipv4Bytes address{};
    MacBytes mac{};
    std::uint8_t firmwareMajor = 0;
    std::uint8_t firmwareMinor = 0;
    std::uint16_t modbusIdleTimeout = 0;
    QByteArray location;
    QByteArray apSsid;
    std::uint8_t apSecurity = 0;  // not 0: WPA/WPA2
    QByteArray apKey;             // read only when apSecurity is not 0
    QByteArray staSsid;
    std::uint8_t staKeyType = 0;  // 0 open, 1 WEP, other WPA/WPA2
    QByteArray staKey;            // read only when staKeyType is not 0
    bool accessPoint = false;
    std::uint8_t doBits = 0;
    std::uint8_t diBits = 0;
    std::uint16_t modbusPort = 0;
    bool staticIpInUse = false;
    Ipv4Bytes staticIp{};
    Ipv4Bytes staticMask{};
    Ipv4Bytes staticGateway{};
    std::uint16_t signalWord = 0;  // 0: not reported
    std::uint16_t dacCode = 0;
    bool fourToTwenty = false;
    FunctionRecord functionRecord{};
    // Model 184 only: the settings record the module keeps.
    std::optional<DeviceConfigRecord> configRecord;

    QString AddressText() const;       // "192.168.77.1"
    QString MacText() const;           // "00:1E:C0:12:34:56"
    QString MacId() const;             // "001ec0123456"
    QString FirmwareText() const;      // "V01.10", as the status bar shows it
    QString ModelName() const;         // "zQB-AO4K DAC Node" or "Unknow Device??"
    std::optional<int> SignalDbm() const;
};

// A link record is whole when it holds every field its model has: up to the settings record for
// model 184, up to the function record for any other.
std::size_t WholeLinkRecordLength(std::uint8_t model);

// Checks the reply (magic, echo, status, length) and decodes it. The outcome says why a reply is
// no usable link record; the record is there only when it is.
Result<LinkRecord> DecodeLinkRecord(const std::uint8_t* reply, std::size_t length);

inline const QString ModelName184 = QStringLiteral("zQB-AO4K DAC Node");
inline const QString UnknownModelText = QStringLiteral("Unknow Device??");

}  // namespace zqb
