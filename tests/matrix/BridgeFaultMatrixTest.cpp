// Every command the bridge takes from MQTT, and its poll, against every way the module can
// misbehave. The bridge never claims what did not happen: a result with ok only with the effect
// on the module, a failure with its reason, a state only as the module reported it, and the next
// command on a good module works.
#include <gtest/gtest.h>

#include <functional>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "bridge/BrokerRig.h"
#include "bridge/CoreModuleClient.h"
#include "bridge/FakeModuleClient.h"
#include "sim/ModuleSimulator.h"

namespace zqb::bridge::test {
namespace {

IoState IoOf(const zqbsim::ModuleState& s)
{
    IoState io;
    io.di0 = (s.diBits & 1) != 0;
    io.di1 = (s.diBits & 2) != 0;
    io.out = (s.doBits & 1) != 0;
    io.dacCode = s.dacCode;
    io.fourToTwenty = s.rangeFourToTwenty != 0;
    io.signalWord = s.rssiWord;
    return io;
}

class BridgeFaultMatrix : public ::testing::Test {
protected:
    void FreshModule()
    {
        if (module) module->Stop();
        module = std::make_unique<zqbsim::ModuleSimulator>();
        zqbsim::ModuleState state;
        state.location = "Matrix";
        state.diBits = 1;
        state.dacCode = 1000;
        state.diCounters[0] = 5;
        module->SetState(state);
        ASSERT_TRUE(module->Start());
    }

    // A worker on this thread, linked to the module while it still behaves.
    std::unique_ptr<ModuleWorker> LinkedWorker(RecordingSink& sink)
    {
        const std::uint16_t port = module->Port();
        const std::string locks = lockDir.path().toStdString();
        auto worker = std::make_unique<ModuleWorker>(
            ModuleAddress{QStringLiteral("127.0.0.1"), port},
            [port, locks] { return std::make_unique<CoreModuleClient>(QStringLiteral("127.0.0.1"), port, locks, CoreModuleClient::Timing{150, 150}); },
            WorkerSchedule{600000, 600000, 600000, 3}, sink);
        worker->Begin();
        EXPECT_TRUE(!sink.views.empty() && sink.views.back().available) << "the good module did not link";
        return worker;
    }

    std::unique_ptr<zqbsim::ModuleSimulator> module;
    QTemporaryDir lockDir;
};

struct Command {
    const char* name;
    QByteArray payload;
    std::function<bool(const zqbsim::ModuleState&)> effect;
    // The module need not answer it: a frame delivered whole to a silent module is done.
    bool mayGoUnanswered = false;
};

struct Fault {
    const char* name;
    std::function<void(zqbsim::Misbehaviour&, zqbsim::ModuleState&)> set;
    bool spoilsAll = false;
    bool vanishes = false;
    bool silences = false;
};

TEST_F(BridgeFaultMatrix, EveryCommandAndPollAgainstEveryFault)
{
    using S = zqbsim::ModuleState;
    const Command commands[] = {
        {"do/set", "ON", [](const S& s) { return s.doBits == 1; }},
        {"ao/set", "100", [](const S& s) { return s.dacCode == 100; }},
        {"ao/set", "5V", [](const S& s) { return s.dacCode == 2047; }},
        {"range/set", "4-20", [](const S& s) { return s.rangeFourToTwenty == 1; }, true},
        {"counters/clear", "0", [](const S& s) { return s.diCounters[0] == 0; }, true},
        {"locate/set", "PRESS", [](const S& s) { return s.locatorCount > 0; }},
    };
    using M = zqbsim::Misbehaviour;
    const Fault faults[] = {
        {"silent", [](M& b, S&) { b.silent = true; }, true, false, true},
        {"refused connection", [](M& b, S&) { b.refuseConnections = true; }, true},
        {"status 3", [](M& b, S&) { b.status = 3; }, true},
        {"bad magic", [](M& b, S&) { b.badMagic = true; }, true},
        {"another address", [](M&, S& s) { s.reportedAddress = {127, 0, 0, 2}; }},
        {"another model", [](M&, S& s) { s.modelCode = 12; }},
        {"split reply", [](M& b, S&) { b.splitPieces = {3}; b.pieceDelayMs = 100; }},
        {"slow reply", [](M& b, S&) { b.replyDelayMs = 300; }},
        {"wrong echo", [](M& b, S&) { b.echoOverride = 0x55; }, true},
        {"reply over 4096 bytes", [](M& b, S&) { b.replyLength = 5000; }},
        {"short reply", [](M& b, S&) { b.replyLength = 5; }, true},
        {"vanishing", [](M&, S&) {}, false, true},
    };

    int cells = 0;
    for (const Fault& fault : faults) {
        for (const Command& command : commands) {
            SCOPED_TRACE((QLatin1String(command.name) + QLatin1Char(' ') + QString::fromUtf8(command.payload) + QStringLiteral(" / ") +
                          QLatin1String(fault.name)).toStdString());
            FreshModule();
            RecordingSink sink;
            std::unique_ptr<ModuleWorker> worker = LinkedWorker(sink);
            const IoState before = IoOf(module->State());
            M behaviour;
            S state = module->State();
            fault.set(behaviour, state);
            module->SetState(state);
            module->SetBehaviour(behaviour);
            QTimer vanish;
            vanish.setSingleShot(true);
            QObject::connect(&vanish, &QTimer::timeout, [this] { module->Stop(); });
            if (fault.vanishes) vanish.start(40);
            const std::size_t viewsBefore = sink.views.size();

            const auto parsed = ParseCommand(QLatin1String(command.name), command.payload);
            ASSERT_TRUE(std::holds_alternative<BridgeCommand>(parsed));
            worker->Submit(std::get<BridgeCommand>(parsed));
            worker->PollNow();  // the command, then a poll
            vanish.stop();

            ASSERT_EQ(sink.results.size(), 1u);
            const Outcome& outcome = sink.results[0].outcome;
            if (outcome.Ok()) {
                EXPECT_FALSE(fault.spoilsAll && !(fault.silences && command.mayGoUnanswered)) << "success despite the fault";
                EXPECT_TRUE(Eventually([&] { return command.effect(module->State()); }, 2000)) << "claimed without the effect";
            } else {
                EXPECT_NE(outcome.kind, OutcomeKind::InputError) << DescribeOutcome(outcome).toStdString();
                EXPECT_FALSE(DescribeOutcome(outcome).isEmpty());
            }
            // A state is told only as the module had it, before or after the command.
            const IoState after = IoOf(module->State());
            for (std::size_t i = viewsBefore; i < sink.views.size(); ++i) {
                if (!sink.views[i].io) continue;
                EXPECT_TRUE(*sink.views[i].io == before || *sink.views[i].io == after) << "a state the module never had";
            }
            worker.reset();

            // The next command on a good module works.
            FreshModule();
            RecordingSink good;
            std::unique_ptr<ModuleWorker> next = LinkedWorker(good);
            next->Submit(std::get<BridgeCommand>(ParseCommand(QStringLiteral("locate/set"), {})));
            next->PollNow();
            ASSERT_EQ(good.results.size(), 1u);
            EXPECT_TRUE(good.results[0].outcome.Ok());
            ++cells;
        }
    }
    EXPECT_EQ(cells, 6 * 12);
}

}  // namespace
}  // namespace zqb::bridge::test
