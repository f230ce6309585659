#include "protocol/Outcome.h"

#include "protocol/CommandCodes.h"
#include "protocol/PeopleText.h"

namespace zqb {

bool Outcome::NothingSent() const
{
    switch (kind) {
    case OutcomeKind::Unreachable:
    case OutcomeKind::Busy:
    case OutcomeKind::InputError:
    case OutcomeKind::Declined:
    case OutcomeKind::NotReadYet:
    case OutcomeKind::FileError:
        return true;
    default:
        return false;
    }
}

Outcome Outcome::Done(std::uint8_t command)
{
    Outcome o;
    o.command = command;
    return o;
}

Outcome Outcome::RefusedWith(std::uint8_t command, std::uint8_t status)
{
    Outcome o;
    o.kind = OutcomeKind::Refused;
    o.command = command;
    o.status = status;
    return o;
}

Outcome Outcome::Invalid(std::uint8_t command, ReplyFault fault)
{
    Outcome o;
    o.kind = OutcomeKind::InvalidReply;
    o.command = command;
    o.fault = fault;
    return o;
}

Outcome Outcome::Silent(std::uint8_t command)
{
    Outcome o;
    o.kind = OutcomeKind::NoReply;
    o.command = command;
    return o;
}

Outcome Outcome::NotReached(std::uint8_t command, Unreached why, const QString& detail)
{
    Outcome o;
    o.kind = OutcomeKind::Unreachable;
    o.command = command;
    o.unreached = why;
    o.detail = detail;
    return o;
}

Outcome Outcome::Cut(std::uint8_t command, std::uint64_t done, std::uint64_t total, const QString& detail)
{
    Outcome o;
    o.kind = OutcomeKind::CutShort;
    o.command = command;
    o.done = done;
    o.total = total;
    o.detail = detail;
    return o;
}

Outcome Outcome::Mismatch(std::uint8_t command, std::uint32_t moduleSum, std::uint32_t pcSum)
{
    Outcome o;
    o.kind = OutcomeKind::VerdictMismatch;
    o.command = command;
    o.done = moduleSum;
    o.total = pcSum;
    return o;
}

Outcome Outcome::NotRead(const QString& what)
{
    Outcome o;
    o.kind = OutcomeKind::NotReadYet;
    o.field = what;
    return o;
}

Outcome Outcome::BusyBecause(std::uint8_t command, BusyWith why)
{
    Outcome o;
    o.kind = OutcomeKind::Busy;
    o.command = command;
    o.busy = why;
    return o;
}

Outcome Outcome::BadInput(const QString& field, const QString& rule)
{
    Outcome o;
    o.kind = OutcomeKind::InputError;
    o.field = field;
    o.rule = rule;
    return o;
}

Outcome Outcome::Cancelled()
{
    Outcome o;
    o.kind = OutcomeKind::Declined;
    return o;
}

Outcome Outcome::File(const QString& name, const QString& reason)
{
    Outcome o;
    o.kind = OutcomeKind::FileError;
    o.field = name;
    o.rule = reason;
    return o;
}

const char* OutcomeKindName(OutcomeKind kind)
{
    switch (kind) {
    case OutcomeKind::Delivered: return "delivered";
    case OutcomeKind::Refused: return "refused";
    case OutcomeKind::InvalidReply: return "invalid_reply";
    case OutcomeKind::NoReply: return "no_reply";
    case OutcomeKind::Unreachable: return "unreachable";
    case OutcomeKind::CutShort: return "cut_short";
    case OutcomeKind::VerdictMismatch: return "verdict_mismatch";
    case OutcomeKind::NotReadYet: return "not_read_yet";
    case OutcomeKind::Busy: return "busy";
    case OutcomeKind::InputError: return "input_error";
    case OutcomeKind::Declined: return "declined";
    case OutcomeKind::FileError: return "file_error";
    }
    return "unknown";
}

namespace {

QString NameOf(std::uint8_t code)
{
    switch (code) {
    case SetLocator: return QStringLiteral("Set Locator");
    case GetLink: return QStringLiteral("Get Link");
    case GetImageChecksum: return QStringLiteral("Get F/W CheckSum");
    case SendImageChecksum: return QStringLiteral("Send F/W CheckSum");
    case ResetModule: return QStringLiteral("Reboot");
    case SetWifiMode: return QStringLiteral("Set WiFi Mode");
    case SetWebKey: return QStringLiteral("Set WEB Key");
    case BeginImageWriteLegacy: return QStringLiteral("Image write");
    case ClearFlashConfig: return QStringLiteral("Clear Flash Cfg.");
    case BeginFileWrite: return QStringLiteral("File write");
    case GetDiCounters: return QStringLiteral("Get DI Counter");
    case ClearDiCounter: return QStringLiteral("Clear DI Counter");
    case SetDo: return QStringLiteral("Set DO");
    case SetAnalog: return QStringLiteral("Set Analog val");
    case SetCalibration: return QStringLiteral("Set DAC Cal.");
    case SetOutputRange: return QStringLiteral("Set DA Range");
    case SetFunctionConfig: return QStringLiteral("Set Function Cfg.");
    case GetIoStatus: return QStringLiteral("Get IO Status");
    case ConfigWritten: return QStringLiteral("Config Written");
    case GetFunctionConfig: return QStringLiteral("Get Function Cfg.");
    default: return QStringLiteral("command %1").arg(code);
    }
}

QString ReplyFaultText(const Outcome& o)
{
    switch (o.fault) {
    case ReplyFault::BadMagic: return QStringLiteral("is no module reply (invalid header)");
    case ReplyFault::WrongEcho: return QStringLiteral("answers %1 instead").arg(NameOf(o.status));
    case ReplyFault::TooShort: return QStringLiteral("was cut short (%1 of %2 bytes)").arg(o.done).arg(o.total);
    case ReplyFault::OtherAddress: return QStringLiteral("comes from a module that reports itself as %1").arg(o.field);
    case ReplyFault::OtherModel: return QStringLiteral("comes from a module of model %1, not %2").arg(o.status).arg(SupportedModelCode);
    case ReplyFault::None: break;
    }
    return QStringLiteral("is not valid");
}

QString UnreachedText(const Outcome& o)
{
    switch (o.unreached) {
    case Unreached::NoNetwork: return QStringLiteral("no network interface of this PC is in the module's network");
    case Unreached::SeveralNetworks:
        return QStringLiteral("more than one network interface of this PC is in the module's network");
    case Unreached::NotLoopback: return QStringLiteral("the run is held to loopback addresses");
    case Unreached::NoConnection:
    case Unreached::None:
        break;
    }
    return QStringLiteral("the module did not accept a connection");
}

QString Describe(const Outcome& o)
{
    const QString name = NameOf(o.command);
    switch (o.kind) {
    case OutcomeKind::Delivered: return o.command ? QStringLiteral("%1 done").arg(name) : QStringLiteral("done");
    case OutcomeKind::Refused: return QStringLiteral("the module refused %1 (status %2)").arg(name).arg(o.status);
    case OutcomeKind::InvalidReply: return QStringLiteral("the module's reply to %1 %2").arg(name, ReplyFaultText(o));
    case OutcomeKind::NoReply: return QStringLiteral("the module did not answer %1").arg(name);
    case OutcomeKind::Unreachable: return UnreachedText(o);
    case OutcomeKind::CutShort:
        return QStringLiteral("the connection broke during %1 after %2 of %3 bytes").arg(name).arg(o.done).arg(o.total);
    case OutcomeKind::VerdictMismatch:
        if (o.command != GetImageChecksum)
            return QStringLiteral("the module acknowledged %1, but reports %2 where %3 was asked").arg(name).arg(o.done).arg(o.total);
        return QStringLiteral("the module's checksum %1 differs from the image's %2")
            .arg(QStringLiteral("%1").arg(o.done, 8, 16, QLatin1Char('0')).toUpper(),
                 QStringLiteral("%1").arg(o.total, 8, 16, QLatin1Char('0')).toUpper());
    case OutcomeKind::NotReadYet:
        return QStringLiteral("%1 have not been read since it started or was reset; link it again first").arg(o.field);
    case OutcomeKind::Busy:
        return o.busy == BusyWith::OtherProgram ? QStringLiteral("another program is writing a file to the module")
                                                : QStringLiteral("another exchange with the module was running");
    case OutcomeKind::InputError: return QStringLiteral("%1: %2").arg(o.field, o.rule);
    case OutcomeKind::Declined: return QStringLiteral("nothing was sent");
    case OutcomeKind::FileError: return QStringLiteral("%1: %2").arg(o.field, o.rule);
    }
    return {};
}

bool IsFileWrite(std::uint8_t code) { return code == BeginFileWrite || code == BeginImageWriteLegacy; }

QString Reason(const Outcome& o)
{
    switch (o.kind) {
    case OutcomeKind::Delivered: return {};
    case OutcomeKind::Unreachable:
        if (o.unreached == Unreached::NoNetwork || o.unreached == Unreached::SeveralNetworks)
            return QStringLiteral("the device was not found on the network");
        return QStringLiteral("the device did not accept a connection");
    case OutcomeKind::Busy:
        return o.busy == BusyWith::OtherProgram ? QStringLiteral("another program is writing a file to the device")
                                                : QStringLiteral("another exchange with the device was running");
    case OutcomeKind::Refused: return QStringLiteral("the device refused it (status %1)").arg(o.status);
    case OutcomeKind::InvalidReply: return QStringLiteral("the device answered with an invalid reply");
    case OutcomeKind::NoReply: return QStringLiteral("the device did not answer");
    case OutcomeKind::CutShort:
        if (IsFileWrite(o.command))
            return QStringLiteral("the data connection broke after %1 of %2 bytes").arg(o.done).arg(o.total);
        return QStringLiteral("the connection broke on the way");
    case OutcomeKind::VerdictMismatch: return QStringLiteral("the device's checksum differs from the image's");
    case OutcomeKind::NotReadYet: return QStringLiteral("%1 have not been read since it started or was reset; link it again first").arg(o.field);
    case OutcomeKind::InputError: return o.rule;
    case OutcomeKind::FileError: return QStringLiteral("Cannot open file \"%1\". %2").arg(o.field, o.rule);
    case OutcomeKind::Declined: return QStringLiteral("it was cancelled");
    }
    return {};
}

}  // namespace

QString CommandName(std::uint8_t code) { return Said(NameOf(code)); }

QString DescribeOutcome(const Outcome& o) { return Said(Describe(o)); }

QString FailureReason(const Outcome& o) { return Said(Reason(o)); }

}  // namespace zqb
