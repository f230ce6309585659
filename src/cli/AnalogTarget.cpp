#include "cli/AnalogTarget.h"

#include <cmath>

#include "protocol/DacText.h"

namespace zqb::cli {

namespace {

constexpr double VoltsPerKiloCode = 2.4422;
constexpr double MilliampsPerKiloCode = 4.8842;

}  // namespace

Result<std::int32_t> AnalogCode(const AnalogRequest& request, bool fourToTwenty)
{
    double code = request.value;
    if (request.unit == AnalogRequest::Unit::Volts) code = request.value * 1000 / VoltsPerKiloCode;
    if (request.unit == AnalogRequest::Unit::Milliamps) code = request.value * 1000 / MilliampsPerKiloCode;
    const std::int32_t least = fourToTwenty ? FourMilliampCode : 0;
    const QString reach = QStringLiteral("the %1 range reaches codes %2-%3 (%4-%5, %6-%7)")
                              .arg(fourToTwenty ? QStringLiteral("4-20 mA") : QStringLiteral("0-20 mA"))
                              .arg(least)
                              .arg(MaxDacCode)
                              .arg(DacVoltsText(least), DacVoltsText(MaxDacCode), DacMilliampsText(least),
                                   DacMilliampsText(MaxDacCode));
    if (!std::isfinite(code) || code < least - 0.5 || code >= MaxDacCode + 0.5)
        return {Outcome::BadInput(QStringLiteral("ao ") + request.text, reach), 0};
    return {Outcome::Done(), static_cast<std::int32_t>(std::lround(code))};
}

}  // namespace zqb::cli
