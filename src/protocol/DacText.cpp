#include "protocol/DacText.h"

#include <cmath>

namespace zqb {

double FourSignificant(double x)
{
    if (x == 0.0 || !std::isfinite(x)) return 0.0;
    // Scale so that 4 significant digits sit before the point, round there, scale back.
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(x))));
    const double scale = std::pow(10.0, 3 - exponent);
    return std::round(x * scale) / scale;  // std::round: half away from zero
}

QString FourSignificantThreeDecimals(double x)
{
    // Always a full stop, whatever the desktop's number format: the panel's texts are fixed.
    return QString::number(FourSignificant(x), 'f', 3);
}

double DacVolts(std::int32_t code) { return FourSignificant(code * 2.4422 / 1000); }
double DacMilliamps(std::int32_t code) { return FourSignificant(code * 4.8842 / 1000); }
int DacPercent(std::int32_t code) { return static_cast<int>(static_cast<std::int64_t>(code * 0.0244 + 0.5)); }

QString DacVoltsText(std::int32_t code) { return QString::number(DacVolts(code), 'f', 3) + QLatin1Char('V'); }
QString DacMilliampsText(std::int32_t code) { return QString::number(DacMilliamps(code), 'f', 3) + QStringLiteral("mA"); }
QString DacPercentText(std::int32_t code) { return QString::number(DacPercent(code)) + QLatin1Char('%'); }

}  // namespace zqb
