#pragma once

// Where each field of the module's replies lies. Reading code goes through these tables, never
// through bare offsets.

#include <array>
#include <cstddef>

namespace zqb {

struct FieldSpan {
    std::size_t offset;
    std::size_t width;
    constexpr std::size_t End() const { return offset + width; }
};

// The GetLink reply (the link record), counted from the reply's first byte.
enum class LinkField {
    echo,
    status,
    modelCode,
    moduleAddress,
    macAddress,
    firmwareMajor,
    firmwareMinor,
    modbusIdleTimeout,
    locationText,
    apSsid,
    apSecurity,
    apKey,
    staSsid,
    staKeyType,
    staKey,
    wifiMode,
    doBits,
    diBits,
    modbusPort,
    staticIpInUse,
    staticIp,
    staticMask,
    staticGateway,
    signalStrength,
    dacCode,
    currentRange,
    functionRecord,
    deviceConfigRecord,
};

struct LinkFieldLayout {
    LinkField field;
    FieldSpan span;
};

inline constexpr std::array<LinkFieldLayout, 28> LinkRecordTable = {{
    {LinkField::echo, {4, 1}},
    {LinkField::status, {5, 1}},
    {LinkField::modelCode, {6, 1}},
    {LinkField::moduleAddress, {7, 4}},
    {LinkField::macAddress, {11, 6}},
    {LinkField::firmwareMajor, {24, 1}},
    {LinkField::firmwareMinor, {25, 1}},
    {LinkField::modbusIdleTimeout, {36, 2}},
    {LinkField::locationText, {40, 31}},
    {LinkField::apSsid, {80, 31}},
    {LinkField::apSecurity, {112, 1}},
    {LinkField::apKey, {113, 14}},
    {LinkField::staSsid, {128, 31}},
    {LinkField::staKeyType, {160, 1}},
    {LinkField::staKey, {161, 14}},
    {LinkField::wifiMode, {176, 1}},
    {LinkField::doBits, {177, 1}},
    {LinkField::diBits, {178, 1}},
    {LinkField::modbusPort, {179, 2}},
    {LinkField::staticIpInUse, {181, 1}},
    {LinkField::staticIp, {182, 4}},
    {LinkField::staticMask, {186, 4}},
    {LinkField::staticGateway, {190, 4}},
    {LinkField::signalStrength, {194, 2}},
    {LinkField::dacCode, {196, 2}},
    {LinkField::currentRange, {199, 1}},
    {LinkField::functionRecord, {200, 32}},
    {LinkField::deviceConfigRecord, {250, 256}},
}};

constexpr FieldSpan SpanOf(LinkField field) { return LinkRecordTable[static_cast<std::size_t>(field)].span; }

// A link record is whole when it reaches the end of the settings record it carries.
inline constexpr std::size_t LinkRecordLength = SpanOf(LinkField::deviceConfigRecord).End();

// The shorter replies.
namespace IoStatusReply {
inline constexpr FieldSpan doBits{6, 1};
inline constexpr FieldSpan diBits{7, 1};
inline constexpr FieldSpan signalStrength{8, 2};
inline constexpr FieldSpan dacCode{10, 2};
inline constexpr FieldSpan currentRange{12, 1};
}  // namespace IoStatusReply

namespace SetDoReply {
inline constexpr FieldSpan doBits{6, 1};
inline constexpr FieldSpan diBits{7, 1};
}  // namespace SetDoReply

namespace CountersReply {
inline constexpr FieldSpan di0Count{6, 4};
inline constexpr FieldSpan di1Count{10, 4};
}  // namespace CountersReply

namespace FunctionConfigReply {
inline constexpr FieldSpan recordPresent{6, 1};
inline constexpr FieldSpan record{7, 32};
}  // namespace FunctionConfigReply

namespace ImageChecksumReply {
inline constexpr FieldSpan moduleSum{6, 4};
}  // namespace ImageChecksumReply

}  // namespace zqb
