#pragma once

#include <cstdint>

#include <QByteArray>

#include "setup/ConfigRecordLayout.h"
#include "protocol/DeviceSession.h"

namespace zqb {

// Writing the fields of a DeviceConfigRecord: each writes only its own bytes.
void PutMarker(DeviceConfigRecord& record, ConfigField marker);
void PutByte(DeviceConfigRecord& record, ConfigField field, std::uint8_t value);
void PutWord(DeviceConfigRecord& record, ConfigField field, std::uint16_t value);
void PutAddress(DeviceConfigRecord& record, ConfigField field, const Ipv4Bytes& address);
// A text: its bytes to the start of the area, then its length into the length byte. The area's
// bytes past the text keep what they held. A text longer than the area is cut to it; the
// patches below are only ever given texts that fit.
void PutText(DeviceConfigRecord& record, ConfigField lengthField, ConfigField areaField, const QByteArray& text);
// Every byte from the first field's start to the last field's end becomes 0.
void ZeroFields(DeviceConfigRecord& record, ConfigField first, ConfigField last);

// Station key types as the record stores them.
enum class StationKeyType : std::uint8_t { Open = 0, Wep = 1, Wpa = 2 };

// One patch per setting, each writing its fields in this order. Texts must already fit their
// areas (31 bytes for SSIDs and the location, 15 for keys).

// AP settings: an empty key is an open access point (key length and key zeroed first).
void PatchApSettings(DeviceConfigRecord& record, const QByteArray& ssid, const QByteArray& key);
// Station settings: an open network zeroes its key; the key type follows, then the SSID.
void PatchStationSettings(DeviceConfigRecord& record, const QByteArray& ssid, StationKeyType type,
                          const QByteArray& key);
void PatchStaticAddress(DeviceConfigRecord& record, const Ipv4Bytes& address, const Ipv4Bytes& mask,
                        const Ipv4Bytes& gateway);
// Deleting the fixed address zeroes its flag, the three addresses and the 3 bytes after them.
void PatchStaticAddressDeleted(DeviceConfigRecord& record);
void PatchLocation(DeviceConfigRecord& record, const QByteArray& location);
void PatchModbus(DeviceConfigRecord& record, std::uint16_t port, std::uint16_t idleTimeoutSeconds);
// mode: 2 = access point, 0 = station.
void PatchWifiMode(DeviceConfigRecord& record, std::uint8_t mode);
// The calibration point stored after SetCalibration: point 0 is the 10 V point, any other the
// 4 mA point; its marker, then its code.
void PatchCalibrationPoint(DeviceConfigRecord& record, std::uint8_t point, std::uint16_t code);

}  // namespace zqb
