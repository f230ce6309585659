#include "cli/LinkReport.h"

#include <algorithm>

#include <QStringList>

#include "protocol/AnsiText.h"
#include "protocol/CommandCodes.h"
#include "protocol/DacText.h"
#include "protocol/Frames.h"
#include "protocol/RecordLayouts.h"

namespace zqb::cli {

QString IdentityLine(const LinkRecord& record)
{
    return QStringLiteral("%1 (%2)  %3  %4  %5")
        .arg(record.ModelName())
        .arg(record.model)
        .arg(record.FirmwareText(), record.MacText(), PrintableText(record.location));
}

QJsonObject IdentityJson(const LinkRecord& record)
{
    return {
        {QStringLiteral("reportedAddress"), record.AddressText()},
        {QStringLiteral("model"), record.model},
        {QStringLiteral("modelName"), record.ModelName()},
        {QStringLiteral("firmware"), record.FirmwareText()},
        {QStringLiteral("mac"), record.MacText()},
        {QStringLiteral("location"), FromAnsi(record.location)},
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
        {QStringLiteral("dacVolts"), DacVolts(code)},
        {QStringLiteral("dacMilliamps"), DacMilliamps(code)},
        {QStringLiteral("dacPercent"), DacPercent(code)},
    };
}

}  // namespace zqb::cli
