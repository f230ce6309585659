// Patches of the module's settings record. The input seeds a random record and then lists
// patches with their values; texts go through ToModuleText as typed text does. Each patch runs on
// the record and on its complement, so a stray write shows whatever the byte held: only the
// bytes of the fields it writes may change, and they must hold what was asked.

#include <random>

#include "protocol/AnsiText.h"
#include "setup/ConfigRecordPatch.h"
#include "protocol/Frames.h"
#include "FuzzSupport.h"

namespace {

using namespace zqb;

// The record before the patch, with the bytes a patch may write taken over from the patched one
// as each is checked: in the end it must equal the patched record.
struct Allowed {
    const DeviceConfigRecord& patched;
    DeviceConfigRecord expected;
};

void Allow(Allowed& mask, ConfigField field, std::size_t width = SIZE_MAX)
{
    const FieldSpan span = SpanOf(field);
    std::copy_n(&mask.patched[span.offset], std::min(width, span.width), &mask.expected[span.offset]);
}

std::uint8_t At(const DeviceConfigRecord& record, ConfigField field) { return record[SpanOf(field).offset]; }
std::uint16_t WordAt(const DeviceConfigRecord& record, ConfigField field) { return GetU16(&record[SpanOf(field).offset]); }

bool AllZero(const DeviceConfigRecord& record, ConfigField field)
{
    const FieldSpan span = SpanOf(field);
    return std::all_of(&record[span.offset], &record[span.End()], [](std::uint8_t b) { return b == 0; });
}

// A text's length byte and the area bytes it covers; the length never passes the area.
void CheckText(const DeviceConfigRecord& record, Allowed& mask, ConfigField length, ConfigField area, const QByteArray& text)
{
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(text.size()), SpanOf(area).width);
    FUZZ_CHECK(At(record, length) == n);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.constData());
    FUZZ_CHECK(std::equal(bytes, bytes + n, &record[SpanOf(area).offset]));
    Allow(mask, length);
    Allow(mask, area, n);
}

// Typed text: Latin-1 or UTF-8 bytes of a length the first byte gives. Nothing when ToModuleText
// refuses it, which it must do exactly for characters outside printable Latin-1.
std::optional<QByteArray> TypedText(fuzz::Input& in)
{
    const std::uint8_t head = in.Byte();
    const QByteArray raw = in.Bytes(head % 40);
    const QString text = head & 0x80 ? QString::fromUtf8(raw) : QString::fromLatin1(raw);
    const bool printable = std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF);
    });
    const std::optional<QByteArray> bytes = ToModuleText(text);
    FUZZ_CHECK(bytes.has_value() == printable);
    if (bytes) FUZZ_CHECK(bytes->size() == text.size() && QString::fromLatin1(*bytes) == text);
    return bytes;
}

Ipv4Bytes Address(fuzz::Input& in) { return {in.Byte(), in.Byte(), in.Byte(), in.Byte()}; }

// One patch picked by the input, applied to `record`; the fields it may write go into `mask`.
void Patch(fuzz::Input& in, DeviceConfigRecord& record, Allowed& mask)
{
    switch (in.Byte() % 8) {
    case 0: {
        const auto ssid = TypedText(in), key = TypedText(in);
        if (!ssid || !key) return;
        PatchApSettings(record, *ssid, *key);
        CheckText(record, mask, ConfigField::apSsidLength, ConfigField::apSsid, *ssid);
        if (key->isEmpty()) {
            FUZZ_CHECK(At(record, ConfigField::apKeyLength) == 0 && AllZero(record, ConfigField::apKey));
            Allow(mask, ConfigField::apKeyLength);
            Allow(mask, ConfigField::apKey);
        } else {
            CheckText(record, mask, ConfigField::apKeyLength, ConfigField::apKey, *key);
        }
        return;
    }
    case 1: {
        const auto ssid = TypedText(in), key = TypedText(in);
        const auto type = static_cast<StationKeyType>(in.Byte() % 3);
        if (!ssid || !key) return;
        PatchStationSettings(record, *ssid, type, *key);
        CheckText(record, mask, ConfigField::staSsidLength, ConfigField::staSsid, *ssid);
        if (type == StationKeyType::Open) {
            FUZZ_CHECK(At(record, ConfigField::staKeyLength) == 0 && AllZero(record, ConfigField::staKey));
            Allow(mask, ConfigField::staKeyLength);
            Allow(mask, ConfigField::staKey);
        } else {
            CheckText(record, mask, ConfigField::staKeyLength, ConfigField::staKey, *key);
        }
        FUZZ_CHECK(At(record, ConfigField::staKeyTypeSet) == 1 && At(record, ConfigField::staKeyType) == static_cast<std::uint8_t>(type));
        Allow(mask, ConfigField::staKeyTypeSet);
        Allow(mask, ConfigField::staKeyType);
        return;
    }
    case 2: {
        const Ipv4Bytes address = Address(in), netmask = Address(in), gateway = Address(in);
        PatchStaticAddress(record, address, netmask, gateway);
        const auto holds = [&](ConfigField field, const Ipv4Bytes& value) {
            Allow(mask, field);
            return std::equal(value.begin(), value.end(), &record[SpanOf(field).offset]);
        };
        FUZZ_CHECK(holds(ConfigField::staticIp, address) && holds(ConfigField::staticMask, netmask) &&
                   holds(ConfigField::staticGateway, gateway));
        FUZZ_CHECK(At(record, ConfigField::staticIpSet) == 1);
        Allow(mask, ConfigField::staticIpSet);
        return;
    }
    case 3:
        PatchStaticAddressDeleted(record);
        for (ConfigField field : {ConfigField::staticIpSet, ConfigField::staticIp, ConfigField::staticMask,
                                  ConfigField::staticGateway, ConfigField::staticSpare}) {
            FUZZ_CHECK(AllZero(record, field));
            Allow(mask, field);
        }
        return;
    case 4: {
        const auto location = TypedText(in);
        if (!location) return;
        PatchLocation(record, *location);
        CheckText(record, mask, ConfigField::locationLength, ConfigField::location, *location);
        return;
    }
    case 5: {
        const std::uint16_t port = in.Word(), idle = in.Word();
        PatchModbus(record, port, idle);
        FUZZ_CHECK(At(record, ConfigField::modbusPortSet) == 1 && WordAt(record, ConfigField::modbusPort) == port);
        FUZZ_CHECK(At(record, ConfigField::idleTimeoutSet) == 1 && WordAt(record, ConfigField::idleTimeout) == idle);
        for (ConfigField field : {ConfigField::modbusPortSet, ConfigField::modbusPort, ConfigField::idleTimeoutSet,
                                  ConfigField::idleTimeout})
            Allow(mask, field);
        return;
    }
    case 6: {
        const std::uint8_t mode = in.Byte();
        PatchWifiMode(record, mode);
        FUZZ_CHECK(At(record, ConfigField::wifiModeSet) == 1 && At(record, ConfigField::wifiMode) == mode);
        Allow(mask, ConfigField::wifiModeSet);
        Allow(mask, ConfigField::wifiMode);
        return;
    }
    default: {
        const std::uint8_t point = in.Byte();
        const std::uint16_t code = in.Word();
        PatchCalibrationPoint(record, point, code);
        const ConfigField marker = point == 0 ? ConfigField::cal10VSet : ConfigField::cal4mASet;
        const ConfigField value = point == 0 ? ConfigField::cal10VCode : ConfigField::cal4mACode;
        FUZZ_CHECK(At(record, marker) == 1 && WordAt(record, value) == code);
        Allow(mask, marker);
        Allow(mask, value);
        return;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The table the checks rely on: fields in order, inside the record, never overlapping.
    std::size_t end = 0;
    for (const ConfigFieldLayout& layout : ConfigRecordTable) {
        FUZZ_CHECK(layout.span.offset >= end && layout.span.width > 0);
        end = layout.span.End();
    }
    FUZZ_CHECK(end <= DeviceConfigRecordSize);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input in(data, size);
    const std::uint32_t high = in.Word();
    std::minstd_rand random(high << 16 | in.Word());
    DeviceConfigRecord record;
    for (std::uint8_t& b : record) b = static_cast<std::uint8_t>(random());

    while (in.Left() > 0) {
        const fuzz::Input start = in;
        for (int pass = 0; pass < 2; ++pass) {
            fuzz::Input step = start;
            DeviceConfigRecord patched = record;
            if (pass == 1)
                for (std::uint8_t& b : patched) b = static_cast<std::uint8_t>(~b);
            Allowed mask{patched, patched};
            Patch(step, patched, mask);
            FUZZ_CHECK(mask.expected == patched);
            if (pass == 0) record = patched;
            in = step;
        }
    }
    return 0;
}
