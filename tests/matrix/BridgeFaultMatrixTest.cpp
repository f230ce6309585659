// Every command the bridge takes from MQTT, and its poll, against every way the module can
// misbehave. The bridge never claims what did not happen: a result with ok only with the effect
// on the module, a failure with its reason, a state only as the module reported it, and once the
// module behaves again the same worker's next command works.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "bridge/BrokerRig.h"
#include "bridge/CoreModuleClient.h"
#include "bridge/FakeModuleClient.h"
#include "protocol/CommandCodes.h"
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
    std::uint8_t code;  // the command's own frame
    std::function<bool(const zqbsim::ModuleState&)> effect;
    // The module need not answer it: a frame delivered whole to a silent module is done.
    bool mayGoUnanswered = false;
};

using Code = std::uint8_t;

struct Fault {
    const char* name;
    std::function<void(zqbsim::Misbehaviour&, zqbsim::ModuleState&, Code)> set;
    bool spoilsAll = false;
    bool vanishes = false;
    bool silences = false;
    // Whether the command succeeds under the fault, where that is certain.
    std::function<bool(const Command&)> succeeds;
};

TEST_F(BridgeFaultMatrix, EveryCommandAndPollAgainstEveryFault)
{
    using S = zqbsim::ModuleState;
    const Command commands[] = {
        {"do/set", "ON", zqb::SetDo, [](const S& s) { return s.doBits == 1; }},
        {"ao/set", "100", zqb::SetAnalog, [](const S& s) { return s.dacCode == 100; }},
        {"ao/set", "5V", zqb::SetAnalog, [](const S& s) { return s.dacCode == 2047; }},
        {"range/set", "4-20", zqb::SetOutputRange, [](const S& s) { return s.rangeFourToTwenty == 1; }, true},
        {"counters/clear", "0", zqb::ClearDiCounter, [](const S& s) { return s.diCounters[0] == 0; }, true},
        {"locate/set", "PRESS", zqb::SetLocator, [](const S& s) { return s.locatorCount > 0; }},
    };
    using M = zqbsim::Misbehaviour;
    const auto never = [](const Command&) { return false; };
    const auto onlyUnanswerable = [](const Command& c) { return c.mayGoUnanswered; };
    const Fault faults[] = {
        {"silent", [](M& b, S&, Code) { b.silent = true; }, true, false, true, {}},
        {"refused connection", [](M& b, S&, Code) { b.refuseConnections = true; }, true, false, false, {}},
        {"status 3", [](M& b, S&, Code) { b.status = 3; }, true, false, false, {}},
        {"bad magic", [](M& b, S&, Code) { b.badMagic = true; }, true, false, false, {}},
        {"another address", [](M&, S& s, Code) { s.reportedAddress = {127, 0, 0, 2}; }, false, false, false, {}},
        {"another model", [](M&, S& s, Code) { s.modelCode = 12; }, false, false, false, {}},
        {"closed without a reply", [](M& b, S&, Code) { b.closeWithoutReply = true; }, true, false, true, onlyUnanswerable},
        {"split reply", [](M& b, S&, Code) { b.splitPieces = {3}; b.pieceDelayMs = 100; }, false, false, false, {}},
        {"slow reply", [](M& b, S&, Code) { b.replyDelayMs = 300; }, false, false, false, {}},
        {"wrong echo", [](M& b, S&, Code) { b.echoOverride = 0x55; }, true, false, false, {}},
        {"reply over 4096 bytes", [](M& b, S&, Code) { b.replyLength = 5000; }, false, false, false, {}},
        {"short reply", [](M& b, S&, Code) { b.replyLength = 5; }, true, false, false, {}},
        {"vanishing", [](M&, S&, Code) {}, false, true, false, {}},
        // After a good poll, only the command's own exchange misbehaves.
        {"its own command refused", [](M& b, S&, Code c) { b.statusFor[c] = 3; }, false, false, false, never},
        {"its own command unanswered", [](M& b, S&, Code c) { b.silentFor = {c}; }, false, false, false, onlyUnanswerable},
        {"its own command answered invalidly", [](M& b, S&, Code c) { b.badMagicFor = {c}; }, false, false, false, never},
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
            const S good = module->State();
            M behaviour;
            S state = good;
            fault.set(behaviour, state, command.code);
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
            if (fault.succeeds) {
                EXPECT_EQ(outcome.Ok(), fault.succeeds(command)) << DescribeOutcome(outcome).toStdString();
            }
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

            // The module behaves again: the same worker's next command works, nothing of the
            // fault is left in it.
            module->SetBehaviour({});
            module->Update([&good](S& s) {
                s.reportedAddress = good.reportedAddress;
                s.modelCode = good.modelCode;
            });
            if (fault.vanishes) {
                module->Stop();  // if the command and its poll were over before it vanished
                ASSERT_TRUE(module->Start(module->Port()));
            }
            worker->Submit(std::get<BridgeCommand>(ParseCommand(QStringLiteral("locate/set"), {})));
            worker->PollNow();
            ASSERT_EQ(sink.results.size(), 2u);
            EXPECT_TRUE(sink.results[1].outcome.Ok()) << DescribeOutcome(sink.results[1].outcome).toStdString();
            worker.reset();
            ++cells;
        }
    }
    EXPECT_EQ(cells, 6 * 16);
}

}  // namespace
}  // namespace zqb::bridge::test
