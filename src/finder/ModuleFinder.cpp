#include "finder/ModuleFinder.h"

#include <algorithm>
#include <set>

#include <QStringList>

#include "link/ModuleAddress.h"
#include "protocol/Ipv4Text.h"
#include "protocol/NetworkGuard.h"

namespace zqb {

namespace {

void AddRange(FinderPlan& plan, const ScanRange& range)
{
    const bool known = std::any_of(plan.ranges.begin(), plan.ranges.end(), [&](const ScanRange& r) {
        return r.network == range.network && r.prefixLength == range.prefixLength;
    });
    if (!known) plan.ranges.push_back(range);
}

}  // namespace

FinderPlan PlanModuleNetworks(HostNetworkBackend& backend, const QString& moduleAddress, bool countWired,
                              const std::optional<QString>& givenAddress)
{
    FinderPlan plan;
    QString problem;
    if (const std::optional<ScanRange> host = HostScanRange(backend, moduleAddress, countWired, problem)) AddRange(plan, *host);
    if (givenAddress) {
        if (const std::optional<std::uint32_t> given = ParseDottedDecimal(*givenAddress))
            AddRange(plan, ModuleNetworkRange(*given));
    }
    if (plan.ranges.empty()) plan.problem = problem;
    return plan;
}

FinderPlan PlanTypedNetwork(const QString& text)
{
    FinderPlan plan;
    QString error;
    if (const std::optional<ScanRange> range = ParseScanRange(text.trimmed(), error))
        plan.ranges.push_back(*range);
    else
        plan.problem = error;
    return plan;
}

std::vector<std::uint32_t> PlanAddresses(const FinderPlan& plan, QString& problem)
{
    std::vector<std::uint32_t> addresses;
    std::set<std::uint32_t> seen;
    for (const ScanRange& range : plan.ranges) {
        for (std::uint32_t address : ScanAddresses(range)) {
            if (!ConnectionAllowed(DottedText(address))) {
                problem = QStringLiteral("this run is held to loopback addresses, and %1 reaches beyond them")
                              .arg(ScanRangeText(range));
                return {};
            }
            if (seen.insert(address).second) addresses.push_back(address);
        }
    }
    return addresses;
}

QString PlanText(const FinderPlan& plan)
{
    QStringList ranges;
    for (const ScanRange& range : plan.ranges) ranges << ScanRangeText(range);
    return ranges.join(QStringLiteral(", "));
}

std::optional<FoundModule> FoundFromProbe(const ScanProbe& probe)
{
    FoundModule found;
    found.address = probe.address;
    switch (probe.outcome) {
    case ScanProbe::Outcome::NoConnection:
    case ScanProbe::Outcome::NoReply: return std::nullopt;
    case ScanProbe::Outcome::Busy:
        found.kind = FoundModule::Kind::Busy;
        found.note = QStringLiteral("busy: another program is writing a file to it");
        return found;
    case ScanProbe::Outcome::Answered: break;
    }
    const Result<LinkRecord> decoded = DecodeLinkRecord(reinterpret_cast<const std::uint8_t*>(probe.reply.constData()),
                                                        static_cast<std::size_t>(probe.reply.size()));
    if (!decoded.Ok()) {
        found.kind = FoundModule::Kind::Unusable;
        found.note = QStringLiteral("answered, but %1").arg(DescribeOutcome(decoded.outcome));
        return found;
    }
    found.record = decoded.value;
    // The console takes a link record only from a module that reports the address it was asked at.
    if (decoded.value.AddressText() != DottedText(probe.address)) {
        found.kind = FoundModule::Kind::Unusable;
        found.note = QStringLiteral("reports itself as %1: cannot be linked here").arg(decoded.value.AddressText());
    }
    return found;
}

bool LinkConsoleTo(const SessionContext& context, DisplayRelay& display, LinkSupervisor& supervisor,
                   const QString& address, std::uint16_t port)
{
    if (context.ExchangeBusy) return false;
    display.SetAddressText(address);
    return supervisor.StaticIpClickAt(port);
}

}  // namespace zqb
