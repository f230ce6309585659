// zqb-soak MINUTES [SEED]: the console (offscreen, all windows) against the simulated module on
// 127.0.0.1 for MINUTES, with user actions and module faults picked at random. Reports the
// commands sent, the faults met, the memory at start and end, and every invariant broken.
#include <cstdio>
#include <cstdlib>
#include <random>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>

#include "protocol/CommandCodes.h"
#include "support/ConsoleDriver.h"
#include "platform/WindowLook.h"

namespace {

// Resident memory in KiB, from the kernel's own count.
long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool KnownCode(std::uint8_t code)
{
    using namespace zqb;
    static const std::uint8_t codes[] = {NoCommand, SetLocator, GetLink, GetImageChecksum, SendImageChecksum, ResetModule,
                                         SetWifiMode, SetWebKey, BeginImageWriteLegacy, ClearFlashConfig, BeginFileWrite,
                                         GetDiCounters, ClearDiCounter, SetDo, SetAnalog, SetCalibration, SetOutputRange,
                                         SetFunctionConfig, GetIoStatus, ConfigWritten, GetFunctionConfig};
    for (const std::uint8_t c : codes)
        if (c == code) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    QApplication app(argc, argv);
    zqb::ApplyWindowLook();
    const double minutes = argc > 1 ? std::atof(argv[1]) : 1.0;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : std::random_device{}();
    std::mt19937 random(seed);

    using namespace zqb::test;
    ConsoleDriver console;
    if (!console.FreshModuleAndLink()) {
        std::fprintf(stderr, "zqb-soak: the console did not link to the simulator\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = static_cast<qint64>(minutes * 60000);
    long startKiB = -1;
    double startMinutes = 0;
    long iterations = 0;
    long commands = 0;
    long faultsMet = 0;
    QStringList broken;
    qint64 nextReportMs = 60000;
    while (clock.elapsed() < limitMs) {
        // Faults are met one time in three; a good run between keeps the link tested.
        const Fault* fault = random() % 3 == 0 ? &console.faults[random() % console.faults.size()] : nullptr;
        const Sender& sender = console.senders[random() % console.senders.size()];
        const std::size_t framesBefore = console.simulator->Frames().size();
        const Cell cell = console.Run(sender, fault);
        commands += static_cast<long>(console.simulator->Frames().size() - framesBefore);
        faultsMet += fault ? 1 : 0;
        QStringList problems = BrokenInvariants(sender, fault, cell);
        if (!KnownCode(cell.inFlightAfter)) problems << QStringLiteral("command in flight %1 is no command").arg(cell.inFlightAfter);
        // The next good command works: after a fault, a fresh module must link again.
        if (fault && !console.FreshModuleAndLink()) problems << QStringLiteral("no link to a good module afterwards");
        for (const QString& problem : problems)
            broken << QStringLiteral("%1 / %2: %3").arg(QLatin1String(sender.name), QLatin1String(fault ? fault->name : "no fault"), problem);
        ++iterations;
        // Memory is measured from the moment the diagnostic log, the console's one growing
        // buffer, has reached its bound.
        const QPlainTextEdit* log = console.form->Memo1;
        if (startKiB < 0 && log->blockCount() >= log->maximumBlockCount()) {
            startKiB = ResidentKiB();
            startMinutes = clock.elapsed() / 60000.0;
        }
        if (clock.elapsed() >= nextReportMs) {
            std::printf("soak: %4.1f min, %ld actions, %ld KiB\n", clock.elapsed() / 60000.0, iterations, ResidentKiB());
            std::fflush(stdout);
            nextReportMs += 60000;
        }
        if (!broken.isEmpty() && broken.size() > 50) break;
    }
    const long endKiB = ResidentKiB();
    std::printf("soak: %.1f min, seed %u, %ld actions, %ld commands received by the module, %ld faults met\n",
                clock.elapsed() / 60000.0, seed, iterations, commands, faultsMet);
    std::printf("soak: memory %ld KiB once the log was full (%.1f min), %ld KiB at the end (%+ld KiB)\n", startKiB,
                startMinutes, endKiB, endKiB - startKiB);
    std::printf("soak: %lld invariants broken\n", static_cast<long long>(broken.size()));
    for (const QString& b : broken) std::printf("  %s\n", qPrintable(b));
    return broken.isEmpty() ? 0 : 1;
}
