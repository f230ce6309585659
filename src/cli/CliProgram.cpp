#include "cli/CliProgram.h"

#include "cli/CliArguments.h"
#include "cli/ExitStatus.h"
#include "protocol/Ipv4Text.h"
#include "cli/LinkReport.h"
#include "cli/ModuleCommands.h"
#include "protocol/NetworkGuard.h"
#include "link/ModuleScan.h"

namespace zqb::cli {

namespace {

QString RangeText(const ScanRange& range) { return ScanRangeText(range); }

}  // namespace

int RunScan(const Invocation& invocation, CliServices& services, Output& output)
{
    std::optional<ScanRange> range = invocation.scanRange;
    if (!range) {
        QString problem;
        range = HostScanRange(*services.makeHostNetwork(), invocation.moduleAddress, false, problem);
        if (!range) {
            output.Message(problem);
            return ExitUnreachable;
        }
    }
    const std::vector<std::uint32_t> addresses = ScanAddresses(*range);
    for (std::uint32_t address : addresses) {
        if (!ConnectionAllowed(DottedText(address))) {
            output.Message(QStringLiteral("ZQB_LOOPBACK_ONLY is set: %1 reaches beyond loopback").arg(RangeText(*range)));
            return ExitUnreachable;
        }
    }
    ScanOptions options;
    options.port = invocation.modulePort;
    options.parallel = invocation.scanParallel;
    options.connectTimeoutMs = invocation.timeoutMs.value_or(DefaultScanTimeoutMs);
    options.replyTimeoutMs = invocation.timeoutMs.value_or(1000);
    options.lockDirectory = services.lockDirectory;
    int found = 0;
    for (const ScanProbe& probe : ScanAddressesForModules(addresses, options)) {
        const QString address = DottedText(probe.address);
        if (probe.outcome == ScanProbe::Outcome::Busy) {
            output.Message(QStringLiteral("%1: busy, another program is writing a file to it").arg(address));
            continue;
        }
        if (probe.outcome != ScanProbe::Outcome::Answered) continue;
        const Result<LinkRecord> decoded = DecodeLinkRecord(reinterpret_cast<const std::uint8_t*>(probe.reply.constData()),
                                                            static_cast<std::size_t>(probe.reply.size()));
        if (!decoded.Ok()) {
            output.Message(QStringLiteral("%1: answered, but %2").arg(address, DescribeOutcome(decoded.outcome)));
            continue;
        }
        const LinkRecord* report = &decoded.value;
        ++found;
        QJsonObject json{{QStringLiteral("command"), QStringLiteral("scan")}, {QStringLiteral("address"), address}};
        const QJsonObject identity = IdentityJson(*report);
        for (auto it = identity.begin(); it != identity.end(); ++it) json.insert(it.key(), it.value());
        const QString elsewhere = report->AddressText() == address
                                      ? QString()
                                      : QStringLiteral("  (reports itself as %1)").arg(report->AddressText());
        output.Result(address + QStringLiteral("  ") + IdentityLine(*report) + elsewhere, json);
    }
    output.Message(QStringLiteral("%1 addresses of %2 scanned on port %3: %4 module%5 found")
                       .arg(addresses.size())
                       .arg(RangeText(*range))
                       .arg(invocation.modulePort)
                       .arg(found)
                       .arg(found == 1 ? QString() : QStringLiteral("s")));
    return ExitDone;
}

int RunCli(const QStringList& arguments, CliServices& services, const QList<QByteArray>& raw)
{
    const std::variant<Invocation, UsageError> parsed = ParseArguments(arguments, raw);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        Output(services.terminal, false).Message(error->message + QStringLiteral("\nTry 'zqb --help'."));
        return ExitUsage;
    }
    const Invocation& invocation = std::get<Invocation>(parsed);
    if (invocation.command == Command::Help) {
        services.terminal.WriteOut(Usage().toUtf8());
        return ExitDone;
    }
    if (invocation.command == Command::Version) {
        services.terminal.WriteOut(VersionText().toUtf8());
        return ExitDone;
    }
    Output output(services.terminal, invocation.json);
    if (invocation.command == Command::Scan) return RunScan(invocation, services, output);
    return RunModuleCommand(invocation, services, output);
}

}  // namespace zqb::cli
