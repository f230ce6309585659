#include "trend/TrendRecorder.h"

#include "protocol/CommandCodes.h"

namespace zqb {

TrendEffect TrendEffectOf(const Outcome& outcome)
{
    const bool poll = outcome.command == GetIoStatus || outcome.command == GetLink;
    switch (outcome.kind) {
    case OutcomeKind::Delivered: return poll || outcome.command == SetDo ? TrendEffect::Sample : TrendEffect::None;
    // Whatever was asked, a module out of reach is a module whose state is unknown.
    case OutcomeKind::Unreachable: return TrendEffect::Gap;
    // A poll that got no usable answer: silence, a broken connection, or a reply from something
    // that is not the module polled.
    case OutcomeKind::NoReply:
    case OutcomeKind::CutShort:
    case OutcomeKind::InvalidReply: return poll ? TrendEffect::Gap : TrendEffect::None;
    // A refusal is an answer: the module is there, its values are simply not new. The rest says
    // nothing about the module (another exchange ran, the user cancelled, a file on the PC).
    default: return TrendEffect::None;
    }
}

TrendSample SampleOf(const DeviceSession& session, qint64 atMs)
{
    TrendSample sample;
    sample.atMs = atMs;
    sample.dacCode = session.dacCode;
    sample.diBits = session.diState & 3;
    sample.doBits = session.doState & 1;
    if (session.signalWord != 0) sample.signalDbm = static_cast<int>(session.signalWord) - 65536;
    return sample;
}

namespace {

TrendSample GapAt(qint64 atMs)
{
    TrendSample gap;
    gap.atMs = atMs;
    gap.gap = true;
    return gap;
}

}  // namespace

TrendRecorder::TrendRecorder(SessionContext& context) : state_(std::make_shared<State>())
{
    std::weak_ptr<State> weak = state_;
    const DeviceSession& session = context.session;
    context.outcomes.Watch([weak, &session](const LoggedOutcome& logged) {
        const std::shared_ptr<State> state = weak.lock();
        if (!state) return;
        const qint64 at = logged.at.toMSecsSinceEpoch();
        switch (TrendEffectOf(logged.outcome)) {
        case TrendEffect::Sample: {
            // Another module's values are not drawn on from the last one's.
            const QString module = session.hostAddress + QLatin1Char(':') + QString::number(session.hostPort);
            if (!state->module.isEmpty() && module != state->module) state->history.Append(GapAt(at));
            state->module = module;
            state->history.Append(SampleOf(session, at));
            break;
        }
        case TrendEffect::Gap: state->history.Append(GapAt(at)); break;
        case TrendEffect::None: break;
        }
    });
}

}  // namespace zqb
