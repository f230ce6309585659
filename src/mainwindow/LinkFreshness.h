#pragma once

#include "protocol/Outcome.h"

namespace zqb {

// What one outcome says of the values the status display shows. The link supervision keeps a
// module linked while it stops answering (only a lost network unlinks it), so the display judges
// for itself from what the module last did.
enum class Freshness {
    Unchanged,  // says nothing of the module: another exchange ran, an input or a file was refused
    Answered,   // the module answered: what the polls bring is current again
    Linked,     // a link record was taken: everything shown is current
    Silent,     // the module did not answer, or could not be reached: what is shown is stale
};

// `linked`: the session counts the module as linked after the outcome.
Freshness FreshnessAfter(const Outcome& outcome, bool linked);

}  // namespace zqb
