#include "cli/ModuleSession.h"

#include <algorithm>

#include <QThread>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"

namespace zqb::cli {

QString OnOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }
QString RangeName(bool fourToTwenty) { return fourToTwenty ? QStringLiteral("4-20") : QStringLiteral("0-20"); }

bool Wait(int milliseconds, const std::atomic<bool>* stop)
{
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (stop && *stop) return false;
        QThread::msleep(static_cast<unsigned long>(std::min(10, milliseconds - waited)));
    }
    return !(stop && *stop);
}

ModuleSession::ModuleSession(const Invocation& invocation, CliServices& services, Output& output)
    : invocation_(invocation),
      services_(services),
      output_(output),
      hostBackend_(services.makeHostNetwork()),
      hostNetwork_(*hostBackend_, [this](const std::string& text) { output_.Message(QString::fromLocal8Bit(text.c_str())); }),
      dialogs_(output),
      link_(hostNetwork_, dialogs_, services.pauses, services.lockDirectory.toStdString()),
      display_(link_.Context()),
      progress_(output)
{
    link_.ShowOn(display_);
    link_.ShowProgressOn(progress_);
    // The link record brings the module's function into the controls, as into the window.
    display_.ShowFunctionOn(&function_);
    // A module named on the command line may be reached by cable or on loopback too.
    hostNetwork_.SetCountWiredAdapters(true);
    link_.AimAt(invocation.moduleAddress, invocation.modulePort);
    if (invocation.timeoutMs) {
        CommandTransport::Timing timing;
        timing.connectTimeoutMs = *invocation.timeoutMs;
        timing.replyWaitMs = 10;
        timing.replyWaits = std::max(1, (*invocation.timeoutMs + 9) / 10);
        link_.Transport().SetTiming(timing);
    }
}

int ModuleSession::ReplyWaitMs()
{
    const CommandTransport::Timing& t = link_.Transport().GetTiming();
    return t.replyWaits * t.replyWaitMs;
}

QString ModuleSession::ModuleText() const
{
    return QStringLiteral("%1:%2").arg(invocation_.moduleAddress).arg(invocation_.modulePort);
}

int ModuleSession::Say(int status, const QString& message)
{
    output_.Message(message);
    return status;
}

int ModuleSession::Finish(const Outcome& outcome, const QString& context)
{
    const int status = ExitStatusFor(outcome);
    if (status == ExitDone) return status;
    const QString said = Explain(outcome, ModuleText(), ReplyWaitMs());
    return Say(status, context.isEmpty() ? said : context + QStringLiteral(": ") + said);
}

QJsonObject ModuleSession::Heading(const QString& command) const
{
    return {{QStringLiteral("command"), command}, {QStringLiteral("module"), ModuleText()}};
}

Outcome ModuleSession::Link()
{
    if (const Outcome network = link_.Supervisor().CheckNetwork(); !network.Ok()) return network;
    const Outcome linked = Exchange(GetLink, [](CommandFrame& f) { return BuildGetLink(f); });
    if (!linked.Ok()) return linked;
    const Result<LinkRecord> decoded =
        DecodeLinkRecord(Context().replyBuffer.data(), static_cast<std::size_t>(Session().replyLength));
    if (!decoded.Ok()) return decoded.outcome;
    record = decoded.value;
    if (record->model != SupportedModelCode) {
        Outcome other = Outcome::Invalid(GetLink, ReplyFault::OtherModel);
        other.status = record->model;
        return other;
    }
    // The window takes nothing more from a module that answers as another address.
    if (!Session().linked) {
        Outcome other = Outcome::Invalid(GetLink, ReplyFault::OtherAddress);
        other.field = record->AddressText();
        return other;
    }
    return Outcome::Done(GetLink);
}

}  // namespace zqb::cli
