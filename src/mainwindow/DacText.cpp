#include "mainwindow/DacText.h"

#include <cmath>

namespace zqb {

QString FourSignificantThreeDecimals(double x)
{
    if (x == 0.0 || !std::isfinite(x)) return QStringLiteral("0.000");
    // Scale so that 4 significant digits sit before the point, round there, scale back.
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(x))));
    const double scale = std::pow(10.0, 3 - exponent);
    const double rounded = std::round(x * scale) / scale;  // std::round: half away from zero
    // Always a full stop, whatever the desktop's number format: the panel's texts are fixed.
    return QString::number(rounded, 'f', 3);
}

QString DacVoltsText(std::int32_t code) { return FourSignificantThreeDecimals(code * 2.4422 / 1000) + QLatin1Char('V'); }

QString DacMilliampsText(std::int32_t code)
{
    return FourSignificantThreeDecimals(code * 4.8842 / 1000) + QStringLiteral("mA");
}

QString DacPercentText(std::int32_t code)
{
    return QString::number(static_cast<std::int64_t>(code * 0.0244 + 0.5)) + QLatin1Char('%');
}

}  // namespace zqb
