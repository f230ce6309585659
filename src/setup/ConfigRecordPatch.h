#pragma once

#include <cstdint>

#include <QByteArray>

#include "ConfigRecordLayout.h"
#include "DeviceSession.h"

namespace zqb {

// Writing the fields of a DeviceConfigRecord: each writes only its own bytes.
void PutMarker(DeviceConfigRecord& record, ConfigField marker);
void PutByte(DeviceConfigRecord& record, ConfigField field, std::uint8_t value);
void PutWord(DeviceConfigRecord& record, ConfigField field, std::uint16_t value);
void PutAddress(DeviceConfigRecord& record, ConfigField field, const Ipv4Bytes& address);
// A text: its bytes to the start of the area, then its length into the length byte. The area's
// bytes past the text keep what they held. The text must fit the area.
void PutText(DeviceConfigRecord& record, ConfigField lengthField, ConfigField areaField, const QByteArray& text);
// Every byte from the first field's start to the last field's end becomes 0.
void ZeroFields(DeviceConfigRecord& record, ConfigField first, ConfigField last);

// The calibration point stored after SetCalibration: point 0 is the 10 V point, any other the
// 4 mA point; its marker, then its code.
void PatchCalibrationPoint(DeviceConfigRecord& record, std::uint8_t point, std::uint16_t code);

}  // namespace zqb
