#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

#include "setup/ConfigRecordPatch.h"
#include "protocol/DeviceSession.h"

namespace zqb {

// The input rules of the settings, shared by the setup window and the command-line program.
// Texts are taken as the module stores them (Latin-1 bytes, see ToModuleText); every length
// counts those bytes.

inline constexpr qsizetype MaxSsidBytes = 31;
inline constexpr qsizetype MinKeyBytes = 8;
inline constexpr qsizetype MaxKeyBytes = 15;
inline constexpr qsizetype MaxWebLoginKeyBytes = 5;
inline constexpr qsizetype MaxLocationBytes = 31;

// Dotted IPv4 text: exactly three full stops, only digits and full stops, four non-empty parts
// of at most 255 each (leading zeros allowed). A long run of digits never wraps round.
bool IsValidIpv4Text(const QString& text);
// The four parts of a text IsValidIpv4Text accepts, first part first.
Ipv4Bytes Ipv4BytesOf(const QString& text);

// One text as the module would store it, checked against a length range.
struct TextCheck {
    std::optional<QByteArray> bytes;  // nothing when a character cannot be stored
    bool Empty() const { return bytes && bytes->isEmpty(); }
    bool Fits(qsizetype least, qsizetype most) const
    {
        return bytes && bytes->size() >= least && bytes->size() <= most;
    }
    qsizetype Length() const { return bytes ? bytes->size() : 0; }
};
TextCheck CheckText(const QString& text);

// Wireless credentials: SSID 1..31 bytes; key 8..15 bytes unless the network is open, whose key
// is ignored and written empty.
struct WirelessCredentials {
    QByteArray ssid;
    QByteArray key;  // empty for an open network
    std::uint8_t type = 0;  // 0 open, 1 WEP (station only), 2 WPA/WPA2
};
std::optional<WirelessCredentials> CheckWireless(const QString& ssid, const QString& key, std::uint8_t type);
QString KeyTypeName(std::uint8_t type);

// Modbus: a port 1..65535 other than 80 and the module's command port 13577; an idle time-out of
// 1..65000 seconds; both decimal integers (no blanks, "$" or "0x"). Each check gives the text and
// caption of its box, or nothing when it passes.
struct FieldError {
    QString text;
    QString caption;
};
std::optional<FieldError> CheckModbusPort(const QString& text, std::int32_t& port);
std::optional<FieldError> CheckIdleTimeout(const QString& text, std::int32_t& seconds);

}  // namespace zqb
