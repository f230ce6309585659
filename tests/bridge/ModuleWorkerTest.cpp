// The worker's rules on a scripted module: when a module counts as gone, what a file write
// elsewhere changes, when a state is told, and how commands are read against the module's range.
#include <gtest/gtest.h>

#include "bridge/FakeModuleClient.h"

namespace zqb::bridge::test {
namespace {

struct WorkerRig {
    explicit WorkerRig(WorkerSchedule schedule = {60000, 60000, 60000, 3})
        : worker({QStringLiteral("127.0.0.1"), 13577}, [this] { return std::make_unique<FakeModuleClient>(script); }, schedule,
                 sink)
    {
        worker.Begin();  // polls once at once
    }
    void Command(const char* name, const QByteArray& payload)
    {
        const auto parsed = ParseCommand(QLatin1String(name), payload);
        ASSERT_TRUE(std::holds_alternative<BridgeCommand>(parsed));
        worker.Submit(std::get<BridgeCommand>(parsed));
        worker.PollNow();  // runs the queue first
    }
    FakeModuleClient::Script script;
    RecordingSink sink;
    ModuleWorker worker;
};

TEST(ModuleWorker, AvailabilityFollowsAnswersAndIgnoresAFileWriteElsewhere)
{
    struct Step {
        const char* what;
        Outcome failure;
        bool heldElsewhere;
        bool available;
    };
    const Step steps[] = {
        {"answers", Outcome::Done(), false, true},
        {"first miss", Outcome::Silent(GetIoStatus), false, true},
        {"second miss", Outcome::NotReached(GetLink, Unreached::NoConnection), false, true},
        {"file write elsewhere", Outcome::Done(), true, true},
        {"third miss", Outcome::Silent(GetIoStatus), false, false},
        {"file write elsewhere while gone", Outcome::Done(), true, false},
        {"answers again", Outcome::Done(), false, true},
        // Three in a row, as many as would make a module gone if they counted.
        {"busy locally is no miss", Outcome::BusyBecause(GetIoStatus, BusyWith::Exchange), false, true},
        {"busy locally again", Outcome::BusyBecause(GetIoStatus, BusyWith::Exchange), false, true},
        {"busy locally a third time", Outcome::BusyBecause(GetIoStatus, BusyWith::Exchange), false, true},
    };
    WorkerRig rig;
    ASSERT_FALSE(rig.sink.views.empty());
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        rig.script.failure = step.failure;
        rig.script.heldElsewhere = step.heldElsewhere;
        const std::size_t callsBefore = rig.script.calls.size();
        rig.worker.PollNow();
        EXPECT_EQ(rig.sink.views.back().available, step.available);
        if (step.heldElsewhere) {
            EXPECT_EQ(rig.script.calls.size(), callsBefore) << "asked the module during a file write";
        }
    }
}

TEST(ModuleWorker, TellsAStateOnlyWhenItChangesAndReadsTheSlowRecordsOnTheirSchedule)
{
    WorkerRig rig({60000, 60000, 60000, 3});
    ASSERT_EQ(rig.sink.views.size(), 1u);
    EXPECT_EQ(rig.sink.views.back().id, QStringLiteral("001ec0010203"));
    EXPECT_EQ(rig.script.calls, (std::vector<std::string>{"ReadLink", "ReadIo", "ReadCounters"}));
    rig.script.calls.clear();
    for (int i = 0; i < 4; ++i) rig.worker.PollNow();
    EXPECT_EQ(rig.sink.views.size(), 1u) << "an unchanged module told again";
    EXPECT_EQ(rig.script.calls, std::vector<std::string>(4, "ReadIo")) << "link record or counters read every poll";
    rig.script.io.di1 = true;
    rig.worker.PollNow();
    ASSERT_EQ(rig.sink.views.size(), 2u);
    EXPECT_TRUE(rig.sink.views.back().io->di1);

    // Due at once: every poll reads them all.
    WorkerRig eager({60000, 0, 0, 3});
    eager.script.calls.clear();
    eager.worker.PollNow();
    EXPECT_EQ(eager.script.calls, (std::vector<std::string>{"ReadLink", "ReadIo", "ReadCounters"}));
}

TEST(ModuleWorker, CommandsAreReadAgainstTheModulesRange)
{
    struct Case {
        const char* command;
        QByteArray payload;
        bool fourToTwenty;
        std::int32_t dacBefore;
        std::vector<std::string> sent;  // after the command's own poll is left out
        const char* reason;             // nullptr: done
    };
    const Case cases[] = {
        {"ao/set", "2048", false, 0, {"SetAnalog 2048"}, nullptr},
        {"ao/set", "5V", false, 0, {"SetAnalog 2047"}, nullptr},
        {"ao/set", "12mA", true, 1000, {"SetAnalog 2457"}, nullptr},
        {"ao/set", "100", true, 1000, {}, "input_error"},
        {"ao/set", "100", false, 1000, {"SetAnalog 100"}, nullptr},
        {"ao/set", "3.9mA", true, 1000, {}, "input_error"},
        {"ao/set", "10.5V", false, 0, {}, "input_error"},
        {"range/set", "4-20", false, 100, {"SetAnalog 819", "SetRange 4-20"}, nullptr},
        {"range/set", "4-20", false, 900, {"SetRange 4-20"}, nullptr},
        {"range/set", "0-20", true, 900, {"SetRange 0-20"}, nullptr},
        {"do/set", "ON", false, 0, {"SetDo on"}, nullptr},
        {"counters/clear", "0", false, 0, {"ClearCounter 0"}, nullptr},
        {"locate/set", "", false, 0, {"Locate"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((QLatin1String(c.command) + QLatin1Char(' ') + QString::fromUtf8(c.payload)).toStdString());
        WorkerRig rig;
        rig.script.io.fourToTwenty = c.fourToTwenty;
        rig.script.io.dacCode = c.dacBefore;
        rig.worker.PollNow();
        rig.script.calls.clear();
        rig.Command(c.command, c.payload);
        std::vector<std::string> sent;
        for (const std::string& call : rig.script.calls)
            if (call.rfind("Read", 0) != 0) sent.push_back(call);
        EXPECT_EQ(sent, c.sent);
        ASSERT_EQ(rig.sink.results.size(), 1u);
        EXPECT_EQ(rig.sink.results[0].command, QLatin1String(c.command));
        if (c.reason) {
            EXPECT_STREQ(OutcomeKindName(rig.sink.results[0].outcome.kind), c.reason);
        } else {
            EXPECT_TRUE(rig.sink.results[0].outcome.Ok());
        }
    }
}

TEST(ModuleWorker, ACommandBeforeTheFirstAnswerWaitsForNothingAndSaysWhy)
{
    FakeModuleClient::Script never;
    never.failure = Outcome::NotReached(GetLink, Unreached::NoConnection);
    RecordingSink sink;
    ModuleWorker worker({QStringLiteral("127.0.0.1"), 13577}, [&] { return std::make_unique<FakeModuleClient>(never); }, {}, sink);
    worker.Begin();
    worker.Submit(std::get<BridgeCommand>(ParseCommand(QStringLiteral("ao/set"), "5V")));
    worker.PollNow();
    ASSERT_EQ(sink.results.size(), 1u);
    EXPECT_EQ(sink.results[0].outcome.kind, OutcomeKind::NotReadYet);
    EXPECT_TRUE(std::none_of(never.calls.begin(), never.calls.end(), [](const std::string& c) { return c.rfind("Set", 0) == 0; }));
    ASSERT_FALSE(sink.views.empty());
    EXPECT_FALSE(sink.views.back().available);
    EXPECT_TRUE(sink.views.back().id.isEmpty());
}

}  // namespace
}  // namespace zqb::bridge::test
