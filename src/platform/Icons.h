#pragma once

#include <QIcon>

namespace zqb {

// The console's 24 x 24 pictures, drawn in code so that they scale cleanly and need no files.
enum class IconKind {
    Setup,          // gear
    FindMe,         // signal waves around a dot
    Refresh,        // circular arrow
    Counter,        // tally display
    Function,       // trapezoid waveform
    StepDown,       // left arrow
    StepUp,         // right arrow
    Apply,          // check mark
    Reset,          // arrows turning back
    Update,         // arrow into a chip
    Reboot,         // power sign
    ShowKey,        // open eye
};

QIcon MakeIcon(IconKind kind, int size = 24);

}  // namespace zqb
