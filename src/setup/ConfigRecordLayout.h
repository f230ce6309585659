#pragma once

// The module's settings file as the console keeps a copy of it (DeviceConfigRecord). Patching
// code goes through this table, never through bare offsets.

#include <array>
#include <cstddef>

#include "protocol/RecordLayouts.h"

namespace zqb {

// The module's 256-byte settings file, "/local/syscfg.cfg".
enum class ConfigField {
    apSsidLength,
    apSsid,
    apKeyLength,
    apKey,
    staSsidLength,
    staSsid,
    staKeyLength,
    staKey,
    staticIpSet,
    staticIp,
    staticMask,
    staticGateway,
    staticSpare,  // zeroed with the fixed address, otherwise never written
    locationLength,
    location,
    wifiModeSet,
    wifiMode,
    modbusPortSet,
    modbusPort,
    staKeyTypeSet,
    staKeyType,
    idleTimeoutSet,
    idleTimeout,
    cal10VSet,
    cal10VCode,
    cal4mASet,
    cal4mACode,
};

// How a field is written: a text's length byte and its area, a marker (1 whenever the value
// after it is written), one byte, a 16-bit big-endian number, four address bytes.
enum class ConfigEncoding { TextLength, TextArea, Marker, Byte, Word, Ipv4, Spare };

struct ConfigFieldLayout {
    ConfigField field;
    FieldSpan span;
    ConfigEncoding encoding;
};

inline constexpr std::array<ConfigFieldLayout, 27> ConfigRecordTable = {{
    {ConfigField::apSsidLength, {0, 1}, ConfigEncoding::TextLength},
    {ConfigField::apSsid, {1, 31}, ConfigEncoding::TextArea},
    {ConfigField::apKeyLength, {32, 1}, ConfigEncoding::TextLength},
    {ConfigField::apKey, {33, 15}, ConfigEncoding::TextArea},
    {ConfigField::staSsidLength, {48, 1}, ConfigEncoding::TextLength},
    {ConfigField::staSsid, {49, 31}, ConfigEncoding::TextArea},
    {ConfigField::staKeyLength, {80, 1}, ConfigEncoding::TextLength},
    {ConfigField::staKey, {81, 15}, ConfigEncoding::TextArea},
    {ConfigField::staticIpSet, {96, 1}, ConfigEncoding::Byte},
    {ConfigField::staticIp, {97, 4}, ConfigEncoding::Ipv4},
    {ConfigField::staticMask, {101, 4}, ConfigEncoding::Ipv4},
    {ConfigField::staticGateway, {105, 4}, ConfigEncoding::Ipv4},
    {ConfigField::staticSpare, {109, 3}, ConfigEncoding::Spare},
    {ConfigField::locationLength, {128, 1}, ConfigEncoding::TextLength},
    {ConfigField::location, {129, 31}, ConfigEncoding::TextArea},
    {ConfigField::wifiModeSet, {160, 1}, ConfigEncoding::Marker},
    {ConfigField::wifiMode, {161, 1}, ConfigEncoding::Byte},
    {ConfigField::modbusPortSet, {164, 1}, ConfigEncoding::Marker},
    {ConfigField::modbusPort, {165, 2}, ConfigEncoding::Word},
    {ConfigField::staKeyTypeSet, {168, 1}, ConfigEncoding::Marker},
    {ConfigField::staKeyType, {169, 1}, ConfigEncoding::Byte},
    {ConfigField::idleTimeoutSet, {172, 1}, ConfigEncoding::Marker},
    {ConfigField::idleTimeout, {173, 2}, ConfigEncoding::Word},
    {ConfigField::cal10VSet, {192, 1}, ConfigEncoding::Marker},
    {ConfigField::cal10VCode, {193, 2}, ConfigEncoding::Word},
    {ConfigField::cal4mASet, {200, 1}, ConfigEncoding::Marker},
    {ConfigField::cal4mACode, {201, 2}, ConfigEncoding::Word},
}};

constexpr FieldSpan SpanOf(ConfigField field) { return ConfigRecordTable[static_cast<std::size_t>(field)].span; }

}  // namespace zqb
