#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QString>

#include "protocol/DeviceSession.h"
#include "protocol/Outcome.h"
#include "functioncfg/FunctionControls.h"
#include "protocol/Frames.h"

namespace zqb {

inline const QString OffAboveOnText = QStringLiteral("Off value can not bigger then On value!");

// Offset of the FunctionRecord inside the SetFunctionConfig frame.
inline constexpr std::size_t FunctionRecordFrameOffset = 6;

// Percentage 0..100 to DAC code: times 40.95 in single precision, truncated, so that each
// percentage lands on floor(p * 4095 / 100).
std::uint16_t PercentToDacCode(int percent);
// DAC code to percentage: code * 0.0244 + 0.5, rounded to single precision, truncated. Every
// code PercentToDacCode makes comes back as its percentage.
int DacCodeToPercent(std::uint32_t code);

// One field as the window shows it (window to record).
std::uint32_t ReadField(const FunctionControls& controls, FunctionField field);
// Sets one field's control (record to window); a bar runs its handler only if it moves.
void ApplyField(FunctionControls& controls, FunctionField field, std::uint32_t value);

// Every field in record order, read from the controls.
using FunctionValues = std::array<std::uint32_t, 15>;
// An input error (the rule is the Off/On box's text) when the Off code is above the On code: such
// a function is never written or saved.
Result<FunctionValues> FunctionValuesOf(const FunctionControls& controls);
inline const QString OffOnField = QStringLiteral("DAC Off and On values");

FunctionRecord RecordFromValues(const FunctionValues& values);

// Builds the SetFunctionConfig frame with the window's record in bytes 6 to 37 and returns its
// length; 0, with the record bytes cleared, when the Off value is above the On value.
std::size_t BuildFunctionRecord(const FunctionControls& controls, CommandFrame& frame);

// Sets the controls from a record in record order; the Off bar before the On bar, which decides
// where their spacing rule leaves them.
void ApplyFunctionRecord(FunctionControls& controls, const FunctionRecord& record);

}  // namespace zqb
