#pragma once

#include <cstdint>

#include <QString>

namespace zqb {

// What a DAC code stands for on the analog panel: volts and milliamperes brought to 4
// significant digits and written with 3 decimals, and the whole percentage. The numbers and the
// texts come from the same formulas, so a program that reports the number never reads it back
// out of a text.
double DacVolts(std::int32_t code);             // 819 -> 2.0
double DacMilliamps(std::int32_t code);         // 3000 -> 14.65
int DacPercent(std::int32_t code);              // 819 -> 20
QString DacVoltsText(std::int32_t code);        // 819 -> "2.000V"
QString DacMilliampsText(std::int32_t code);    // 3000 -> "14.650mA"
QString DacPercentText(std::int32_t code);      // 819 -> "20%"

// x to 4 significant digits (half away from zero), then fixed with 3 decimals.
QString FourSignificantThreeDecimals(double x);
double FourSignificant(double x);

}  // namespace zqb
