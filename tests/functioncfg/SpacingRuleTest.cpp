// The Off/On spacing rule of the two percent bars and how the bars notify it: user steps through
// real key and mouse events, code settings through the record.
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include "functioncfg/FunctionRecordMapping.h"
#include "functioncfg/FunctionWindowRig.h"

namespace zqb::test {
namespace {

class SpacingRule : public FunctionWindowRig {
protected:
    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void Press(QSlider* bar, Qt::Key key, int times = 1)
    {
        bar->setFocus();
        for (int i = 0; i < times; ++i) QTest::keyClick(bar, key);
    }

    static QPoint HandleCentre(QSlider* bar)
    {
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.upsideDown = bar->orientation() == Qt::Vertical ? !bar->invertedAppearance() : bar->invertedAppearance();
        option.tickPosition = bar->tickPosition();
        option.tickInterval = bar->tickInterval();
        return bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar).center();
    }
};

TEST_F(SpacingRule, SteppingOnDownPushesOffToTheBottomAndStopsAtFive)
{
    ShowOffOn(10, 40);
    Press(form.TrackBar5, Qt::Key_Down, 60);
    EXPECT_EQ(Off(), 0);
    EXPECT_EQ(On(), 5);
    EXPECT_EQ(form.Label9->text(), "0%");
    EXPECT_EQ(form.Label7->text(), "5%");
}

TEST_F(SpacingRule, SteppingOffUpPushesOnToTheTopAndStopsAtNinetyFive)
{
    ShowOffOn(10, 40);
    Press(form.TrackBar7, Qt::Key_Up, 100);
    EXPECT_EQ(Off(), 95);
    EXPECT_EQ(On(), 100);
    EXPECT_EQ(form.Label9->text(), "95%");
    EXPECT_EQ(form.Label7->text(), "100%");
}

TEST_F(SpacingRule, EveryStepKeepsFivePointsBetweenTheBars)
{
    ShowOffOn(10, 40);
    form.TrackBar5->setFocus();
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(form.TrackBar5, Qt::Key_Down);
        ASSERT_GE(On() - Off(), 5) << "after step " << i + 1;
    }
}

TEST_F(SpacingRule, EndKeyJumpLeavesOffAboveOnAndWritingIsRefused)
{
    StartModule();
    ShowOffOn(50, 60);
    Press(form.TrackBar5, Qt::Key_End);
    EXPECT_EQ(Off(), 50);
    EXPECT_EQ(On(), 5);
    EXPECT_EQ(form.Label7->text(), "5%");

    dialogs.ExpectMessage(OffAboveOnText, {}, MessageIcon::Error);
    form.SpeedButton8Click();
    EXPECT_TRUE(dialogs.AllShown());
    EXPECT_FALSE(module.WaitForFrames(1, 200)) << "nothing may reach the module";
    EXPECT_EQ(dialogs.shown.size(), 1u) << "no write-done box after a refused record";
}

TEST_F(SpacingRule, KeyAtTheEndOfTheRangeStillRunsTheHandler)
{
    // A fresh On bar stands at 0 %, below its 5 % floor; End cannot move it further, but the
    // notification applies the floor.
    Press(form.TrackBar5, Qt::Key_End);
    EXPECT_EQ(On(), 5);
    EXPECT_EQ(form.Label7->text(), "5%");
}

TEST_F(SpacingRule, UnmovedOffBarStillPushesOnWhenTheUserWorksIt)
{
    Press(form.TrackBar7, Qt::Key_Down);
    EXPECT_EQ(Off(), 0);
    EXPECT_EQ(On(), 5);
    EXPECT_EQ(form.Label9->text(), "0%");
}

TEST_F(SpacingRule, EndOfADragThatLeftThePositionRunsTheHandler)
{
    const QPoint handle = HandleCentre(form.TrackBar5);
    QTest::mousePress(form.TrackBar5, Qt::LeftButton, {}, handle);
    ASSERT_TRUE(form.TrackBar5->isSliderDown()) << "the press must catch the thumb";
    QTest::mouseRelease(form.TrackBar5, Qt::LeftButton, {}, handle);
    EXPECT_EQ(On(), 5);
}

TEST_F(SpacingRule, CodeSettingRunsTheRuleNestedAndLabelsFollowTheFinalPositions)
{
    // Off 0 / On 10, then Off 20 by code: Off pushes On up, On pushes Off down, and so on.
    ShowOffOn(0, 10);
    form.SetPosition(FunctionField::dacOffCode, 80);
    EXPECT_EQ(Off(), 15);
    EXPECT_EQ(On(), 20);
    EXPECT_EQ(form.Label9->text(), "15%");
    EXPECT_EQ(form.Label7->text(), "20%");
}

using TrackBars = SpacingRule;

TEST_F(TrackBars, FreshWindowShowsZeroEverywhereWithVerticalBarsAtTheBottom)
{
    for (const QLabel* label : {form.Label2, form.Label4, form.Label5, form.Label6, form.Label8, form.Label10,
                                form.Label12})
        EXPECT_EQ(label->text(), "0 Sec");
    EXPECT_EQ(form.Label7->text(), "0%");
    EXPECT_EQ(form.Label9->text(), "0%");
    for (QSlider* bar : {form.TrackBar1, form.TrackBar2, form.TrackBar5, form.TrackBar6, form.TrackBar7,
                         form.TrackBar8, form.TrackBar9}) {
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_GT(HandleCentre(bar).y(), bar->height() / 2) << "thumb drawn in the lower half";
    }
    EXPECT_EQ(form.TrackBar3->value(), 0);
    EXPECT_LT(HandleCentre(form.TrackBar3).x(), form.TrackBar3->width() / 2);
}

TEST_F(TrackBars, UpRaisesTheShownValueAndEndGoesToTheLowest)
{
    Press(form.TrackBar1, Qt::Key_Up);
    EXPECT_EQ(form.Label2->text(), "1 Sec");
    Press(form.TrackBar1, Qt::Key_Home);
    EXPECT_EQ(form.Label2->text(), "10 Sec");
    EXPECT_LT(HandleCentre(form.TrackBar1).y(), form.TrackBar1->height() / 2) << "10 s is drawn at the top";
    Press(form.TrackBar1, Qt::Key_End);
    EXPECT_EQ(form.Label2->text(), "0 Sec");

    Press(form.TrackBar3, Qt::Key_End);
    EXPECT_EQ(form.Label5->text(), "15 Sec");
}

TEST_F(TrackBars, ClickAboveTheThumbRaisesTheValue)
{
    QTest::mouseClick(form.TrackBar9, Qt::LeftButton, {}, QPoint(form.TrackBar9->width() / 2, 8));
    EXPECT_LT(form.TrackBar9->value(), 10);
    EXPECT_NE(form.Label12->text(), "0 Sec");
}

TEST_F(TrackBars, WheelUpRaisesTheValue)
{
    const QPoint centre(form.TrackBar8->width() / 2, form.TrackBar8->height() / 2);
    QWheelEvent wheel(centre, form.TrackBar8->mapToGlobal(centre), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(form.TrackBar8, &wheel);
    EXPECT_LT(form.TrackBar8->value(), 10);
    EXPECT_NE(form.Label10->text(), "0 Sec");
}

}  // namespace
}  // namespace zqb::test
