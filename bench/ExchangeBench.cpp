// How much the console's blocking exchange costs beside a bare socket cycle: N GetIoStatus
// exchanges through the transport and N plain connect/write/read/close cycles, interleaved in
// rounds against the same simulated module on 127.0.0.1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "BenchDoubles.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "sim/ModuleSimulator.h"
#include "link/SimulatedHostNetwork.h"

namespace {

using Clock = std::chrono::steady_clock;

// One bare cycle: blocking connect, the 5-byte frame, read the 13-byte status, close.
bool RawCycle(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const unsigned char frame[5] = {0x5A, 0x35, 0x77, 0xA5, zqb::GetIoStatus};
    ok = ok && ::write(fd, frame, sizeof frame) == static_cast<ssize_t>(sizeof frame);
    unsigned char reply[64];
    std::size_t got = 0;
    while (ok && got < 13) {
        const ssize_t n = ::read(fd, reply + got, sizeof reply - got);
        ok = n > 0;
        if (ok) got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return ok;
}

struct Summary {
    double perSecond;
    double medianUs;
    double p99Us;
    double meanUs;
};

Summary Summarise(std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    double total = 0;
    for (double m : micros) total += m;
    const auto at = [&](double q) { return micros[static_cast<std::size_t>(q * static_cast<double>(micros.size() - 1))]; };
    return {1e6 * static_cast<double>(micros.size()) / total, at(0.5), at(0.99), total / static_cast<double>(micros.size())};
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    constexpr int Rounds = 10;

    zqbsim::ModuleSimulator module;
    if (!module.Start()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    zqb::QuietDisplay display;
    zqb::bench::NoDialogs dialogs;
    zqb::SimulatedHostNetwork hostBackend = zqb::SimulatedHostNetwork::LoopbackOnly();
    zqb::HostNetwork hostNetwork(hostBackend, [](const std::string&) {});
    zqb::ThreadPauses pauses;
    // The lock a real program takes around each exchange is taken here too.
    QTemporaryDir locks;
    zqb::ModuleLink link(display, hostNetwork, dialogs, pauses, locks.path().toStdString());
    zqb::SessionContext& context = link.Context();
    zqb::CommandTransport& transport = link.Transport();
    link.AimAt(QStringLiteral("127.0.0.1"), module.Port());

    std::vector<double> exchange;
    std::vector<double> raw;
    int failures = 0;
    for (int round = 0; round < Rounds; ++round) {
        const int perRound = count / Rounds + (round < count % Rounds ? 1 : 0);
        for (int i = 0; i < perRound; ++i) {
            const auto start = Clock::now();
            // The whole way every sender goes: busy check, frame, lock, exchange, verdict, log.
            const zqb::Outcome outcome =
                transport.Exchange(zqb::GetIoStatus, [](zqb::CommandFrame& f) { return zqb::BuildGetIoStatus(f); });
            exchange.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            failures += outcome.Ok() && context.session.replyLength == 13 ? 0 : 1;
        }
        for (int i = 0; i < perRound; ++i) {
            const auto start = Clock::now();
            failures += RawCycle(module.Port()) ? 0 : 1;
            raw.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        module.ClearFrames();
    }

    const Summary e = Summarise(exchange);
    const Summary r = Summarise(raw);
    std::printf("GetIoStatus on 127.0.0.1, %d each, %d interleaved rounds, %d failures\n", count, Rounds, failures);
    std::printf("%-22s %10s %12s %12s %12s\n", "", "per second", "median us", "p99 us", "mean us");
    std::printf("%-22s %10.0f %12.1f %12.1f %12.1f\n", "Exchange", e.perSecond, e.medianUs, e.p99Us, e.meanUs);
    std::printf("%-22s %10.0f %12.1f %12.1f %12.1f\n", "raw socket cycle", r.perSecond, r.medianUs, r.p99Us, r.meanUs);
    std::printf("ratio exchange/raw: median %.2fx, mean %.2fx\n", e.medianUs / r.medianUs, e.meanUs / r.meanUs);
    return failures == 0 ? 0 : 1;
}
