#include "bridge/CoreModuleClient.h"

#include <algorithm>

#include "cli/OutputRules.h"
#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "platform/Pauses.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "protocol/ModuleReadings.h"
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

}  // namespace

struct CoreModuleClient::Wiring {
    Wiring(const QString& address, std::uint16_t port, const std::string& lockDirectory)
        : host(backend, [](const std::string&) {}), link(display, host, dialogs, pauses, lockDirectory)
    {
        link.AimAt(address, port);
    }

    // One command as every program sends it: the module's lock shared while the connection is
    // open, the reply judged by its magic, echo, status and length, the verdict a value.
    template <class Build>
    Outcome Exchange(std::uint8_t code, Build build)
    {
        return link.Transport().Exchange(code, build);
    }

    NoHostNetwork backend;
    HostNetwork host;
    QuietDisplay display;
    NoDialogs dialogs;
    ThreadPauses pauses;
    ModuleLink link;
};

CoreModuleClient::CoreModuleClient(const QString& address, std::uint16_t port, const std::string& lockDirectory, Timing timing)
    : wiring_(std::make_unique<Wiring>(address, port, lockDirectory))
{
    CommandTransport::Timing t;
    t.connectTimeoutMs = timing.connectTimeoutMs;
    t.replyWaitMs = 10;
    t.replyWaits = std::max(1, (timing.replyWaitMs + 9) / 10);
    wiring_->link.Transport().SetTiming(t);
}

CoreModuleClient::~CoreModuleClient() = default;

Result<IoState> CoreModuleClient::ReadIo()
{
    Wiring& w = *wiring_;
    const Result<IoReading> read = ReadIoStatus(w.link.Context(), w.link.Transport());
    Result<IoState> r;
    r.outcome = read.outcome;
    if (!r.Ok()) return r;
    r.value.out = (read.value.bits.doBits & 1) != 0;
    r.value.di0 = (read.value.bits.diBits & 1) != 0;
    r.value.di1 = (read.value.bits.diBits & 2) != 0;
    r.value.signalWord = read.value.signalWord;
    r.value.dacCode = cli::ShownCode(read.value.dacCode);
    r.value.fourToTwenty = read.value.fourToTwenty;
    return r;
}

Result<LinkRecord> CoreModuleClient::ReadLink()
{
    Wiring& w = *wiring_;
    Result<LinkRecord> r;
    r.outcome = w.Exchange(zqb::GetLink, [](CommandFrame& f) { return BuildGetLink(f); });
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
    const Result<CounterReading> read = ReadDiCounters(wiring_->link.Context(), wiring_->link.Transport());
    Result<Counters> r;
    r.outcome = read.outcome;
    if (r.Ok()) r.value.values = {read.value.di0, read.value.di1};
    return r;
}

Outcome CoreModuleClient::SetDo(bool on)
{
    const Result<IoBits> set = SetDigitalOutput(wiring_->link.Context(), wiring_->link.Transport(), 1, on ? 1 : 0);
    // Judged as zqb judges it: an acknowledgement that reports the output otherwise did not switch it.
    return set.Ok() ? cli::JudgeSetDo(on, set.value.doBits) : set.outcome;
}

Outcome CoreModuleClient::SetAnalog(std::uint16_t code)
{
    return wiring_->Exchange(zqb::SetAnalog, [code](CommandFrame& f) { return BuildSetAnalog(f, 1, code); });
}

Outcome CoreModuleClient::SetRange(bool fourToTwenty)
{
    const std::uint8_t range = fourToTwenty ? 1 : 0;
    return wiring_->Exchange(zqb::SetOutputRange, [range](CommandFrame& f) { return BuildSetOutputRange(f, range); });
}

Outcome CoreModuleClient::ClearCounter(std::uint8_t input)
{
    return wiring_->Exchange(zqb::ClearDiCounter, [input](CommandFrame& f) { return BuildClearDiCounter(f, input); });
}

Outcome CoreModuleClient::Locate()
{
    return wiring_->Exchange(zqb::SetLocator, [](CommandFrame& f) { return BuildSetLocator(f, 0, 0); });
}

bool CoreModuleClient::HeldElsewhere() { return wiring_->link.Transport().Lock().HeldExclusivelyElsewhere(); }

}  // namespace zqb::bridge
