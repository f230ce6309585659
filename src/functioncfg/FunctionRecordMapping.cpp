#include "functioncfg/FunctionRecordMapping.h"

#include <algorithm>

#include "protocol/CommandBuilders.h"

namespace zqb {

namespace {

std::size_t IndexOf(FunctionField field) { return static_cast<std::size_t>(field); }

}  // namespace

std::uint16_t PercentToDacCode(int percent)
{
    const float codesPerPercent = 40.95f;
    const float product = static_cast<float>(percent) * codesPerPercent;
    return static_cast<std::uint16_t>(product);
}

int DacCodeToPercent(std::uint32_t code)
{
    const float percent = static_cast<float>(code * 0.0244 + 0.5);
    return static_cast<int>(percent);
}

std::uint32_t ReadField(const FunctionControls& controls, FunctionField field)
{
    switch (FunctionFieldTable[IndexOf(field)].control) {
    case FieldControl::Flag:
    case FieldControl::Edge:
        return controls.Ticked(field) ? 1 : 0;
    case FieldControl::SecondsBar:
        return static_cast<std::uint32_t>(SecondsBarTop - controls.Position(field));
    case FieldControl::DelayBar:
        return static_cast<std::uint32_t>(controls.Position(field));
    case FieldControl::PercentBar:
        return PercentToDacCode(PercentBarTop - controls.Position(field));
    }
    return 0;
}

void ApplyField(FunctionControls& controls, FunctionField field, std::uint32_t value)
{
    switch (FunctionFieldTable[IndexOf(field)].control) {
    case FieldControl::Flag:
    case FieldControl::Edge:
        controls.SetTicked(field, value == 1);
        return;
    case FieldControl::SecondsBar:
        controls.SetPosition(field, SecondsBarTop - static_cast<int>(std::min<std::uint32_t>(value, SecondsBarTop)));
        return;
    case FieldControl::DelayBar:
        controls.SetPosition(field, static_cast<int>(std::min<std::uint32_t>(value, DelayBarEnd)));
        return;
    case FieldControl::PercentBar:
        // Codes above 4095 give more than 100 %; the bar holds them at its top.
        controls.SetPosition(field, PercentBarTop - DacCodeToPercent(value));
        return;
    }
}

Result<FunctionValues> FunctionValuesOf(const FunctionControls& controls)
{
    Result<FunctionValues> result;
    for (const FunctionFieldLayout& layout : FunctionFieldTable)
        result.value[IndexOf(layout.field)] = ReadField(controls, layout.field);
    // Equal codes pass: only an Off value strictly above the On value is refused.
    if (result.value[IndexOf(FunctionField::dacOffCode)] > result.value[IndexOf(FunctionField::dacOnCode)])
        result.outcome = Outcome::BadInput(OffOnField, OffAboveOnText);
    return result;
}

FunctionRecord RecordFromValues(const FunctionValues& values)
{
    FunctionRecord record{};
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        const std::uint32_t value = values[IndexOf(layout.field)];
        if (layout.recordWidth == 1)
            record[layout.recordOffset] = static_cast<std::uint8_t>(value);
        else
            PutU16(&record[layout.recordOffset], value);
    }
    return record;
}

std::size_t BuildFunctionRecord(const FunctionControls& controls, CommandFrame& frame)
{
    std::fill_n(frame.begin() + FunctionRecordFrameOffset, FunctionRecordSize, std::uint8_t{0});
    const Result<FunctionValues> values = FunctionValuesOf(controls);
    if (!values.Ok()) return 0;
    return BuildSetFunctionConfig(frame, RecordFromValues(values.value));
}

void ApplyFunctionRecord(FunctionControls& controls, const FunctionRecord& record)
{
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        const std::uint32_t value =
            layout.recordWidth == 1 ? record[layout.recordOffset] : GetU16(&record[layout.recordOffset]);
        ApplyField(controls, layout.field, value);
    }
}

}  // namespace zqb
