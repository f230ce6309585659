#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QString>

#include "bridge/ModuleClient.h"

namespace zqb::bridge {

// The bridge's module access on the console's own link: one per module, used on that module's
// thread only. The only file of the bridge that knows the cores' wiring.
class CoreModuleClient : public ModuleClient {
public:
    struct Timing {
        int connectTimeoutMs = 3000;
        int replyWaitMs = 1000;
    };

    // `lockDirectory` empty: no lock is looked at.
    CoreModuleClient(const QString& address, std::uint16_t port, const std::string& lockDirectory, Timing timing);
    CoreModuleClient(const QString& address, std::uint16_t port, const std::string& lockDirectory)
        : CoreModuleClient(address, port, lockDirectory, Timing{})
    {
    }
    ~CoreModuleClient() override;

    Result<IoState> ReadIo() override;
    Result<LinkRecord> ReadLink() override;
    Result<Counters> ReadCounters() override;
    Outcome SetDo(bool on) override;
    Outcome SetAnalog(std::uint16_t code) override;
    Outcome SetRange(bool fourToTwenty) override;
    Outcome ClearCounter(std::uint8_t input) override;
    Outcome Locate() override;
    bool HeldElsewhere() override;

private:
    struct Wiring;
    std::unique_ptr<Wiring> wiring_;
};

}  // namespace zqb::bridge
