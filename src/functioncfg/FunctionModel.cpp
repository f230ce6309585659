#include "functioncfg/FunctionModel.h"

#include <algorithm>

namespace zqb {

FunctionModel::FunctionModel()
{
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        Bar& bar = bars_[IndexOf(layout.field)];
        switch (layout.control) {
        case FieldControl::Flag:
        case FieldControl::Edge:
            break;
        case FieldControl::SecondsBar:
            bar = {true, SecondsBarTop, SecondsBarTop};
            break;
        case FieldControl::DelayBar:
            bar = {true, DelayBarEnd, 0};
            break;
        case FieldControl::PercentBar:
            bar = {true, PercentBarTop, PercentBarTop};
            break;
        }
    }
}

bool FunctionModel::Ticked(FunctionField field) const { return ticked_[IndexOf(field)]; }

void FunctionModel::SetTicked(FunctionField field, bool ticked)
{
    if (!bars_[IndexOf(field)].present) ticked_[IndexOf(field)] = ticked;
}

int FunctionModel::Position(FunctionField field) const
{
    const Bar& bar = bars_[IndexOf(field)];
    return bar.present ? bar.position : 0;
}

void FunctionModel::SetPosition(FunctionField field, int position)
{
    Bar& bar = bars_[IndexOf(field)];
    if (!bar.present) return;
    position = std::clamp(position, 0, bar.maximum);
    if (position == bar.position) return;
    bar.position = position;
    Changed(field);
}

// The arguments are read before the nested call, as the window's handlers read them.
void ApplySpacingRule(FunctionControls& controls, FunctionField moved)
{
    const auto on = [&controls] { return controls.Position(FunctionField::dacOnCode); };
    const auto off = [&controls] { return controls.Position(FunctionField::dacOffCode); };
    if (moved == FunctionField::dacOnCode) {
        if (on() >= OnBarLowest)
            controls.SetPosition(FunctionField::dacOnCode, OnBarLowest);
        else if (off() - on() < PercentSpacing)
            controls.SetPosition(FunctionField::dacOffCode, off() + PercentSpacing);
    } else if (moved == FunctionField::dacOffCode) {
        if (off() <= OffBarHighest)
            controls.SetPosition(FunctionField::dacOffCode, OffBarHighest);
        else if (off() - on() < PercentSpacing)
            controls.SetPosition(FunctionField::dacOnCode, on() - PercentSpacing);
    }
}

// Only the two percent bars' handlers touch another control; the others write their labels.
void FunctionModel::Changed(FunctionField field) { ApplySpacingRule(*this, field); }

}  // namespace zqb
