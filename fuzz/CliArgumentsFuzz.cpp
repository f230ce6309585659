// zqb's command line: the input, split at line ends, is the argument list. Whatever it holds,
// the parser returns a command or a usage error with its reason, and what it takes stays inside
// the rules it states: a module address that can link, a port, bounds on every number.

#include "cli/CliArguments.h"
#include "FuzzSupport.h"
#include "link/ModuleAddress.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zqb;
    using namespace zqb::cli;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList arguments = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    const std::variant<Invocation, UsageError> parsed = ParseArguments(arguments);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        FUZZ_CHECK(!error->message.isEmpty());
        return 0;
    }
    const Invocation& run = std::get<Invocation>(parsed);
    QString error;
    const QString module = run.moduleAddress + QStringLiteral(":%1").arg(run.modulePort);
    FUZZ_CHECK(ParseModuleAddress(module, error).has_value());
    if (run.timeoutMs) FUZZ_CHECK(*run.timeoutMs > 0);
    if (run.clearCounter) FUZZ_CHECK(*run.clearCounter >= 0 && *run.clearCounter <= 7);
    if (run.watchCount) FUZZ_CHECK(*run.watchCount > 0);
    FUZZ_CHECK(run.watchIntervalMs > 0 && run.scanParallel > 0);
    if (run.scanRange) FUZZ_CHECK(ScanAddresses(*run.scanRange).size() <= static_cast<std::size_t>(MaxScanAddresses));
    const bool needsFile = run.command == Command::FunctionSave || run.command == Command::FunctionLoad ||
                           run.command == Command::SettingsBackup || run.command == Command::SettingsRestore ||
                           run.command == Command::Firmware;
    FUZZ_CHECK(!needsFile || !run.file.isEmpty());
    FUZZ_CHECK(run.command != Command::SettingsSet || !run.settings.empty());
    return 0;
}
