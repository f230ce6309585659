// The blocking one-connection-per-command transport against a simulated module.
#include <QTimer>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "protocol/ModuleReadings.h"
#include "support/ProtocolRig.h"

namespace zqb::test {
namespace {

class Transport : public ProtocolRig {
protected:
    Outcome SendGetIoStatus()
    {
        return transport.Exchange(GetIoStatus, [](CommandFrame& f) { return BuildGetIoStatus(f); });
    }
};

TEST_F(Transport, SecondCommandDuringAWaitIsANoOpThatLeavesTheRunningExchangeAlone)
{
    StartModule();
    zqbsim::Misbehaviour slow;
    slow.replyDelayMs = 300;
    module.SetBehaviour(slow);
    module.Update([](zqbsim::ModuleState& s) { s.doBits = 1; });
    context.session.doMask = 1;

    bool secondRan = false;
    bool secondClaimedTheFrame = true;
    QTimer::singleShot(50, [&] {
        secondClaimedTheFrame = BeginCommand(context, SetAnalog);
        BuildSetAnalog(context.commandFrame, 1, 100);  // what a careless sender would still do
        transport.ExchangeCommand(8);
        secondRan = true;
    });
    display.SetPanelText(StatusPanel::Message, QStringLiteral("before"));
    SendGetIoStatus();

    EXPECT_TRUE(secondRan);
    EXPECT_FALSE(secondClaimedTheFrame);
    ASSERT_EQ(module.Frames().size(), 1u);
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 D8");
    EXPECT_EQ(display.Message(), QStringLiteral("before")) << "the dropped command says nothing";
    EXPECT_EQ(context.session.doState, 1) << "the reply was handled as the GetIoStatus that was sent";
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_FALSE(context.ExchangeBusy);
}

TEST_F(Transport, RefusedConnectShowsConnectTimeoutAndTheNextGoodConnectClearsOnlyThatText)
{
    StartModule();
    zqbsim::Misbehaviour refusing;
    refusing.refuseConnections = true;
    module.SetBehaviour(refusing);
    SendGetIoStatus();
    EXPECT_EQ(display.Message(), ConnectTimeoutText);
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_FALSE(context.ExchangeBusy);

    module.SetBehaviour({});
    context.commandFrame[CodeOffset] = SetWifiMode;  // a reply that changes no text
    context.session.commandInFlight = SetWifiMode;
    transport.ExchangeCommand(6);
    EXPECT_EQ(display.Message(), QString());
    EXPECT_EQ(context.session.commandInFlight, SetWifiMode) << "no row for 48: kept for the link timer";

    display.SetPanelText(StatusPanel::Message, QStringLiteral("Change IP => 127.0.0.1"));
    transport.ExchangeCommand(6);
    EXPECT_EQ(display.Message(), QStringLiteral("Change IP => 127.0.0.1"));
}

// The exchanges that bring values return them with their outcome; a refused one brings none.
TEST_F(Transport, ValuesComeWithTheirOutcome)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) {
        s.doBits = 1;
        s.diBits = 2;
        s.dacCode = 1234;
        s.rangeFourToTwenty = 1;
        s.diCounters[0] = 5;
        s.diCounters[1] = 70000;
    });
    supervisor.RequestLinkNow();  // the link record tells which outputs and inputs the model has
    ASSERT_EQ(context.session.linked, 1);
    const Result<IoReading> io = ReadIoStatus(context, transport);
    ASSERT_TRUE(io.Ok()) << DescribeOutcome(io.outcome).toStdString();
    EXPECT_EQ(io.value.bits.doBits, 1);
    EXPECT_EQ(io.value.bits.diBits, 2);
    EXPECT_EQ(io.value.dacCode, 1234);
    EXPECT_TRUE(io.value.fourToTwenty);
    const Result<CounterReading> counts = ReadDiCounters(context, transport);
    ASSERT_TRUE(counts.Ok());
    EXPECT_EQ(counts.value.di0, 5u);
    EXPECT_EQ(counts.value.di1, 70000u);
    const Result<IoBits> set = SetDigitalOutput(context, transport, 1, 0);
    ASSERT_TRUE(set.Ok());
    EXPECT_EQ(set.value.doBits, 0);
    EXPECT_EQ(set.value.diBits, 2);

    zqbsim::Misbehaviour refusing;
    refusing.status = 3;
    module.SetBehaviour(refusing);
    const Result<IoReading> refused = ReadIoStatus(context, transport);
    EXPECT_EQ(refused.outcome.kind, OutcomeKind::Refused);
    EXPECT_EQ(refused.value.dacCode, 0);
    EXPECT_EQ(ReadDiCounters(context, transport).value.di1, 0u);
    EXPECT_EQ(SetDigitalOutput(context, transport, 1, 1).value.diBits, 0);
}

TEST_F(Transport, AddressesOutsideLoopbackAreNeverContactedUnderTest)
{
    link.AimAt(QStringLiteral("192.168.77.1"), DefaultHostPort);
    SendGetIoStatus();
    EXPECT_EQ(display.Message(), ConnectTimeoutText);
}

TEST_F(Transport, SilentModuleEndsAfterAboutOneSecondWithTheReplyOverdue)
{
    StartModule();
    zqbsim::Misbehaviour silent;
    silent.silent = true;
    module.SetBehaviour(silent);
    QElapsedTimer clock;
    clock.start();
    SendGetIoStatus();
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 950) << "100 waits of 10 ms";
    EXPECT_LE(took, 6000) << "it ends, even on a loaded machine";
    EXPECT_EQ(context.session.replyOverdue, 1);
    EXPECT_EQ(context.session.commandInFlight, GetIoStatus);
    EXPECT_FALSE(context.ExchangeBusy);
    EXPECT_EQ(context.session.overdueLimit, 40u);
}

TEST_F(Transport, ReplyInPiecesIsHandledWithWhatHadArrived)
{
    StartModule();
    zqbsim::Misbehaviour split;
    split.splitPieces = {6};
    split.pieceDelayMs = 200;
    module.SetBehaviour(split);
    module.Update([](zqbsim::ModuleState& s) { s.doBits = 1; });
    context.session.doMask = 1;
    context.replyBuffer.fill(0x77);
    SendGetIoStatus();
    EXPECT_EQ(context.session.replyLength, 6);
    EXPECT_EQ(context.replyBuffer[6], 0) << "the rest of the reply had not come";
    // Too short for the fields read: zeros are no values, nothing is taken, the user is told and
    // the command stays in flight for the link timer to give up.
    EXPECT_EQ(context.session.doState, 0);
    EXPECT_EQ(display.showDigitalIoCalls, 0);
    EXPECT_EQ(context.session.commandInFlight, GetIoStatus);
    EXPECT_EQ(display.Message(), QStringLiteral("Get IO Status invalid reply"));
    EXPECT_EQ(context.outcomes.Last(1).front().outcome.kind, OutcomeKind::InvalidReply);
    EXPECT_EQ(context.replyBuffer[ReplyClearedBytes], 0x77) << "only the first 250 bytes are cleared";
}

TEST_F(Transport, ReplyLongerThanTheBufferKeepsItsFirst4096Bytes)
{
    StartModule();
    zqbsim::Misbehaviour longReply;
    longReply.replyLength = 5000;
    module.SetBehaviour(longReply);
    context.session.commandInFlight = GetLink;
    BuildGetLink(context.commandFrame);
    transport.ExchangeCommand(7);
    EXPECT_EQ(context.session.replyLength, static_cast<int>(ReplyBufferSize));
    EXPECT_EQ(context.session.linked, 1) << "the record at the front is taken as usual";
    EXPECT_FALSE(context.ExchangeBusy);
}

TEST_F(Transport, ConnectionDroppedBeforeTheReplyIsReportedAndReleased)
{
    StartModule();
    zqbsim::Misbehaviour dropping;
    dropping.closeWithoutReply = true;
    module.SetBehaviour(dropping);
    SendGetIoStatus();
    EXPECT_EQ(display.Message(), ConnectionLostText) << "short enough for the panel";
    const QString detail = display.details[StatusPanel::Message];
    EXPECT_TRUE(detail.startsWith(QStringLiteral("Connection lost: ")) && detail.size() > 17) << detail.toStdString();
    EXPECT_EQ(display.log.last(), detail) << "the socket's reason goes to the log and the tool tip";
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_EQ(context.session.replyOverdue, 0);
    EXPECT_FALSE(context.ExchangeBusy);

    // The transport is usable again at once.
    module.SetBehaviour({});
    SendGetIoStatus();
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_EQ(module.Frames().size(), 2u);
}

TEST_F(Transport, SendOnlyWritesTheFrameReadsNothingAndClearsTheOverdueFlag)
{
    StartModule();
    context.session.replyOverdue = 1;
    context.replyBuffer[0] = 0x42;
    ASSERT_TRUE(BeginCommand(context, ResetModule));
    transport.SendCommandOnly(BuildResetModule(context.commandFrame));
    ASSERT_TRUE(module.WaitForFrames(1, 2000));
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 2D");
    EXPECT_EQ(context.session.replyOverdue, 0);
    EXPECT_EQ(context.replyBuffer[0], 0x42);
    EXPECT_FALSE(context.ExchangeBusy);
}

}  // namespace
}  // namespace zqb::test
