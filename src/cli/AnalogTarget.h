#pragma once

#include <cstdint>
#include <optional>

#include <QString>

#include "cli/CliArguments.h"
#include "protocol/Outcome.h"

namespace zqb::cli {

// The DAC code for "ao": a code as it is, volts and milliamperes through the window's formulas
// turned round (volts = code x 2.4422 / 1000, mA = code x 4.8842 / 1000), to the nearest code.
// The 4-20 mA range reaches codes 819 (2 V, 4 mA) to 4095, the 0-20 mA range 0 to 4095; anything
// else is an input error that says what the range reaches.
Result<std::int32_t> AnalogCode(const AnalogRequest& request, bool fourToTwenty);

inline constexpr std::int32_t FourMilliampCode = 819;
inline constexpr std::int32_t MaxDacCode = 4095;

}  // namespace zqb::cli
