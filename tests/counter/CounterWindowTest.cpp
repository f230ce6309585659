// The DI counter window against the simulated module, through the main window's link timer.
#include <gtest/gtest.h>

#include <QTimer>

#include "counter/Counter.h"
#include "mainwindow/MainWindowRig.h"

namespace zqb::test {
namespace {

class CounterWindow : public MainWindowRig {
protected:
    CounterWindow() : counter(&form->CounterWindow()) {}

    QString Value(int row) const { return counter->valueLabels[static_cast<std::size_t>(row)]->text(); }

    TForm3* counter;
};

TEST_F(CounterWindow, HasItsControlsTextsAndGeometry)
{
    EXPECT_EQ(counter->windowTitle(), QStringLiteral("Digital Input Counter "));
    EXPECT_EQ(counter->captionLabels[7]->text(), QStringLiteral("DI 7 Counter:"));
    EXPECT_EQ(counter->clearButtons[0]->text(), QStringLiteral("Clear"));
    EXPECT_EQ(counter->Image2->toolTip(), QStringLiteral("Counter Refresh"));
    EXPECT_TRUE(counter->captionLabels[0]->font().bold());
    EXPECT_TRUE(counter->valueLabels[0]->font().bold());
    EXPECT_EQ(counter->captionLabels[1]->y() - counter->captionLabels[0]->y(), 24);
    EXPECT_GT(counter->captionLabels[4]->y() - counter->captionLabels[3]->y(), 24) << "a wider gap before DI 4";
}

TEST_F(CounterWindow, OpeningReadsTheCountersAndOnlyTheModelsInputsStayEnabled)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) {
        s.diCounters[0] = 4294967295u;
        s.diCounters[1] = 1234;
    });
    LinkUp();
    bool pollPaused = false;
    QTimer::singleShot(0, counter, [&] {
        pollPaused = context.session.LinkPollEnabled == 0;
        for (int row = 0; row < TForm3::RowCount; ++row) {
            const bool expected = row < 2;
            const auto i = static_cast<std::size_t>(row);
            EXPECT_EQ(counter->captionLabels[i]->isEnabled(), expected) << row;
            EXPECT_EQ(counter->valueLabels[i]->isEnabled(), expected) << row;
            EXPECT_EQ(counter->clearButtons[i]->isEnabled(), expected) << row;
        }
        link.Supervisor().LinkTimerTick();  // the link timer keeps running under the modal window
        EXPECT_EQ(Value(0), QStringLiteral("4294967295"));
        EXPECT_EQ(Value(1), QStringLiteral("1234"));
        EXPECT_EQ(Value(2), QStringLiteral("0"));
        counter->close();
    });
    QTest::mouseClick(form->Image4, Qt::LeftButton);
    EXPECT_TRUE(pollPaused);
    ASSERT_EQ(FramesWithCode(GetDiCounters).size(), 1u);
    EXPECT_EQ(HexText(FramesWithCode(GetDiCounters)[0]), "5A 35 77 A5 60 00 00") << "the queue's pair, left by GetLink";
    EXPECT_EQ(context.session.LinkPollEnabled, 1) << "closing lets the periodic poll run again";

    // With the poll running again the periodic check polls the I/O state.
    while (context.session.linkTick != PeriodicCheckTick) link.Supervisor().LinkTimerTick();
    link.Supervisor().LinkTimerTick();
    EXPECT_EQ(FramesWithCode(GetIoStatus).size(), 1u);
}

TEST_F(CounterWindow, ClearGoesOutAtOnceAndTheCountersFollowOnTheNextOrdinaryTick)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) {
        s.diCounters[0] = 77;
        s.diCounters[1] = 99;
    });
    LinkUp();
    counter->ShowCounters();
    QTest::mouseClick(counter->clearButtons[1], Qt::LeftButton);
    ASSERT_EQ(module.Frames().size(), 1u);
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 61 01");
    EXPECT_EQ(context.session.queuedCommand, GetDiCounters);
    EXPECT_EQ(Value(1), QStringLiteral("0")) << "not yet read back";

    // The periodic check does not send the queue; the next ordinary tick does.
    context.session.linkTick = PeriodicCheckTick;
    context.session.LinkPollEnabled = 0;
    link.Supervisor().LinkTimerTick();
    EXPECT_EQ(FramesWithCode(GetDiCounters).size(), 0u);
    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(FramesWithCode(GetDiCounters).size(), 1u);
    EXPECT_EQ(Value(0), QStringLiteral("77"));
    EXPECT_EQ(Value(1), QStringLiteral("0"));
    EXPECT_EQ(module.State().diCounters[1], 0u);
}

TEST_F(CounterWindow, RefusedReplyChangesNothingAndAFailedClearStillAsksForTheCounters)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) { s.diCounters[0] = 5; });
    LinkUp();
    zqbsim::Misbehaviour refusing;
    refusing.statusFor[GetDiCounters] = 1;
    module.SetBehaviour(refusing);
    QTest::mouseClick(counter->Image2, Qt::LeftButton);
    link.Supervisor().LinkTimerTick();
    EXPECT_EQ(Value(0), QStringLiteral("0"));
    EXPECT_EQ(context.session.commandInFlight, GetDiCounters);

    zqbsim::Misbehaviour unreachable;
    unreachable.refuseConnections = true;
    module.SetBehaviour(unreachable);
    context.session.queuedCommand = 0;
    counter->ClearClick(0);
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Connect Timeout"));
    EXPECT_EQ(context.session.queuedCommand, GetDiCounters);
}

}  // namespace
}  // namespace zqb::test
