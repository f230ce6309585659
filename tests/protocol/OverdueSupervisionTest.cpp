// The transfer timer's watch over a reply that did not come.
#include "protocol/CommandCodes.h"
#include "support/ProtocolRig.h"

namespace zqb::test {
namespace {

class OverdueSupervision : public ProtocolRig {
protected:
    void Overdue(std::uint8_t inFlight)
    {
        context.session.commandInFlight = inFlight;
        context.session.retryCount = 0;  // as the link timer's ticks leave it
        context.session.replyOverdue = 1;
        context.session.overdueTicks = 0;
        context.session.overdueLimit = 40;
    }
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i) replies.OverdueTick();
    }
};

TEST_F(OverdueSupervision, RetriesEvery40TicksThenGivesUpAfterThree)
{
    Overdue(GetIoStatus);
    Ticks(39);
    EXPECT_EQ(display.Message(), QString());
    Ticks(1);
    EXPECT_EQ(display.Message(), QStringLiteral("Retry transfer 1"));
    Ticks(40);
    EXPECT_EQ(display.Message(), QStringLiteral("Retry transfer 2"));
    Ticks(40);
    EXPECT_EQ(display.Message(), QStringLiteral("Retry transfer 3"));
    EXPECT_EQ(context.session.commandInFlight, GetIoStatus) << "nothing to re-issue for a poll";
    Ticks(40);
    EXPECT_EQ(display.Message(), QStringLiteral("Retry timeout, abort transfer!"));
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_EQ(context.session.replyOverdue, 0);
    EXPECT_EQ(context.session.retryCount, 0);
    Ticks(200);
    EXPECT_EQ(display.Message(), QStringLiteral("Retry timeout, abort transfer!"));
}

TEST_F(OverdueSupervision, WhileTheLinkTimerResetsTheCountTheFirstRetryRepeats)
{
    Overdue(SetLocator);
    for (int round = 0; round < 5; ++round) {
        Ticks(40);
        EXPECT_EQ(display.Message(), QStringLiteral("Retry transfer 1"));
        context.session.retryCount = 0;  // what every link timer tick does
    }
    EXPECT_EQ(context.session.queuedCommand, SetLocator) << "the locator is queued again";
}

TEST_F(OverdueSupervision, DoesNothingUnlessAReplyIsOverdue)
{
    context.session.commandInFlight = GetLink;
    Ticks(500);
    EXPECT_TRUE(display.panelHistory.empty());
    EXPECT_EQ(Scans(), 0);
}

TEST_F(OverdueSupervision, ReissuesRequestTheLinkOrResendTheChecksumCommands)
{
    StartModule();
    Overdue(GetLink);
    Ticks(40);
    EXPECT_EQ(Scans(), 1);
    EXPECT_EQ(context.session.queuedCommand, GetLink);

    context.imageSum = 0xABCDEF01;
    Overdue(GetImageChecksum);
    Ticks(40);
    ASSERT_TRUE(module.WaitForFrames(1, 2000));
    EXPECT_EQ(HexText(module.Frames().back()), "5A 35 77 A5 25 AB CD EF 01");

    Overdue(SendImageChecksum);
    Ticks(40);
    ASSERT_TRUE(module.WaitForFrames(2, 2000));
    EXPECT_EQ(HexText(module.Frames().back()), "5A 35 77 A5 26 AB CD EF 01");

    SetNetworkReachable(false);
    Overdue(ResetModule);
    Ticks(40);
    EXPECT_EQ(module.Frames().size(), 2u) << "no reset without a reachable network";
    SetNetworkReachable(true);
    Overdue(ResetModule);
    Ticks(40);
    ASSERT_TRUE(module.WaitForFrames(3, 2000));
    EXPECT_EQ(HexText(module.Frames().back()), "5A 35 77 A5 2D");
}

}  // namespace
}  // namespace zqb::test
