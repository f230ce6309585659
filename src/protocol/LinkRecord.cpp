#include "protocol/LinkRecord.h"

#include <algorithm>

#include <QStringList>

#include "protocol/AnsiText.h"
#include "protocol/CommandCodes.h"
#include "protocol/Frames.h"
#include "protocol/Ipv4Text.h"
#include "protocol/RecordLayouts.h"

namespace zqb {

namespace {

QString HexByte(std::uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

QString LinkRecord::AddressText() const { return DottedText(address); }

QString LinkRecord::MacText() const
{
    QStringList parts;
    for (std::uint8_t b : mac) parts << HexByte(b);
    return parts.join(QLatin1Char(':'));
}

QString LinkRecord::MacId() const { return MacText().remove(QLatin1Char(':')).toLower(); }

QString LinkRecord::FirmwareText() const
{
    return QStringLiteral("V") + HexByte(firmwareMajor) + QLatin1Char('.') + HexByte(firmwareMinor);
}

QString LinkRecord::ModelName() const { return model == SupportedModelCode ? ModelName184 : UnknownModelText; }

std::optional<int> LinkRecord::SignalDbm() const
{
    if (signalWord == 0) return std::nullopt;
    return static_cast<int>(signalWord) - 65536;
}

std::size_t WholeLinkRecordLength(std::uint8_t model)
{
    return model == SupportedModelCode ? SpanOf(LinkField::deviceConfigRecord).End() : SpanOf(LinkField::functionRecord).End();
}

Result<LinkRecord> DecodeLinkRecord(const std::uint8_t* reply, std::size_t length)
{
    Result<LinkRecord> result;
    if (length < FrameMagic.size() || !std::equal(FrameMagic.begin(), FrameMagic.end(), reply)) {
        result.outcome = Outcome::Invalid(GetLink, ReplyFault::BadMagic);
        return result;
    }
    if (length <= StatusOffset) {
        result.outcome = Outcome::Invalid(GetLink, ReplyFault::TooShort);
        result.outcome.done = length;
        result.outcome.total = StatusOffset + 1;
        return result;
    }
    if (reply[CodeOffset] != GetLink) {
        result.outcome = Outcome::Invalid(GetLink, ReplyFault::WrongEcho);
        result.outcome.status = reply[CodeOffset];
        return result;
    }
    if (reply[StatusOffset] != StatusAcknowledged) {
        result.outcome = Outcome::RefusedWith(GetLink, reply[StatusOffset]);
        return result;
    }
    const std::uint8_t model = length > SpanOf(LinkField::modelCode).offset ? reply[SpanOf(LinkField::modelCode).offset] : 0;
    const std::size_t whole = WholeLinkRecordLength(model);
    if (length < whole) {
        result.outcome = Outcome::Invalid(GetLink, ReplyFault::TooShort);
        result.outcome.done = length;
        result.outcome.total = whole;
        return result;
    }

    const auto at = [reply](LinkField field) { return reply + SpanOf(field).offset; };
    const auto byte = [&at](LinkField field) { return *at(field); };
    const auto word = [&at](LinkField field) { return GetU16(at(field)); };
    const auto text = [&at](LinkField field) { return ReadTextField(at(field), SpanOf(field).width); };
    const auto copy = [&at](LinkField field, auto& into) { std::copy_n(at(field), into.size(), into.begin()); };

    LinkRecord& r = result.value;
    r.model = model;
    copy(LinkField::moduleAddress, r.address);
    copy(LinkField::macAddress, r.mac);
    r.firmwareMajor = byte(LinkField::firmwareMajor);
    r.firmwareMinor = byte(LinkField::firmwareMinor);
    r.modbusIdleTimeout = word(LinkField::modbusIdleTimeout);
    r.location = text(LinkField::locationText);
    r.apSsid = text(LinkField::apSsid);
    r.apSecurity = byte(LinkField::apSecurity);
    if (r.apSecurity != 0) r.apKey = text(LinkField::apKey);
    r.staSsid = text(LinkField::staSsid);
    r.staKeyType = byte(LinkField::staKeyType);
    if (r.staKeyType != 0) r.staKey = text(LinkField::staKey);
    r.accessPoint = byte(LinkField::wifiMode) != 0;
    r.doBits = byte(LinkField::doBits);
    r.diBits = byte(LinkField::diBits);
    r.modbusPort = word(LinkField::modbusPort);
    r.staticIpInUse = byte(LinkField::staticIpInUse) != 0;
    copy(LinkField::staticIp, r.staticIp);
    copy(LinkField::staticMask, r.staticMask);
    copy(LinkField::staticGateway, r.staticGateway);
    r.signalWord = word(LinkField::signalStrength);
    r.dacCode = word(LinkField::dacCode);
    r.fourToTwenty = byte(LinkField::currentRange) != 0;
    copy(LinkField::functionRecord, r.functionRecord);
    if (model == SupportedModelCode) {
        DeviceConfigRecord config{};
        copy(LinkField::deviceConfigRecord, config);
        r.configRecord = config;
    }
    result.outcome = Outcome::Done(GetLink);
    return result;
}

}  // namespace zqb
