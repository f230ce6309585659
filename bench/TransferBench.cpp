// How fast a file's data phase runs through the console's transfer code beside the same bytes
// written in 1024-byte pieces on a plain socket: a 2 MiB image to the simulated module on
// 127.0.0.1, each way announced first, timed from the data connection's connect to its close.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <time.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "BenchDoubles.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "transfer/FileTransfer.h"
#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "sim/ModuleSimulator.h"
#include "link/SimulatedHostNetwork.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of the calling thread: what the sender itself spends, whatever the module's thread does.
double ThreadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
constexpr std::uint32_t ImageBytes = 2 * 1024 * 1024;

// Draws nothing (a window's gauge is not measured); notes when the last chunk was handed over.
class TimingProgress : public zqb::TransferProgress {
public:
    void Begin(std::uint32_t) override {}
    void SetPosition(std::uint32_t) override { lastChunk = Clock::now(); }
    void Repaint() override {}
    Clock::time_point lastChunk;
};

int Connect(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

// The plain way: the same announcement, then 1024-byte writes, half-close, wait for the close.
double PlainSeconds(std::uint16_t port, const zqb::CommandFrame& announcement, const std::uint8_t* data, double& cpu,
                    double& writes)
{
    int fd = Connect(port);
    if (fd < 0 || ::write(fd, announcement.data(), 60) != 60) return -1;
    char reply[16];
    if (::read(fd, reply, sizeof reply) <= 0) return -1;
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    const auto start = Clock::now();
    const double cpuStart = ThreadCpuSeconds();
    fd = Connect(port);
    if (fd < 0) return -1;
    for (std::uint32_t offset = 0; offset < ImageBytes; offset += 1024)
        if (::write(fd, data + offset, std::min<std::uint32_t>(1024, ImageBytes - offset)) <= 0) return -1;
    writes = std::chrono::duration<double>(Clock::now() - start).count();
    ::shutdown(fd, SHUT_WR);
    while (::read(fd, reply, sizeof reply) > 0) {
    }
    ::close(fd);
    cpu = ThreadCpuSeconds() - cpuStart;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    zqbsim::ModuleSimulator module;
    if (!module.Start()) return 1;
    zqb::QuietDisplay display;
    zqb::bench::NoDialogs dialogs;
    zqb::bench::NoPauses pauses;
    TimingProgress progress;
    zqb::SimulatedHostNetwork hostBackend = zqb::SimulatedHostNetwork::LoopbackOnly();
    zqb::HostNetwork hostNetwork(hostBackend, [](const std::string&) {});
    QTemporaryDir locks;
    zqb::ModuleLink link(display, hostNetwork, dialogs, pauses, locks.path().toStdString());
    zqb::SessionContext& context = link.Context();
    link.AimAt(QStringLiteral("127.0.0.1"), module.Port());
    link.ShowProgressOn(progress);
    zqb::FileTransfer& transfer = link.Transfer();

    std::uint8_t* data = context.TransferBuffer();
    for (std::uint32_t i = 0; i < ImageBytes; ++i) data[i] = static_cast<std::uint8_t>(i * 31 + 7);
    const std::uint32_t sum = static_cast<std::uint32_t>(zqb::ByteSum(data, ImageBytes));
    zqb::CommandFrame announcement{};
    zqb::BuildFileAnnouncement(announcement, zqb::BeginFileWrite, zqb::FileAnnouncementLength, ImageBytes, sum,
                               "/local/bench.bin");
    std::copy(zqb::FrameMagic.begin(), zqb::FrameMagic.end(), announcement.begin());

    std::vector<double> console;
    std::vector<double> plain;
    std::vector<double> consoleCpu;
    std::vector<double> plainCpu;
    std::vector<double> consoleWrites;
    std::vector<double> plainWrites;
    int failures = 0;
    const auto throughConsole = [&] {
        // The announcement by the transport, then the data phase timed.
        std::copy_n(announcement.begin(), 60, context.commandFrame.begin());
        context.session.commandInFlight = 0;
        link.Transport().ExchangeCommand(60);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuSeconds();
        const zqb::Outcome result = transfer.SendData(zqb::BeginFileWrite, ImageBytes, 0, zqb::FileTransfer::GaugeAt::ChunkEnd);
        consoleCpu.push_back(ThreadCpuSeconds() - cpuStart);
        consoleWrites.push_back(std::chrono::duration<double>(progress.lastChunk - start).count());
        console.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        failures += result.Ok() && module.WaitForFile("/local/bench.bin", 3000) ? 0 : 1;
    };
    const auto throughPlainSocket = [&] {
        double cpu = 0;
        double writes = 0;
        const double seconds = PlainSeconds(module.Port(), announcement, data, cpu, writes);
        plainWrites.push_back(writes);
        failures += seconds > 0 && module.WaitForFile("/local/bench.bin", 3000) ? 0 : 1;
        plain.push_back(seconds);
        plainCpu.push_back(cpu);
    };
    // Turn about, so neither way always meets a module that has just finished the other.
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            throughConsole();
            throughPlainSocket();
        } else {
            throughPlainSocket();
            throughConsole();
        }
        module.ClearFrames();
        module.ClearConnections();
    }
    const double mib = ImageBytes / (1024.0 * 1024.0);
    const double c = Median(console);
    const double p = Median(plain);
    std::printf("2 MiB data phase on 127.0.0.1, %d runs each, %d failures (medians)\n", runs, failures);
    std::printf("%-24s %9s %12s %12s %12s\n", "", "to close", "throughput", "writes", "sender CPU");
    std::printf("%-24s %6.1f ms %7.1f MiB/s %9.2f ms %9.2f ms\n", "console transfer", c * 1e3, mib / c,
                Median(consoleWrites) * 1e3, Median(consoleCpu) * 1e3);
    std::printf("%-24s %6.1f ms %7.1f MiB/s %9.2f ms %9.2f ms\n", "plain socket, 1024 B", p * 1e3, mib / p,
                Median(plainWrites) * 1e3, Median(plainCpu) * 1e3);
    std::printf("throughput ratio console/plain: %.2f; sender CPU ratio %.2f\n", p / c, Median(consoleCpu) / Median(plainCpu));
    return failures == 0 ? 0 : 1;
}
