#include "cli/ExitStatus.h"

#include "protocol/CommandCodes.h"
#include "protocol/Ipv4Text.h"
#include "protocol/LinkRecord.h"
#include "protocol/PeopleText.h"
#include "protocol/ReplyHandler.h"

namespace zqb::cli {

int ExitStatusFor(const Outcome& outcome)
{
    switch (outcome.kind) {
    case OutcomeKind::Delivered: return ExitDone;
    case OutcomeKind::Refused:
    case OutcomeKind::InvalidReply:
    case OutcomeKind::VerdictMismatch:
    case OutcomeKind::NotReadYet:
    case OutcomeKind::Busy:
        return ExitRefused;
    case OutcomeKind::InputError:
    case OutcomeKind::Declined:
    case OutcomeKind::FileError:
        return ExitUsage;
    case OutcomeKind::Unreachable:
    case OutcomeKind::NoReply:
    case OutcomeKind::CutShort:
        return ExitUnreachable;
    }
    return ExitRefused;
}

namespace {

QString Explanation(const Outcome& o, const QString& module, int replyWaitMs)
{
    const QString name = CommandName(o.command);
    switch (o.kind) {
    case OutcomeKind::Delivered: return {};
    case OutcomeKind::Unreachable:
        switch (o.unreached) {
        case Unreached::NotLoopback: return QStringLiteral("ZQB_LOOPBACK_ONLY is set: %1 is not a loopback address").arg(module);
        case Unreached::NoNetwork:
            return QStringLiteral("no network interface of this PC has an address in %1x, the module's network")
                .arg(NetworkPrefixOf(module.section(QLatin1Char(':'), 0, 0)));
        case Unreached::SeveralNetworks:
            return QStringLiteral("more than one network interface of this PC has an address in %1x; "
                                  "the module must be reached through one")
                .arg(NetworkPrefixOf(module.section(QLatin1Char(':'), 0, 0)));
        default: return QStringLiteral("no connection to the module at %1").arg(module);
        }
    case OutcomeKind::NoReply:
        return QStringLiteral("the module at %1 did not answer %2 within %3 ms").arg(module, name).arg(replyWaitMs);
    case OutcomeKind::Refused: return RefusalText(o.command, o.status);
    case OutcomeKind::InvalidReply:
        switch (o.fault) {
        case ReplyFault::OtherAddress:
            return QStringLiteral("the module at %1 reports itself as %2; give --module %2").arg(module, o.field);
        case ReplyFault::OtherModel:
            return QStringLiteral("the module at %1 reports model %2; zqb knows model %3 (%4) only")
                .arg(module)
                .arg(o.status)
                .arg(SupportedModelCode)
                .arg(ModelName184);
        default: return QStringLiteral("the module at %1: %2").arg(module, DescribeOutcome(o));
        }
    case OutcomeKind::CutShort:
        if (o.command == BeginFileWrite || o.command == BeginImageWriteLegacy)
            return QStringLiteral("the data connection to the module at %1 broke after %2 of %3 bytes").arg(module).arg(o.done).arg(o.total);
        return QStringLiteral("the connection to the module at %1 broke during %2").arg(module, name);
    case OutcomeKind::Busy:
        if (o.busy == BusyWith::OtherProgram) return QStringLiteral("%1: another program is writing a file to this module").arg(module);
        return DescribeOutcome(o);
    case OutcomeKind::VerdictMismatch:
    case OutcomeKind::NotReadYet:
    case OutcomeKind::Declined:
        return DescribeOutcome(o);
    case OutcomeKind::InputError: return o.field.isEmpty() ? o.rule : QStringLiteral("%1: %2").arg(o.field, o.rule);
    case OutcomeKind::FileError: return QStringLiteral("%1: %2").arg(o.field, o.rule);
    }
    return DescribeOutcome(o);
}

}  // namespace

QString Explain(const Outcome& o, const QString& module, int replyWaitMs) { return Said(Explanation(o, module, replyWaitMs)); }

}  // namespace zqb::cli
