#pragma once

#include <array>
#include <cstddef>

namespace zqb {

// The fields of the FunctionRecord that the window edits, in record order; the function file
// carries the same fields in the same order.
enum class FunctionField {
    functionEnable,
    triggerEdge,
    di0TrigDo,
    di1TrigDo,
    doDelayOn,
    doHoldAfterRelease,
    di0TrigDac,
    di1TrigDac,
    dacOffCode,
    dacOnCode,
    di0DacDelayOn,
    tOn,
    tHold,
    tOff,
    di1DacDelayOn,
};

// How a field is shown in the window.
enum class FieldControl {
    Flag,         // check box: 1 ticks it
    Edge,         // the trigger radio pair: 1 selects "Rising edge (Open)"
    SecondsBar,   // vertical 0..10, seconds = 10 - position
    DelayBar,     // horizontal 0..15, seconds = position
    PercentBar,   // vertical 0..100, percent = 100 - position, stored as a DAC code
};

// The window's bars: a seconds bar's value is SecondsBarTop - position, a delay bar's its
// position up to DelayBarEnd, a percent bar's PercentBarTop - position.
inline constexpr int SecondsBarTop = 10;
inline constexpr int DelayBarEnd = 15;
inline constexpr int PercentBarTop = 100;
// The Off/On spacing rule of the two percent bars, in bar positions: they stay this far apart
// while stepped, the On bar rests at 5 % or more, the Off bar at 95 % or less.
inline constexpr int PercentSpacing = 5;
inline constexpr int OnBarLowest = 95;
inline constexpr int OffBarHighest = 5;

struct FunctionFieldLayout {
    FunctionField field;
    FieldControl control;
    std::size_t recordOffset;  // inside the 32-byte record
    std::size_t recordWidth;   // 1 or 2 bytes, big-endian
    int fileDigits;            // hexadecimal digits in the function file
};

inline constexpr std::array<FunctionFieldLayout, 15> FunctionFieldTable = {{
    {FunctionField::functionEnable, FieldControl::Flag, 0, 1, 2},
    {FunctionField::triggerEdge, FieldControl::Edge, 1, 1, 2},
    {FunctionField::di0TrigDo, FieldControl::Flag, 8, 1, 2},
    {FunctionField::di1TrigDo, FieldControl::Flag, 9, 1, 2},
    {FunctionField::doDelayOn, FieldControl::SecondsBar, 10, 2, 2},
    {FunctionField::doHoldAfterRelease, FieldControl::SecondsBar, 12, 2, 2},
    {FunctionField::di0TrigDac, FieldControl::Flag, 16, 1, 2},
    {FunctionField::di1TrigDac, FieldControl::Flag, 17, 1, 2},
    {FunctionField::dacOffCode, FieldControl::PercentBar, 18, 2, 4},
    {FunctionField::dacOnCode, FieldControl::PercentBar, 20, 2, 4},
    {FunctionField::di0DacDelayOn, FieldControl::DelayBar, 22, 2, 2},
    {FunctionField::tOn, FieldControl::SecondsBar, 24, 2, 2},
    {FunctionField::tHold, FieldControl::SecondsBar, 26, 2, 2},
    {FunctionField::tOff, FieldControl::SecondsBar, 28, 2, 2},
    {FunctionField::di1DacDelayOn, FieldControl::DelayBar, 30, 2, 2},
}};

}  // namespace zqb
