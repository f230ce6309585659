#pragma once

#include <memory>

#include <QStringList>
#include <QTemporaryDir>

#include "bridge/Bridge.h"
#include "bridge/CoreModuleClient.h"
#include "bridge/BrokerRig.h"

namespace zqb::bridge::test {

// Options for a bridge on the test broker with these modules; quick polls and waits.
inline BridgeOptions TestOptions(std::uint16_t brokerPort, const std::vector<const zqbsim::ModuleSimulator*>& modules,
                                 int pollMs = 200)
{
    BridgeOptions o;
    o.mqtt = {QStringLiteral("127.0.0.1"), brokerPort};
    o.mqttClientId = QStringLiteral("zqb-bridge-test");
    o.pollMs = pollMs;
    o.countersIntervalS = 1;
    for (const zqbsim::ModuleSimulator* m : modules) o.modules.push_back({m->Address().toString(), m->Port()});
    return o;
}

// The bridge in this process, on the real module client, with a lock folder of its own.
class BridgeRun {
public:
    ~BridgeRun() { Stop(); }

    bool Start(const BridgeOptions& options, CoreModuleClient::Timing timing = {500, 300})
    {
        BridgeServices services;
        services.hostname = QStringLiteral("testhost");
        services.lockDirectory = locks.path().toStdString();
        services.reconnectMinMs = 100;
        services.pendingCommandMs = pendingCommandMs;
        services.log = [this](const QString& line) { log << line; };
        const std::string lockDirectory = services.lockDirectory;
        services.makeClient = [lockDirectory, timing](const ModuleAddress& a) {
            return std::make_unique<CoreModuleClient>(a.address, a.port, lockDirectory, timing);
        };
        bridge = std::make_unique<Bridge>(options, services);
        QString error;
        const bool started = bridge->Start(error);
        EXPECT_TRUE(started) << error.toStdString();
        return started;
    }
    void Stop()
    {
        if (bridge) bridge->Stop(1000);
        bridge.reset();
    }

    int pendingCommandMs = 60000;
    QTemporaryDir locks;
    std::unique_ptr<Bridge> bridge;
    QStringList log;
};

}  // namespace zqb::bridge::test
