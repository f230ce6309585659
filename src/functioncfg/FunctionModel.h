#pragma once

#include <array>

#include "functioncfg/FunctionControls.h"
#include "functioncfg/FunctionFields.h"

namespace zqb {

// The Off/On spacing rule of the two percent bars, for whichever controls hold them: run when
// `moved` (the On bar, dacOnCode, or the Off bar, dacOffCode) has changed. Setting the other bar
// runs its handler at once, nested, as the window's bars do. The window and the model both run
// this one rule.
void ApplySpacingRule(FunctionControls& controls, FunctionField moved);

// The function window's controls without the window: check boxes, the trigger pair and the nine
// track bars with their ranges, fresh positions and change handlers. A record or a file applied
// here leaves every control where the window would leave it, spacing rule included, so the
// command-line program saves and writes the same function as the window.
class FunctionModel : public FunctionControls {
public:
    FunctionModel();

    bool Ticked(FunctionField field) const override;
    void SetTicked(FunctionField field, bool ticked) override;
    int Position(FunctionField field) const override;
    // Held to the bar's range; the bar's handler runs only when the position then differs, and
    // a handler that sets another bar runs that bar's handler at once, nested.
    void SetPosition(FunctionField field, int position) override;

private:
    struct Bar {
        bool present = false;
        int maximum = 0;
        int position = 0;
    };
    static std::size_t IndexOf(FunctionField field) { return static_cast<std::size_t>(field); }
    void Changed(FunctionField field);

    std::array<bool, FunctionFieldTable.size()> ticked_{};
    std::array<Bar, FunctionFieldTable.size()> bars_{};
};

}  // namespace zqb
