// Reading and writing the function against the simulated module on 127.0.0.1, with the reply
// handling reaching the window as the main window forwards it.
#include <QTimer>

#include "functioncfg/FunctionRecordMapping.h"
#include "functioncfg/FunctionWindowRig.h"

namespace zqb::test {
namespace {

QByteArray Bytes(const FunctionRecord& record) { return QByteArray(reinterpret_cast<const char*>(record.data()), 32); }

class FunctionOnDevice : public FunctionWindowRig {
protected:
    void SetUp() override { StartModule(); }

    void ModuleHolds(const FunctionRecord& record, bool present = true)
    {
        module.Update([&](zqbsim::ModuleState& s) {
            std::copy(record.begin(), record.end(), s.functionRecord.begin());
            s.hasFunctionRecord = present;
        });
    }

    void ExpectWriteDone() { dialogs.ExpectMessage(WriteDoneText, InformationCaption, MessageIcon::Information); }
    void ExpectReadDone() { dialogs.ExpectMessage(ReadDoneText, InformationCaption, MessageIcon::Information); }
};

TEST_F(FunctionOnDevice, LinkBringsTheModulesFunctionIntoTheWindow)
{
    ModuleHolds(ExampleRecord());
    ExchangeGetLink();
    ASSERT_EQ(context.session.linked, 1);
    EXPECT_EQ(Off(), 20);
    EXPECT_EQ(On(), 80);
    EXPECT_TRUE(form.CheckBox3->isChecked());
    EXPECT_EQ(form.Label6->text(), "12 Sec");
}

TEST_F(FunctionOnDevice, ReadDeviceShowsTheModulesFunction)
{
    ModuleHolds(ExampleRecord());
    ExpectReadDone();
    form.SpeedButton10Click();
    EXPECT_EQ(HexText(LastFrame()), "5A 35 77 A5 DF");
    EXPECT_EQ(display.Message(), "Get Function Cfg. done!");
    EXPECT_EQ(Off(), 20);
    EXPECT_EQ(On(), 80);
    EXPECT_EQ(form.Label10->text(), "2 Sec");
    EXPECT_EQ(context.session.commandInFlight, 0);
}

TEST_F(FunctionOnDevice, ModuleWithoutAFunctionOnlyUnticksTheEnableBox)
{
    ApplyRecord(ExampleRecord());
    QStringList expected = Snapshot();
    expected[0] = "0";  // CheckBox3
    ModuleHolds(ExampleRecord(), false);
    ExpectReadDone();
    form.SpeedButton10Click();
    EXPECT_EQ(display.Message(), "No Function Cfg. Exist!");
    EXPECT_EQ(Snapshot(), expected);
    EXPECT_EQ(context.session.functionRecord, FunctionRecord{});
}

TEST_F(FunctionOnDevice, WriteDeviceSendsExactlyTheWindowsRecord)
{
    ApplyRecord(ExampleRecord());
    ExpectWriteDone();
    form.SpeedButton8Click();
    EXPECT_EQ(HexText(LastFrame()), "5A 35 77 A5 D7 01 " + HexText(Bytes(ExampleRecord())));
    EXPECT_EQ(display.Message(), "Set Function Cfg. done!");
    EXPECT_EQ(module.State().functionRecord, ExampleRecord());
}

TEST_F(FunctionOnDevice, DefaultWindowWritesThirtyTwoZeroBytes)
{
    ExpectWriteDone();
    form.SpeedButton8Click();
    EXPECT_EQ(HexText(LastFrame()), "5A 35 77 A5 D7 01 " + HexText(QByteArray(32, '\0')));
}

TEST_F(FunctionOnDevice, WrittenFunctionReadsBackUnchanged)
{
    ApplyRecord(ExampleRecord());
    const QStringList written = Snapshot();
    ExpectWriteDone();
    form.SpeedButton8Click();
    form.TrackBar8->setValue(0);
    form.TrackBar3->setValue(15);
    form.CheckBox4->setChecked(false);
    form.RadioButton2->setChecked(true);
    ExpectReadDone();
    form.SpeedButton10Click();
    EXPECT_EQ(Snapshot(), written);
}

// A write or read that fails says so in a box of the function window, where it was pressed; the
// "done!" box is for success only, and the controls keep what they showed.
TEST_F(FunctionOnDevice, FailuresAreBoxedWhereThePressWas)
{
    ApplyRecord(ExampleRecord());
    const QStringList before = Snapshot();
    // A silent module is waited for ten times 10 ms here, not the hundred of a real run.
    transport.SetTiming({500, 10, 10});
    const auto silent = [](zqbsim::Misbehaviour& b) { b.silent = true; };
    const auto refusing = [](zqbsim::Misbehaviour& b) { b.statusFor[SetFunctionConfig] = 5; };
    const auto badMagic = [](zqbsim::Misbehaviour& b) { b.badMagic = true; };
    const auto noConnection = [](zqbsim::Misbehaviour& b) { b.refuseConnections = true; };
    const struct {
        const char* what;
        std::function<void(zqbsim::Misbehaviour&)> misbehave;
        bool write;
        const char* box;
        QString panel;
    } cases[] = {
        // The connection is taken, no answer comes: the box says so at once; the panel is left
        // to the overdue supervision.
        {"silent on a write", silent, true, "Function Config write failed,\n    . the device did not answer.", QString()},
        {"silent on a read", silent, false, "Function Config read failed,\n    . the device did not answer.", QString()},
        {"refused write", refusing, true, "Function Config write failed,\n    . the device refused it (status 5).",
         QStringLiteral("Set Function Cfg. refused (status 5)")},
        {"bad magic on a read", badMagic, false, "Function Config read failed,\n    . the device answered with an invalid reply.",
         InvalidHeaderText},
        {"no connection for a write", noConnection, true,
         "Function Config write failed,\n    . the device did not accept a connection.", ConnectTimeoutText},
        {"no connection for a read", noConnection, false,
         "Function Config read failed,\n    . the device did not accept a connection.", ConnectTimeoutText},
    };
    for (const auto& c : cases) {
        zqbsim::Misbehaviour b;
        c.misbehave(b);
        module.SetBehaviour(b);
        dialogs.ExpectMessage(QString::fromLatin1(c.box), FunctionFailureCaption, MessageIcon::Error);
        if (c.write)
            form.SpeedButton8Click();
        else
            form.SpeedButton10Click();
        EXPECT_EQ(display.Message(), c.panel) << c.what;
        EXPECT_EQ(Snapshot(), before) << c.what;
        EXPECT_FALSE(context.ExchangeBusy);
    }
    EXPECT_EQ(dialogs.shown.size(), std::size(cases)) << "one failure box each, no done box";
}

TEST_F(FunctionOnDevice, ButtonsDoNothingWhileAnExchangeRuns)
{
    context.ExchangeBusy = true;
    context.session.commandInFlight = GetLink;
    context.commandFrame[CodeOffset] = GetLink;
    ShowOffOn(50, 60);
    form.TrackBar5->setValue(95);  // Off above On: not even the error box may come
    form.SpeedButton8Click();
    form.SpeedButton10Click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(context.session.commandInFlight, GetLink);
    EXPECT_EQ(context.commandFrame[CodeOffset], GetLink);
    EXPECT_FALSE(module.WaitForFrames(1, 200));
}

TEST_F(FunctionOnDevice, SecondPressDuringAWaitLeavesTheRunningWriteAlone)
{
    zqbsim::Misbehaviour slow;
    slow.replyDelayMs = 300;
    module.SetBehaviour(slow);
    ApplyRecord(ExampleRecord());
    bool pressed = false;
    QTimer::singleShot(50, &form, [&] {
        pressed = context.ExchangeBusy;
        form.SpeedButton10Click();
    });
    ExpectWriteDone();
    form.SpeedButton8Click();
    EXPECT_TRUE(pressed) << "the second press came while the write waited";
    ASSERT_EQ(module.Frames().size(), 1u);
    EXPECT_EQ(HexText(module.Frames()[0]), "5A 35 77 A5 D7 01 " + HexText(Bytes(ExampleRecord())));
    EXPECT_EQ(display.Message(), "Set Function Cfg. done!");
}

}  // namespace
}  // namespace zqb::test
