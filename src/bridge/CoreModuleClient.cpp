#include "bridge/CoreModuleClient.h"

#include <algorithm>

#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "link/ModuleLock.h"
#include "platform/Pauses.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "protocol/NetworkGuard.h"
#include "protocol/QuietDisplay.h"
#include "protocol/RecordLayouts.h"

namespace zqb::bridge {

namespace {

// The bridge runs no link timer, so a re-issue that reply handling queues never goes out; a
// host network with no adapters also keeps its network check from listing the PC's adapters on
// every refusal.
class NoHostNetwork : public HostNetworkBackend {
public:
    void AdapterScan(HostAdapterTable&) override {}
    void WifiScan(WifiInterfaceTable&) override {}
};

// No box is ever shown: every outcome reaches the bridge as a value.
class NoDialogs : public Dialogs {
public:
    MessageAnswer ShowMessage(const QString&, const QString&, MessageIcon, MessageButtons buttons) override
    {
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
};

constexpr std::size_t IoStatusLength = IoStatusReply::currentRange.End();
constexpr std::size_t SetDoLength = SetDoReply::diBits.End();
constexpr std::size_t CountersLength = CountersReply::di1Count.End();
constexpr std::size_t StatusLength = StatusOffset + 1;

}  // namespace

struct CoreModuleClient::Wiring {
    Wiring(const QString& address, std::uint16_t port) : host(backend, [](const std::string&) {}), link(display, host, dialogs, pauses)
    {
        DeviceSession& s = link.Session();
        s.hostAddress = address;
        s.staticAddressText = address;
        s.hostPort = port;
        link.Context().NetworkPrefix = address.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.');
    }

    // One command: the module's lock shared for as long as the connection is open, then the
    // reply judged by its magic, echo, status and length. `minLength` 0: no reply is read.
    template <class Build>
    Outcome Exchange(std::uint8_t code, std::size_t minLength, Build build)
    {
        if (lock.TryShared() == ModuleLock::Attempt::HeldElsewhere) return Outcome::BusyBecause(code, BusyWith::OtherProgram);
        SessionContext& context = link.Context();
        if (!BeginCommand(context, code)) {
            lock.Release();
            return Outcome::BusyBecause(code, BusyWith::Exchange);
        }
        const ExchangeResult result = link.Transport().ExchangeCommand(build(context.commandFrame));
        lock.Release();
        return Judge(result, code, minLength);
    }

    Outcome Judge(const ExchangeResult& result, std::uint8_t code, std::size_t minLength)
    {
        using Kind = ExchangeResult::Kind;
        switch (result.kind) {
        case Kind::Dropped: return Outcome::BusyBecause(code, BusyWith::Exchange);
        case Kind::NotConnected:
            return Outcome::NotReached(code, ConnectionAllowed(link.Session().hostAddress) ? Unreached::NoConnection
                                                                                          : Unreached::NotLoopback);
        case Kind::ConnectionLost:
        case Kind::NoReply: return Outcome::Silent(code);
        case Kind::Sent: return Outcome::Done(code);
        case Kind::Replied: break;
        }
        const ReplyBuffer& reply = link.Context().replyBuffer;
        const std::size_t length = std::min(result.replyLength, reply.size());
        if (length < FrameMagic.size() || !std::equal(FrameMagic.begin(), FrameMagic.end(), reply.begin()))
            return Outcome::Invalid(code, ReplyFault::BadMagic);
        const auto tooShort = [&](std::size_t needed) {
            Outcome o = Outcome::Invalid(code, ReplyFault::TooShort);
            o.done = length;
            o.total = needed;
            return o;
        };
        if (length < StatusLength) return tooShort(StatusLength);
        if (reply[CodeOffset] != code) {
            Outcome o = Outcome::Invalid(code, ReplyFault::WrongEcho);
            o.status = reply[CodeOffset];
            return o;
        }
        if (reply[StatusOffset] != StatusAcknowledged) return Outcome::RefusedWith(code, reply[StatusOffset]);
        if (length < minLength) return tooShort(minLength);
        return Outcome::Done(code);
    }

    std::uint8_t Byte(FieldSpan field) { return link.Context().replyBuffer[field.offset]; }
    std::uint16_t Word(FieldSpan field) { return GetU16(&link.Context().replyBuffer[field.offset]); }
    std::uint32_t Long(FieldSpan field) { return GetU32(&link.Context().replyBuffer[field.offset]); }

    NoHostNetwork backend;
    HostNetwork host;
    QuietDisplay display;
    NoDialogs dialogs;
    ThreadPauses pauses;
    ModuleLink link;
    ModuleLock lock;
};

CoreModuleClient::CoreModuleClient(const QString& address, std::uint16_t port, const std::string& lockDirectory, Timing timing)
    : wiring_(std::make_unique<Wiring>(address, port))
{
    CommandTransport::Timing t;
    t.connectTimeoutMs = timing.connectTimeoutMs;
    t.replyWaitMs = 10;
    t.replyWaits = std::max(1, (timing.replyWaitMs + 9) / 10);
    wiring_->link.Transport().SetTiming(t);
    wiring_->lock.Aim(lockDirectory, address.toStdString(), port);
}

CoreModuleClient::~CoreModuleClient() = default;

Result<IoState> CoreModuleClient::ReadIo()
{
    Result<IoState> r;
    r.outcome = wiring_->Exchange(zqb::GetIoStatus, IoStatusLength, [](CommandFrame& f) { return BuildGetIoStatus(f); });
    if (!r.Ok()) return r;
    Wiring& w = *wiring_;
    r.value.out = (w.Byte(IoStatusReply::doBits) & 1) != 0;
    r.value.di0 = (w.Byte(IoStatusReply::diBits) & 1) != 0;
    r.value.di1 = (w.Byte(IoStatusReply::diBits) & 2) != 0;
    r.value.signalWord = w.Word(IoStatusReply::signalStrength);
    r.value.dacCode = w.Word(IoStatusReply::dacCode);
    r.value.fourToTwenty = w.Byte(IoStatusReply::currentRange) != 0;
    return r;
}

Result<LinkRecord> CoreModuleClient::ReadLink()
{
    Wiring& w = *wiring_;
    Result<LinkRecord> r;
    r.outcome = w.Exchange(zqb::GetLink, StatusLength, [](CommandFrame& f) { return BuildGetLink(f); });
    if (!r.Ok()) return r;
    const ReplyBuffer& reply = w.link.Context().replyBuffer;
    r = DecodeLinkRecord(reply.data(), static_cast<std::size_t>(std::max(0, w.link.Session().replyLength)));
    if (!r.Ok()) return r;
    // As zqb links: only model 184, and only a module that reports the address it was reached at.
    if (r.value.model != SupportedModelCode) {
        const std::uint8_t model = r.value.model;
        r.outcome = Outcome::Invalid(GetLink, ReplyFault::OtherModel);
        r.outcome.status = model;
    } else if (r.value.AddressText() != w.link.Session().hostAddress) {
        r.outcome = Outcome::Invalid(GetLink, ReplyFault::OtherAddress);
        r.outcome.field = r.value.AddressText();
    }
    return r;
}

Result<Counters> CoreModuleClient::ReadCounters()
{
    Result<Counters> r;
    r.outcome = wiring_->Exchange(zqb::GetDiCounters, CountersLength, [](CommandFrame& f) { return BuildGetDiCounters(f, 0, 0); });
    if (!r.Ok()) return r;
    r.value.values = {wiring_->Long(CountersReply::di0Count), wiring_->Long(CountersReply::di1Count)};
    return r;
}

Outcome CoreModuleClient::SetDo(bool on)
{
    const std::uint8_t level = on ? 1 : 0;
    Outcome o = wiring_->Exchange(zqb::SetDo, SetDoLength, [level](CommandFrame& f) { return BuildSetDo(f, 1, level); });
    // An acknowledgement that reports the output otherwise did not switch it.
    if (o.Ok() && ((wiring_->Byte(SetDoReply::doBits) & 1) != 0) != on) {
        o = Outcome::Invalid(zqb::SetDo, ReplyFault::None);
        o.detail = QStringLiteral("acknowledged, but reports DO %1").arg(on ? QStringLiteral("off") : QStringLiteral("on"));
    }
    return o;
}

Outcome CoreModuleClient::SetAnalog(std::uint16_t code)
{
    return wiring_->Exchange(zqb::SetAnalog, StatusLength, [code](CommandFrame& f) { return BuildSetAnalog(f, 1, code); });
}

Outcome CoreModuleClient::SetRange(bool fourToTwenty)
{
    const std::uint8_t range = fourToTwenty ? 1 : 0;
    return wiring_->Exchange(zqb::SetOutputRange, StatusLength, [range](CommandFrame& f) { return BuildSetOutputRange(f, range); });
}

Outcome CoreModuleClient::ClearCounter(std::uint8_t input)
{
    return wiring_->Exchange(zqb::ClearDiCounter, StatusLength, [input](CommandFrame& f) { return BuildClearDiCounter(f, input); });
}

Outcome CoreModuleClient::Locate()
{
    return wiring_->Exchange(zqb::SetLocator, StatusLength, [](CommandFrame& f) { return BuildSetLocator(f, 0, 0); });
}

bool CoreModuleClient::HeldElsewhere() { return wiring_->lock.HeldExclusivelyElsewhere(); }

}  // namespace zqb::bridge
