// Setting the analog output: track bar, step buttons, current range and calibration.
#include <gtest/gtest.h>

#include "protocol/CommandBuilders.h"
#include "protocol/DacText.h"
#include "mainwindow/MainWindowRig.h"

namespace zqb::test {
namespace {

TEST(DacText, CodesReadAsVoltsMilliampsAndPercent)
{
    const struct {
        std::int32_t code;
        const char* volts;
        const char* milliamps;
        const char* percent;
    } rows[] = {
        {0, "0.000V", "0.000mA", "0%"},          {819, "2.000V", "4.000mA", "20%"},
        {3000, "7.327V", "14.650mA", "73%"},     {4095, "10.000V", "20.000mA", "100%"},
        {1, "0.002V", "0.005mA", "0%"},          {21, "0.051V", "0.103mA", "1%"},
        {2048, "5.002V", "10.000mA", "50%"},     {4094, "9.998V", "20.000mA", "100%"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DacVoltsText(row.code), QString::fromLatin1(row.volts)) << row.code;
        EXPECT_EQ(DacMilliampsText(row.code), QString::fromLatin1(row.milliamps)) << row.code;
        EXPECT_EQ(DacPercentText(row.code), QString::fromLatin1(row.percent)) << row.code;
    }
    EXPECT_EQ(FourSignificantThreeDecimals(9.9995), QStringLiteral("10.000")) << "rounding carries into a new digit";
    EXPECT_EQ(FourSignificantThreeDecimals(12.345678), QStringLiteral("12.350"));
}

class AnalogPanel : public MainWindowRig {
protected:
    AnalogPanel()
    {
        StartModule();
        LinkUp();
        dac = &form->Analog();
        slider = dac->TrackBar1;
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    std::vector<int> SentCodes() const
    {
        std::vector<int> codes;
        for (const QByteArray& f : FramesWithCode(SetAnalog))
            codes.push_back((static_cast<std::uint8_t>(f[6]) << 8) | static_cast<std::uint8_t>(f[7]));
        return codes;
    }

    // Press on the handle, move through the given codes, release at the last one.
    void Drag(std::initializer_list<int> codes)
    {
        const QPoint start = HandleCentre(slider);
        SendMouse(slider, QEvent::MouseButtonPress, start, Qt::LeftButton);
        EXPECT_EQ(context.session.LinkPollEnabled, 0) << "no poll while the bar is held";
        const double pixelsPerCode = (slider->width() - 20.0) / (slider->maximum() - slider->minimum());
        QPoint at = start;
        int from = slider->value();
        for (int code : codes) {
            at += QPoint(static_cast<int>((code - from) * pixelsPerCode), 0);
            from = code;
            SendMouse(slider, QEvent::MouseMove, at, Qt::LeftButton);
        }
        SendMouse(slider, QEvent::MouseButtonRelease, at, Qt::NoButton);
    }

    AnalogOutputPanel* dac = nullptr;
    QSlider* slider = nullptr;
};

TEST_F(AnalogPanel, DragSendsOnceAtReleaseUnlessContinuous)
{
    ASSERT_EQ(slider->value(), 0);
    Drag({500, 1000, 1500});
    const int released = slider->value();
    EXPECT_GT(released, 1000);
    EXPECT_EQ(SentCodes(), std::vector<int>{released});
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    EXPECT_EQ(dac->dacSent, released);
    EXPECT_EQ(dac->Label11->text(), QString::number(released));
    EXPECT_EQ(module.State().dacCode, released);
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Set Analog val done!"));

    module.ClearFrames();
    dac->CheckBox3->setChecked(true);
    Drag({2000, 2500});
    const std::vector<int> sent = SentCodes();
    ASSERT_GE(sent.size(), 3u) << "each change during the drag, then the release";
    EXPECT_EQ(sent.back(), slider->value());
    EXPECT_EQ(sent[sent.size() - 2], slider->value()) << "the final position goes out once more at release";
}

TEST_F(AnalogPanel, StepButtonsSendOnceOrTwiceWhenContinuousAndStopAtTheEnds)
{
    dac->ShowDacValue(100);  // as a status reply would move it
    module.ClearFrames();
    QTest::mouseClick(dac->Image7, Qt::LeftButton);
    EXPECT_EQ(SentCodes(), std::vector<int>{101});
    QTest::mouseClick(dac->Image6, Qt::LeftButton);
    EXPECT_EQ(SentCodes(), (std::vector<int>{101, 100}));

    module.ClearFrames();
    dac->CheckBox3->setChecked(true);
    QTest::mouseClick(dac->Image7, Qt::LeftButton);
    EXPECT_EQ(SentCodes(), (std::vector<int>{101, 101}));

    module.ClearFrames();
    dac->ShowDacValue(4095);
    module.ClearFrames();
    QTest::mouseClick(dac->Image7, Qt::LeftButton);
    dac->ShowDacValue(0);
    module.ClearFrames();
    QTest::mouseClick(dac->Image6, Qt::LeftButton);
    EXPECT_TRUE(SentCodes().empty());

    // The step starts from the code shown, never from whatever the label's text has become.
    dac->CheckBox3->setChecked(false);
    dac->ShowDacValue(200);
    dac->Label11->setText(QStringLiteral("0x10"));
    module.ClearFrames();
    QTest::mouseClick(dac->Image7, Qt::LeftButton);
    EXPECT_EQ(SentCodes(), std::vector<int>{201});
}

TEST_F(AnalogPanel, APositionEqualToTheCodeSentSendsNothing)
{
    dac->CheckBox3->setChecked(true);
    slider->setValue(1234);
    ASSERT_EQ(SentCodes(), std::vector<int>{1234});
    slider->setValue(1235);
    slider->setValue(1234);
    EXPECT_EQ(SentCodes(), (std::vector<int>{1234, 1235, 1234}));
    module.ClearFrames();
    dac->dacSent = 1500;
    slider->setValue(1500);
    EXPECT_TRUE(SentCodes().empty());
}

TEST_F(AnalogPanel, KeyboardChangesAreSentWhenTheKeyComesUp)
{
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(SentCodes(), std::vector<int>{1});
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(SentCodes().back(), slider->value());
}

TEST_F(AnalogPanel, FourToTwentyRangeLiftsTheBarTo819AndUntickingLeavesIt)
{
    dac->ShowDacValue(100);
    module.ClearFrames();
    dac->CheckBox2->setChecked(true);
    EXPECT_EQ(slider->value(), 819);
    EXPECT_EQ(slider->minimum(), 819);
    EXPECT_EQ(dac->Label2->text(), QStringLiteral("2V/4mA"));
    EXPECT_EQ(dac->Label9->text(), QStringLiteral("DEC 819~4095:"));
    EXPECT_EQ(dac->Label24->text(), QStringLiteral("819/20%"));
    EXPECT_EQ(dac->Label18->text(), QStringLiteral("2.000V"));
    EXPECT_EQ(dac->Label19->text(), QStringLiteral("4.000mA"));
    EXPECT_EQ(dac->Label28->text(), QStringLiteral("20%"));
    ASSERT_EQ(FramesWithCode(SetOutputRange).size(), 1u);
    EXPECT_EQ(HexText(FramesWithCode(SetOutputRange)[0]), "5A 35 77 A5 D6 01");
    EXPECT_EQ(module.State().rangeFourToTwenty, 1);
    EXPECT_EQ(SentCodes(), std::vector<int>{819}) << "the lifted code reaches the module, once";

    // The step down still reaches below the bar's floor.
    module.ClearFrames();
    QTest::mouseClick(dac->Image6, Qt::LeftButton);
    EXPECT_EQ(SentCodes(), std::vector<int>{818});
    EXPECT_EQ(slider->value(), 819);
    EXPECT_EQ(dac->Label11->text(), QStringLiteral("818"));

    module.ClearFrames();
    dac->ShowDacValue(2000);
    dac->CheckBox2->setChecked(false);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->value(), 2000);
    EXPECT_EQ(dac->Label27->text(), QStringLiteral("0~100%:"));
    EXPECT_EQ(HexText(FramesWithCode(SetOutputRange).back()), "5A 35 77 A5 D6 00");
}

TEST_F(AnalogPanel, LiftingTheBarTo819SendsItOnceWhetherOrNotContinuous)
{
    for (const bool continuous : {false, true}) {
        dac->CheckBox2->setChecked(false);
        dac->CheckBox3->setChecked(continuous);
        dac->ShowDacValue(300);
        module.ClearFrames();
        dac->CheckBox2->setChecked(true);
        EXPECT_EQ(SentCodes(), std::vector<int>{819}) << "continuous " << continuous;
        EXPECT_EQ(module.State().dacCode, 819);
    }
}

// SetAnalog carries 0-4095 whatever the module reports.
TEST_F(AnalogPanel, ReportedCodeOutsideTheOutputIsHeldToIt)
{
    const struct {
        int reported;
        const char* shown;
        const char* volts;
        const char* stepDownSends;
    } cases[] = {
        {65535, "4095", "10.000V", "5A 35 77 A5 D4 01 0F FE"},
        {-7, "0", "0.000V", nullptr},  // nothing below 0 to step to
    };
    for (const auto& c : cases) {
        context.session.dacCode = c.reported;
        form->ShowDigitalIo();
        EXPECT_EQ(dac->Label11->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(dac->Label18->text(), QString::fromLatin1(c.volts));
        module.ClearFrames();
        QTest::mouseClick(dac->Image6, Qt::LeftButton);
        if (c.stepDownSends) {
            ASSERT_FALSE(FramesWithCode(SetAnalog).empty());
            EXPECT_EQ(HexText(FramesWithCode(SetAnalog).back()), c.stepDownSends);
        } else {
            EXPECT_TRUE(FramesWithCode(SetAnalog).empty());
        }
    }
}

TEST_F(AnalogPanel, RangeTickedByAReplySendsNoRangeCommand)
{
    module.Update([](zqbsim::ModuleState& s) {
        s.rangeFourToTwenty = 1;
        s.dacCode = 1000;
    });
    link.Supervisor().PollIoStatus();
    EXPECT_TRUE(dac->CheckBox2->isChecked());
    EXPECT_EQ(slider->minimum(), 819);
    EXPECT_EQ(module.Frames().size(), 1u) << "only the poll itself";
}

TEST_F(AnalogPanel, CalibrationSendsModeZeroAndStoresTheCodeLastSent)
{
    QTest::mouseClick(dac->CheckBox1, Qt::LeftButton, Qt::NoModifier, QPoint(6, dac->CheckBox1->height() / 2));
    ASSERT_TRUE(dac->CheckBox1->isChecked());
    EXPECT_TRUE(dac->SpeedButton1->isEnabled());
    dac->CheckBox3->setChecked(true);
    slider->setValue(4000);
    ASSERT_FALSE(FramesWithCode(SetAnalog).empty());
    EXPECT_EQ(HexText(FramesWithCode(SetAnalog).back()), "5A 35 77 A5 D4 00 0F A0");

    dac->CheckBox3->setChecked(false);
    slider->setValue(3900);  // shown, not sent
    module.ClearFrames();
    QTest::mouseClick(dac->SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(FramesWithCode(SetCalibration).size(), 1u);
    EXPECT_EQ(HexText(FramesWithCode(SetCalibration)[0]), "5A 35 77 A5 D5 00 0F A0");
    const DeviceConfigRecord& record = context.session.deviceConfigRecord;
    EXPECT_EQ(record[192], 1);
    EXPECT_EQ(record[193], 0x0F);
    EXPECT_EQ(record[194], 0xA0);

    QTest::mouseClick(dac->CheckBox1, Qt::LeftButton, Qt::NoModifier, QPoint(6, dac->CheckBox1->height() / 2));
    EXPECT_FALSE(dac->SpeedButton1->isEnabled());
}

}  // namespace
}  // namespace zqb::test
