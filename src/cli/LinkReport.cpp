#include "cli/LinkReport.h"

#include <algorithm>

#include <QStringList>

#include "protocol/AnsiText.h"
#include "protocol/CommandCodes.h"
#include "mainwindow/DacText.h"
#include "protocol/Frames.h"
#include "protocol/RecordLayouts.h"
#include "protocol/ReplyHandler.h"

namespace zqb::cli {

namespace {

QString HexByte(std::uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

// The number part of a panel text such as "4.999V".
double Amount(const QString& text, qsizetype unitLength) { return text.left(text.size() - unitLength).toDouble(); }

}  // namespace

QString LinkReport::ModelName() const { return model == SupportedModelCode ? ModelName184 : UnknownModelText; }

std::optional<LinkReport> ReadLinkReport(const std::uint8_t* reply, std::size_t length, QString& problem)
{
    if (length <= StatusOffset || !std::equal(FrameMagic.begin(), FrameMagic.end(), reply)) {
        problem = QStringLiteral("the reply is no module reply (invalid header)");
        return std::nullopt;
    }
    if (reply[CodeOffset] != GetLink) {
        problem = QStringLiteral("the reply answers command %1, not Get Link").arg(reply[CodeOffset]);
        return std::nullopt;
    }
    if (reply[StatusOffset] != StatusAcknowledged) {
        problem = RefusalText(GetLink, reply[StatusOffset]);
        return std::nullopt;
    }
    const std::size_t needed = SpanOf(LinkField::currentRange).End();
    if (length < needed) {
        problem = QStringLiteral("the link record was cut short (%1 of %2 bytes)").arg(length).arg(needed);
        return std::nullopt;
    }
    const auto at = [reply](LinkField field) { return reply + SpanOf(field).offset; };
    LinkReport report;
    report.model = *at(LinkField::modelCode);
    const std::uint8_t* address = at(LinkField::moduleAddress);
    report.reportedAddress = QStringLiteral("%1.%2.%3.%4").arg(address[0]).arg(address[1]).arg(address[2]).arg(address[3]);
    QStringList mac;
    for (std::size_t i = 0; i < SpanOf(LinkField::macAddress).width; ++i) mac << HexByte(at(LinkField::macAddress)[i]);
    report.mac = mac.join(QLatin1Char(':'));
    report.firmware = QStringLiteral("V") + HexByte(*at(LinkField::firmwareMajor)) + QLatin1Char('.') +
                      HexByte(*at(LinkField::firmwareMinor));
    report.location = ReadTextField(at(LinkField::locationText), SpanOf(LinkField::locationText).width);
    // The window shows the signal word as a negative number; 0 means none was measured.
    const int signal = GetU16(at(LinkField::signalStrength));
    if (signal != 0) report.signalDbm = signal - 65536;
    report.accessPoint = *at(LinkField::wifiMode) != 0;
    report.fourToTwenty = *at(LinkField::currentRange) != 0;
    return report;
}

QString IdentityLine(const LinkReport& report)
{
    return QStringLiteral("%1 (%2)  %3  %4  %5")
        .arg(report.ModelName())
        .arg(report.model)
        .arg(report.firmware, report.mac, PrintableText(report.location));
}

QJsonObject IdentityJson(const LinkReport& report)
{
    return {
        {QStringLiteral("reportedAddress"), report.reportedAddress},
        {QStringLiteral("model"), report.model},
        {QStringLiteral("modelName"), report.ModelName()},
        {QStringLiteral("firmware"), report.firmware},
        {QStringLiteral("mac"), report.mac},
        {QStringLiteral("location"), FromAnsi(report.location)},
    };
}

QString DacText(std::int32_t code)
{
    return QStringLiteral("%1 (%2, %3, %4)").arg(code).arg(DacVoltsText(code), DacMilliampsText(code), DacPercentText(code));
}

QJsonObject DacJson(std::int32_t code)
{
    return {
        {QStringLiteral("dacCode"), code},
        {QStringLiteral("dacVolts"), Amount(DacVoltsText(code), 1)},
        {QStringLiteral("dacMilliamps"), Amount(DacMilliampsText(code), 2)},
        {QStringLiteral("dacPercent"), Amount(DacPercentText(code), 1)},
    };
}

}  // namespace zqb::cli
