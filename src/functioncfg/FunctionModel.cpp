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

// Only the two percent bars' handlers touch another control; the others write their labels.
// The arguments are read before the nested call, as the window's handlers read them.
void FunctionModel::Changed(FunctionField field)
{
    const auto on = [this] { return Position(FunctionField::dacOnCode); };
    const auto off = [this] { return Position(FunctionField::dacOffCode); };
    if (field == FunctionField::dacOnCode) {
        if (on() >= OnBarLowest)
            SetPosition(FunctionField::dacOnCode, OnBarLowest);
        else if (off() - on() < PercentSpacing)
            SetPosition(FunctionField::dacOffCode, off() + PercentSpacing);
    } else if (field == FunctionField::dacOffCode) {
        if (off() <= OffBarHighest)
            SetPosition(FunctionField::dacOffCode, OffBarHighest);
        else if (off() - on() < PercentSpacing)
            SetPosition(FunctionField::dacOnCode, on() - PercentSpacing);
    }
}

}  // namespace zqb
