// Finding the module, the link timer's work and the fixed address entry.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "link/HostNetworkScan.h"
#include "link/LinkSupervisor.h"
#include "link/LinkTimer.h"
#include "protocol/ModuleLock.h"
#include "support/ProtocolRig.h"
#include "support/ScriptedDialogs.h"
#include "link/SimulatedHostNetwork.h"

namespace zqb::test {
namespace {

class LinkSupervision : public ProtocolRig {
protected:
    LinkSupervision() { context.session.LinkPollEnabled = 1; }

    // Runs ticks until the periodic check is the next one.
    void TicksUntilPeriodicCheck()
    {
        while (context.session.linkTick != PeriodicCheckTick) supervisor.LinkTimerTick();
    }
};

TEST_F(LinkSupervision, PrepareLinkReportsWhatTheHostNetworkShows)
{
    context.session.linked = 1;
    EXPECT_EQ(supervisor.PrepareLink(), 1);
    EXPECT_EQ(display.PanelText(StatusPanel::HostAddress), QStringLiteral("IP: 127.0.0.1"));
    EXPECT_EQ(context.session.linked, 1);

    hostBackend.AddWifi("127.0.0.9");
    display.locationText = QStringLiteral("Locate: x");
    EXPECT_EQ(supervisor.PrepareLink(), 0);
    EXPECT_EQ(display.modelText, QStringLiteral("Same multiple IP found!!"));
    EXPECT_EQ(display.modelColour, ColourRed);
    EXPECT_EQ(display.locationText, QString());
    EXPECT_EQ(display.showNoDeviceCalls, 0) << "the rest of the window stays as it was";
    EXPECT_EQ(context.session.linked, 0);

    hostBackend.interfaces.clear();
    hostBackend.adapters.clear();
    hostBackend.AddWired("127.0.0.1");  // a cable does not count
    EXPECT_EQ(supervisor.PrepareLink(), 0);
    EXPECT_EQ(display.modelText, QStringLiteral("Device not found!!"));
    EXPECT_EQ(display.showNoDeviceCalls, 1);
}

TEST_F(LinkSupervision, StartUpRunsOnceAndQueuesTheLinkRequest)
{
    display.SetPanelText(StatusPanel::HostAddress, QStringLiteral("old"));
    context.session.replyOverdue = 1;
    supervisor.StartUp();
    EXPECT_EQ(context.session.firstActivationDone, 1);
    EXPECT_EQ(context.session.replyOverdue, 0);
    EXPECT_EQ(display.addressText, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(display.PanelText(StatusPanel::HostAddress), QStringLiteral("IP: 127.0.0.1"));
    EXPECT_EQ(context.session.queuedCommand, GetLink);
    EXPECT_EQ(hostBackend.adapterScans, 2) << "PrepareLink, then RequestLink's own";

    context.session.queuedCommand = 0;
    supervisor.StartUp();
    EXPECT_EQ(context.session.queuedCommand, 0);
    EXPECT_EQ(hostBackend.adapterScans, 2);
}

TEST_F(LinkSupervision, StartUpWithoutTheModuleNetworkAsksToCheckAccessPointMode)
{
    hostBackend.interfaces.clear();
    dialogs.ExpectMessage(QStringLiteral("Please check device whether in AP mode!"), QStringLiteral("Device not found"),
                          MessageIcon::Warning);
    supervisor.StartUp();
    EXPECT_EQ(display.modelText, QStringLiteral("Device not found!!"));
    EXPECT_EQ(context.session.queuedCommand, 0);
}

TEST_F(LinkSupervision, AdapterFailureIsShownAndTheScanGoesOn)
{
    hostBackend.adapterScanError = "The parameter is incorrect.";
    dialogs.ExpectMessage(QStringLiteral("Adapters: The parameter is incorrect."), QString(), MessageIcon::Error);
    EXPECT_EQ(supervisor.PrepareLink(), 0);
    EXPECT_EQ(hostBackend.wifiScans, 1);
    EXPECT_EQ(display.modelText, QStringLiteral("Device not found!!"));
}

TEST_F(LinkSupervision, QueuedCommandLeavesOnTheNextTickWithTheQueuedPair)
{
    StartModule();
    QueueCommand(context, SetDo, 1, 1);
    supervisor.LinkTimerTick();
    ASSERT_TRUE(module.WaitForFrames(1, 2000));
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 D0 01 01");
    EXPECT_EQ(display.log, QStringList{QStringLiteral("GBL => 208")});
    EXPECT_EQ(context.session.queuedCommand, 0);
    EXPECT_EQ(context.session.linkTick, 0);

    // The locator sets no parameters of its own: it carries the pair left by SetDo.
    RequestLocator(context);
    supervisor.LinkTimerTick();
    ASSERT_TRUE(module.WaitForFrames(2, 2000));
    EXPECT_EQ(HexText(module.Frames()[1]), "5A 35 77 A5 1D 01 01");
    EXPECT_EQ(display.Message(), QStringLiteral("Set Locator done!"));

    supervisor.LinkTimerTick();
    EXPECT_EQ(module.Frames().size(), 2u) << "an empty queue sends nothing";
}

TEST_F(LinkSupervision, EveryTickResetsTheRetryCount)
{
    context.session.retryCount = 2;
    supervisor.LinkTimerTick();
    EXPECT_EQ(context.session.retryCount, 0);
    context.session.retryCount = 2;
    TicksUntilPeriodicCheck();
    context.session.retryCount = 2;
    supervisor.LinkTimerTick();
    EXPECT_EQ(context.session.retryCount, 0);
}

TEST_F(LinkSupervision, PeriodicCheckComesOnEvery31stTick)
{
    StartModule();
    context.session.linked = 1;
    for (int tick = 0; tick < 30; ++tick) supervisor.LinkTimerTick();
    EXPECT_TRUE(module.Frames().empty());
    supervisor.LinkTimerTick();
    ASSERT_TRUE(module.WaitForFrames(1, 2000));
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 D8") << "linked and idle: the I/O state is polled";
    EXPECT_EQ(context.session.linkTick, 0);
}

TEST_F(LinkSupervision, PeriodicCheckActsOnEachLinkState)
{
    StartModule();
    // Lost: GetLink at once, without waiting for the queue.
    context.session.linked = 0;
    TicksUntilPeriodicCheck();
    supervisor.LinkTimerTick();
    ASSERT_TRUE(module.WaitForFrames(1, 2000));
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 21 00 00");
    EXPECT_TRUE(display.log.contains(QStringLiteral("Re-Get Device..")));
    EXPECT_EQ(context.session.linked, 1);

    // Linked and busy: the command in flight is given up, nothing is sent.
    context.session.commandInFlight = SetAnalog;
    TicksUntilPeriodicCheck();
    supervisor.LinkTimerTick();
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_EQ(module.Frames().size(), 1u);

    // Linked and idle, but another program writes a file to the module: the poll waits, and the
    // message panel says why.
    {
        ModuleLock other;
        other.Aim(lockDir.path().toStdString(), "127.0.0.1", module.Port());
        ASSERT_EQ(other.Exclusive(0), ModuleLock::Attempt::Taken);
        TicksUntilPeriodicCheck();
        supervisor.LinkTimerTick();
        EXPECT_EQ(module.Frames().size(), 1u);
        EXPECT_EQ(display.Message(), ModuleInUseText);
    }
    TicksUntilPeriodicCheck();
    supervisor.LinkTimerTick();
    ASSERT_TRUE(module.WaitForFrames(2, 2000)) << "the poll comes back once the module is free";
    EXPECT_EQ(HexText(module.Frames()[1]), "5A 35 77 A5 D8");

    // Suspended: nothing at all.
    context.session.LinkPollEnabled = 0;
    context.session.commandInFlight = SetAnalog;
    TicksUntilPeriodicCheck();
    supervisor.LinkTimerTick();
    EXPECT_EQ(context.session.commandInFlight, SetAnalog);
    EXPECT_EQ(module.Frames().size(), 2u);

    // No network: the reason is shown, the link dropped, and the outcome kept.
    hostBackend.interfaces.clear();
    TicksUntilPeriodicCheck();
    supervisor.LinkTimerTick();
    EXPECT_EQ(display.modelText, QStringLiteral("Device not found!!"));
    EXPECT_EQ(context.session.linked, 0);
    EXPECT_EQ(module.Frames().size(), 2u);
    EXPECT_EQ(context.outcomes.Last(1).front().outcome.unreached, Unreached::NoNetwork);
}

TEST_F(LinkSupervision, ModuleRefusingEveryLinkRecordIsAskedAgainOnEveryTick)
{
    StartModule();
    zqbsim::Misbehaviour refusing;
    refusing.statusFor[GetLink] = 3;
    module.SetBehaviour(refusing);
    ASSERT_EQ(supervisor.RequestLink(), 1);
    for (int tick = 1; tick <= 4; ++tick) {
        supervisor.LinkTimerTick();
        ASSERT_TRUE(module.WaitForFrames(static_cast<std::size_t>(tick), 2000)) << "tick " << tick;
    }
    EXPECT_EQ(context.session.linked, 0);
    EXPECT_EQ(display.Message(), QString()) << "without any message";
}

TEST_F(LinkSupervision, ARequestMadeWhileAnExchangeRunsIsNotLost)
{
    StartModule();
    zqbsim::Misbehaviour slow;
    slow.replyDelayMs = 200;
    module.SetBehaviour(slow);
    QueueCommand(context, SetDo, 1, 1);
    QTimer::singleShot(50, [this] { RequestLocator(context); });  // "Find me" during the wait
    supervisor.LinkTimerTick();
    EXPECT_EQ(context.session.queuedCommand, SetLocator);
    module.SetBehaviour({});
    supervisor.LinkTimerTick();
    ASSERT_TRUE(module.WaitForFrames(2, 2000));
    EXPECT_EQ(HexText(module.Frames()[1]), "5A 35 77 A5 1D 01 01");
}

TEST_F(LinkSupervision, QueuedCommandWaitsWhileAnotherExchangeOwnsTheFrame)
{
    StartModule();
    QueueCommand(context, GetDiCounters);
    context.ExchangeBusy = true;
    context.session.commandInFlight = SetAnalog;
    supervisor.LinkTimerTick();
    EXPECT_EQ(context.session.commandInFlight, SetAnalog);
    EXPECT_EQ(context.session.queuedCommand, GetDiCounters);
    context.ExchangeBusy = false;
    supervisor.LinkTimerTick();
    ASSERT_TRUE(module.WaitForFrames(1, 2000));
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 60 00 00");
}

TEST_F(LinkSupervision, StaticAddressMovesTheModuleAndItsNetwork)
{
    hostBackend.AddWifi("10.0.5.7");
    display.addressText = QStringLiteral("10.0.5.20");
    supervisor.StaticIpClick();
    EXPECT_EQ(context.session.hostAddress, QStringLiteral("10.0.5.20"));
    EXPECT_EQ(context.NetworkPrefix, QStringLiteral("10.0.5."));
    EXPECT_EQ(display.Message(), QStringLiteral("Change IP => 10.0.5.20"));
    EXPECT_EQ(display.PanelText(StatusPanel::HostAddress), QStringLiteral("IP: 10.0.5.20"));
    EXPECT_EQ(display.showNoDeviceCalls, 1);
    EXPECT_EQ(context.session.queuedCommand, GetLink);

    // Leading zeros are taken as typed.
    display.addressText = QStringLiteral("010.0.5.20");
    EXPECT_TRUE(supervisor.ApplyStaticAddress());
    EXPECT_EQ(context.session.hostAddress, QStringLiteral("010.0.5.20"));
    EXPECT_EQ(context.NetworkPrefix, QStringLiteral("010.0.5."));
}

TEST_F(LinkSupervision, TextThatIsNoAddressChangesNothingAndSaysWhy)
{
    const struct {
        const char* typed;
        const char* complaint;
    } cases[] = {
        {"10.0.5", "'' is not a valid integer value"},
        {"10.0.x.20", "'x' is not a valid integer value"},
        {"1.2.3.4.5", "'4.5' is not a valid integer value"},
        {"", "'' is not a valid integer value"},
        // Decimal digits only: nothing else may turn the address into a name to resolve.
        {"127.0.0.$1", "'$1' is not a valid integer value"},
        {"127.0.0.0x1", "'0x1' is not a valid integer value"},
        {"127.0.-0.1", "'-0' is not a valid integer value"},
        {"127.0.0. 1", "' 1' is not a valid integer value"},
        {"127.0.+0.1", "'+0' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        display.addressText = QString::fromLatin1(c.typed);
        dialogs.ExpectMessage(QString::fromLatin1(c.complaint) +
                                  QStringLiteral("\nDevice IP: four numbers 0\u2013255, for example 192.168.77.1."),
                              QString(), MessageIcon::Error);
        supervisor.StaticIpClick();
        EXPECT_EQ(context.session.hostAddress, QStringLiteral("127.0.0.1")) << c.typed;
        EXPECT_EQ(context.NetworkPrefix, QStringLiteral("127.0.0.")) << c.typed;
    }
    EXPECT_EQ(context.session.queuedCommand, 0);
    EXPECT_EQ(display.showNoDeviceCalls, 0);
}

// A part too large for an address is taken, as typed, but never looked up: the connect fails.
TEST_F(LinkSupervision, AddressBeyond255IsNeverResolvedOnlyUnreachable)
{
    StartModule();
    display.addressText = QStringLiteral("127.0.0.300");
    supervisor.StaticIpClick();
    ASSERT_EQ(context.session.hostAddress, QStringLiteral("127.0.0.300"));
    supervisor.LinkTimerTick();
    EXPECT_EQ(display.Message(), ConnectTimeoutText);
    EXPECT_EQ(module.ConnectionCount(), 0);
}

TEST(LinkTimerRestart, TimerRunsAgainAfterAHandlerThatThrew)
{
    int ticks = 0;
    LinkTimer timer([&] {
        ++ticks;
        throw std::runtime_error("boom");
    });
    timer.Start();
    EXPECT_THROW(timer.Timer3Timer(), std::runtime_error);
    EXPECT_TRUE(timer.IsActive());
    EXPECT_EQ(ticks, 1);
}

TEST(LinkTimerRestart, HandlerIsNotEnteredAgainWhileItRuns)
{
    int depth = 0;
    int deepest = 0;
    int ticks = 0;
    LinkTimer* self = nullptr;
    LinkTimer timer([&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        EXPECT_FALSE(self->IsActive());
        QEventLoop wait;  // an exchange keeps the loop running inside the handler
        QTimer::singleShot(350, &wait, &QEventLoop::quit);
        wait.exec();
        --depth;
    });
    self = &timer;
    timer.Start();
    QEventLoop run;
    QTimer::singleShot(1000, &run, &QEventLoop::quit);
    run.exec();
    EXPECT_EQ(deepest, 1);
    EXPECT_GE(ticks, 2);
}

class LinkEndToEnd : public LinkSupervision {};

TEST_F(LinkEndToEnd, StartUpLinksQuicklyThenPollsAbout3Point1SecondsApart)
{
    StartModule();
    LinkTimer timer([this] { supervisor.LinkTimerTick(); });
    QElapsedTimer clock;
    clock.start();
    timer.Start();
    supervisor.StartUp();
    QEventLoop run;
    QTimer poll;
    std::vector<qint64> linkedAt;
    std::vector<qint64> polls;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (linkedAt.empty() && context.session.linked) linkedAt.push_back(clock.elapsed());
        const auto frames = module.Frames();
        std::size_t count = 0;
        for (const QByteArray& f : frames) count += f == Hex("5A 35 77 A5 D8") ? 1 : 0;
        if (count > polls.size()) polls.push_back(clock.elapsed());
        if (polls.size() >= 2) run.quit();
    });
    poll.start(5);
    QTimer::singleShot(20000, &run, &QEventLoop::quit);
    run.exec();

    ASSERT_EQ(linkedAt.size(), 1u);
    EXPECT_LE(linkedAt[0], 2000) << "GetLink goes out on the first tick after start-up";
    EXPECT_EQ(display.modelText, QStringLiteral("zQB-AO4K DAC Node"));
    ASSERT_EQ(polls.size(), 2u);
    const qint64 interval = polls[1] - polls[0];
    // 31 ticks of 100 ms; a loaded machine only ever makes ticks late.
    EXPECT_GE(interval, 2900);
    EXPECT_LE(interval, 9000);
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 21 00 00");
}

}  // namespace
}  // namespace zqb::test
