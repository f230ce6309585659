#pragma once

#include <cstdint>

#include "protocol/Outcome.h"

namespace zqb::cli {

// The rules of the output commands that zqb and the bridge both apply: one place, so that the
// two can never judge the same module's answers differently.

// A code the module reports outside 0-4095 as the nearest code the output has, as the window shows it.
std::int32_t ShownCode(std::int32_t code);

// Set DO's acknowledgement carries the output's level (bit 0 of `reportedDoBits`): an
// acknowledgement that reports another level than the one asked for did not switch it.
Outcome JudgeSetDo(bool asked, std::uint8_t reportedDoBits);

// As the window ticks "4~20mA": switching to 4-20 mA with the output below 4 mA (as shown)
// raises the output to 4 mA first.
bool RangeRaisesOutput(bool fourToTwenty, std::int32_t reportedCode);

}  // namespace zqb::cli
