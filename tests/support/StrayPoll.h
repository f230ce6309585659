#pragma once

// Another program of this PC that polls the module at the worst moment: from the moment a file
// or image announcement reaches the module until its data connection comes, every 2 ms. It keeps
// to the module lock as every program of the project does (shared around each poll), so with the
// lock held through the file write it never gets in; if it got in, the module would take its
// poll for the file's data.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "protocol/CommandCodes.h"
#include "protocol/ModuleLock.h"
#include "sim/ModuleSimulator.h"

namespace zqb::test {

class StrayPoll {
public:
    StrayPoll(zqbsim::ModuleSimulator& module, std::string lockDirectory)
        : module_(module), lockDirectory_(std::move(lockDirectory)), port_(module.Port()),
          framesBefore_(module.Frames().size()), dataBefore_(DataConnections()), thread_([this] { Run(); })
    {
    }
    ~StrayPoll() { Stop(); }
    StrayPoll(const StrayPoll&) = delete;
    StrayPoll& operator=(const StrayPoll&) = delete;

    void Stop()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // An announcement reached the module while the poller watched.
    bool MetAnAnnouncement() const { return met_; }
    // Polls that reached the module between an announcement and its data connection.
    int GotIn() const { return gotIn_; }

private:
    void Run()
    {
        std::size_t seen = framesBefore_;
        while (!stop_ && !met_) {
            if (!module_.WaitForFrames(seen + 1, 10)) continue;
            const auto frames = module_.Frames();
            for (; seen < frames.size(); ++seen) {
                const QByteArray& frame = frames[seen];
                const auto code = frame.size() > 4 ? static_cast<std::uint8_t>(frame[4]) : 0;
                met_ = met_ || code == BeginFileWrite || code == BeginImageWriteLegacy;
            }
        }
        if (!met_) return;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
        while (!stop_ && DataConnections() == dataBefore_ && std::chrono::steady_clock::now() < until) {
            ModuleLock lock;
            lock.Aim(lockDirectory_, "127.0.0.1", port_);
            if (lock.TryShared() != ModuleLock::Attempt::HeldElsewhere && PollOnce()) ++gotIn_;
            lock.Release();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::size_t DataConnections() const
    {
        std::size_t count = 0;
        for (const zqbsim::ConnectionRecord& c : module_.Connections())
            count += c.kind == zqbsim::ConnectionRecord::Kind::Data ? 1 : 0;
        return count;
    }

    // GetIoStatus on a connection of its own, as a poller sends it; true when it connected.
    bool PollOnce() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return false;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port_);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
        if (connected) {
            const unsigned char frame[] = {0x5A, 0x35, 0x77, 0xA5, GetIoStatus};
            (void)!::send(fd, frame, sizeof frame, MSG_NOSIGNAL);
            pollfd wait{fd, POLLIN, 0};
            ::poll(&wait, 1, 50);
        }
        ::close(fd);
        return connected;
    }

    zqbsim::ModuleSimulator& module_;
    std::string lockDirectory_;
    std::uint16_t port_;
    std::size_t framesBefore_;
    std::size_t dataBefore_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> met_{false};
    std::atomic<int> gotIn_{0};
    std::thread thread_;
};

}  // namespace zqb::test
