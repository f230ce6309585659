#include "mainwindow/LinkFreshness.h"

#include "protocol/CommandCodes.h"

namespace zqb {

Freshness FreshnessAfter(const Outcome& outcome, bool linked)
{
    const bool poll = outcome.command == GetIoStatus || outcome.command == GetLink;
    switch (outcome.kind) {
    case OutcomeKind::Delivered:
        if (outcome.command == GetLink && linked) return Freshness::Linked;
        return outcome.command != 0 ? Freshness::Answered : Freshness::Unchanged;
    // A refusal or a differing image sum is an answer of the module.
    case OutcomeKind::Refused:
    case OutcomeKind::VerdictMismatch: return Freshness::Answered;
    case OutcomeKind::Unreachable: return Freshness::Silent;
    // A command that may go unanswered (a restart, the web key) says nothing by its silence; a
    // poll that gets no usable answer, or an answer from another module, does.
    case OutcomeKind::NoReply:
    case OutcomeKind::CutShort:
    case OutcomeKind::InvalidReply: return poll ? Freshness::Silent : Freshness::Unchanged;
    default: return Freshness::Unchanged;
    }
}

}  // namespace zqb
