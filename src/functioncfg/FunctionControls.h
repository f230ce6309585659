#pragma once

#include "functioncfg/FunctionFields.h"

namespace zqb {

// The function window's controls as the record and the file see them, one per field. The
// window implements it; the record and file logic never touches a widget.
class FunctionControls {
public:
    virtual ~FunctionControls() = default;

    // Check boxes; for triggerEdge: "Rising edge (Open)" is selected.
    virtual bool Ticked(FunctionField field) const = 0;
    virtual void SetTicked(FunctionField field, bool ticked) = 0;

    // Track bars. Setting holds the position to the bar's range and runs the bar's change
    // handler only when the position then differs.
    virtual int Position(FunctionField field) const = 0;
    virtual void SetPosition(FunctionField field, int position) = 0;
};

}  // namespace zqb
