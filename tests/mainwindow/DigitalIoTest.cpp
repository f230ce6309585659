// Switching the digital output and showing the inputs.
#include <gtest/gtest.h>

#include "mainwindow/MainWindowRig.h"

namespace zqb::test {
namespace {

class DigitalIo : public MainWindowRig {
protected:
    DigitalIo()
    {
        StartModule();
        LinkUp();
    }
};

TEST_F(DigitalIo, ClickQueuesSetDoAndOnlyTheAcknowledgementChangesTheDisplay)
{
    DigitalIoPanel& io = form->DigitalIo();
    module.Update([](zqbsim::ModuleState& s) { s.diBits = 0x02; });
    ASSERT_EQ(io.SpeedButton4->text(), QStringLiteral("DO Off"));
    QTest::mouseClick(io.SpeedButton4, Qt::LeftButton);
    EXPECT_EQ(io.SpeedButton4->text(), QStringLiteral("DO Off")) << "nothing changes before the module says so";
    EXPECT_TRUE(module.Frames().empty());
    EXPECT_TRUE(form->Memo1->toPlainText().contains(QStringLiteral("Loop:1,Val:1")));

    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(FramesWithCode(SetDo).size(), 1u);
    EXPECT_EQ(HexText(FramesWithCode(SetDo)[0]), "5A 35 77 A5 D0 01 01");
    EXPECT_EQ(io.SpeedButton4->text(), QStringLiteral("DO On"));
    EXPECT_EQ(io.Shape1->Fill(), QColor(255, 0, 100));
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Set DO Done! DI:02"));
    EXPECT_EQ(io.Shape2->Fill(), QColor(39, 255, 37));
    EXPECT_EQ(io.Shape6->Fill(), io.colours.offFill);

    QTest::mouseClick(io.SpeedButton4, Qt::LeftButton);
    link.Supervisor().LinkTimerTick();
    EXPECT_EQ(HexText(FramesWithCode(SetDo).back()), "5A 35 77 A5 D0 01 00");
    EXPECT_EQ(io.SpeedButton4->text(), QStringLiteral("DO Off"));
}

TEST_F(DigitalIo, TwoClicksBeforeTheTickSendOneCommand)
{
    DigitalIoPanel& io = form->DigitalIo();
    QTest::mouseClick(io.SpeedButton4, Qt::LeftButton);
    QTest::mouseClick(io.SpeedButton4, Qt::LeftButton);
    link.Supervisor().LinkTimerTick();
    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(FramesWithCode(SetDo).size(), 1u);
    EXPECT_EQ(HexText(FramesWithCode(SetDo)[0]), "5A 35 77 A5 D0 01 01");
}

TEST_F(DigitalIo, StatusBitsAreMaskedToTheModelsInputsAndOutput)
{
    DigitalIoPanel& io = form->DigitalIo();
    module.Update([](zqbsim::ModuleState& s) {
        s.doBits = 0xFF;
        s.diBits = 0xFF;
    });
    link.Supervisor().PollIoStatus();
    EXPECT_EQ(context.session.doState, 1);
    EXPECT_EQ(context.session.diState, 3);
    EXPECT_EQ(io.Shape6->Fill(), QColor(39, 255, 37));
    EXPECT_EQ(io.Shape2->Fill(), QColor(39, 255, 37));
    EXPECT_EQ(io.SpeedButton4->text(), QStringLiteral("DO On"));
}

}  // namespace
}  // namespace zqb::test
