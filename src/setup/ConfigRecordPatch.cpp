#include "setup/ConfigRecordPatch.h"

#include <algorithm>

#include "protocol/Frames.h"

namespace zqb {

namespace {

std::uint8_t* At(DeviceConfigRecord& record, ConfigField field) { return record.data() + SpanOf(field).offset; }

}  // namespace

void PutMarker(DeviceConfigRecord& record, ConfigField marker) { *At(record, marker) = 1; }

void PutByte(DeviceConfigRecord& record, ConfigField field, std::uint8_t value) { *At(record, field) = value; }

void PutWord(DeviceConfigRecord& record, ConfigField field, std::uint16_t value) { PutU16(At(record, field), value); }

void PutAddress(DeviceConfigRecord& record, ConfigField field, const Ipv4Bytes& address)
{
    std::copy(address.begin(), address.end(), At(record, field));
}

void PutText(DeviceConfigRecord& record, ConfigField lengthField, ConfigField areaField, const QByteArray& text)
{
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(text.size()), SpanOf(areaField).width);
    std::copy_n(text.constData(), n, At(record, areaField));
    *At(record, lengthField) = static_cast<std::uint8_t>(n);
}

void ZeroFields(DeviceConfigRecord& record, ConfigField first, ConfigField last)
{
    std::fill(At(record, first), record.data() + SpanOf(last).End(), std::uint8_t{0});
}

void PatchApSettings(DeviceConfigRecord& record, const QByteArray& ssid, const QByteArray& key)
{
    if (key.isEmpty())
        ZeroFields(record, ConfigField::apKeyLength, ConfigField::apKey);
    else
        PutText(record, ConfigField::apKeyLength, ConfigField::apKey, key);
    PutText(record, ConfigField::apSsidLength, ConfigField::apSsid, ssid);
}

void PatchStationSettings(DeviceConfigRecord& record, const QByteArray& ssid, StationKeyType type,
                          const QByteArray& key)
{
    if (type == StationKeyType::Open)
        ZeroFields(record, ConfigField::staKeyLength, ConfigField::staKey);
    else
        PutText(record, ConfigField::staKeyLength, ConfigField::staKey, key);
    PutMarker(record, ConfigField::staKeyTypeSet);
    PutByte(record, ConfigField::staKeyType, static_cast<std::uint8_t>(type));
    PutText(record, ConfigField::staSsidLength, ConfigField::staSsid, ssid);
}

void PatchStaticAddress(DeviceConfigRecord& record, const Ipv4Bytes& address, const Ipv4Bytes& mask,
                        const Ipv4Bytes& gateway)
{
    PutAddress(record, ConfigField::staticIp, address);
    PutAddress(record, ConfigField::staticMask, mask);
    PutAddress(record, ConfigField::staticGateway, gateway);
    PutByte(record, ConfigField::staticIpSet, 1);
}

void PatchStaticAddressDeleted(DeviceConfigRecord& record)
{
    ZeroFields(record, ConfigField::staticIpSet, ConfigField::staticSpare);
}

void PatchLocation(DeviceConfigRecord& record, const QByteArray& location)
{
    PutText(record, ConfigField::locationLength, ConfigField::location, location);
}

void PatchModbus(DeviceConfigRecord& record, std::uint16_t port, std::uint16_t idleTimeoutSeconds)
{
    PutMarker(record, ConfigField::modbusPortSet);
    PutWord(record, ConfigField::modbusPort, port);
    PutMarker(record, ConfigField::idleTimeoutSet);
    PutWord(record, ConfigField::idleTimeout, idleTimeoutSeconds);
}

void PatchWifiMode(DeviceConfigRecord& record, std::uint8_t mode)
{
    PutMarker(record, ConfigField::wifiModeSet);
    PutByte(record, ConfigField::wifiMode, mode);
}

void PatchCalibrationPoint(DeviceConfigRecord& record, std::uint8_t point, std::uint16_t code)
{
    const bool tenVolts = point == 0;
    PutMarker(record, tenVolts ? ConfigField::cal10VSet : ConfigField::cal4mASet);
    PutWord(record, tenVolts ? ConfigField::cal10VCode : ConfigField::cal4mACode, code);
}

}  // namespace zqb
