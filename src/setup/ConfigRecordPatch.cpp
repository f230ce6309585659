#include "ConfigRecordPatch.h"

#include <algorithm>

#include "Frames.h"

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

void PatchCalibrationPoint(DeviceConfigRecord& record, std::uint8_t point, std::uint16_t code)
{
    const bool tenVolts = point == 0;
    PutMarker(record, tenVolts ? ConfigField::cal10VSet : ConfigField::cal4mASet);
    PutWord(record, tenVolts ? ConfigField::cal10VCode : ConfigField::cal4mACode, code);
}

}  // namespace zqb
