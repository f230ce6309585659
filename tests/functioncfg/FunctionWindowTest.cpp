// The function window: its look, the waveform picture, opening and closing, and screenshots.
#include <cstdlib>

#include <QDir>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include "functioncfg/FunctionWaveform.h"
#include "functioncfg/FunctionWindowRig.h"

namespace zqb::test {
namespace {

bool Near(QColor actual, QColor expected, int tolerance = 40)
{
    return std::abs(actual.red() - expected.red()) + std::abs(actual.green() - expected.green()) +
               std::abs(actual.blue() - expected.blue()) <=
           tolerance;
}

// True when some pixel of the area is close to the colour.
bool AreaHolds(const QImage& image, QRect area, QColor colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Near(image.pixelColor(x, y), colour, 90)) return true;
    return false;
}

using FunctionWindowLook = FunctionWindowRig;

TEST_F(FunctionWindowLook, IsAFixedSizeToolWindowWithItsTitle)
{
    EXPECT_EQ(form.windowTitle(), "DAC Function Config");
    EXPECT_EQ(form.minimumSize(), QSize(727, 377));
    EXPECT_EQ(form.maximumSize(), QSize(727, 377));
    EXPECT_EQ(form.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form.testAttribute(Qt::WA_DeleteOnClose)) << "created once, only hidden";
}

TEST_F(FunctionWindowLook, WaveformShowsTheTrapezoidAndItsCaptions)
{
    const QImage wave = DrawFunctionWaveform();
    ASSERT_EQ(wave.size(), QSize(349, 80));
    EXPECT_EQ(wave.pixelColor(0, 0), QColor(241, 241, 241));
    EXPECT_EQ(wave.pixelColor(200, 45), QColor(241, 241, 241)) << "inside the trapezoid is background";
    EXPECT_EQ(wave.pixelColor(88, 68), QColor(127, 127, 127)) << "Off level before the ramp";
    EXPECT_EQ(wave.pixelColor(320, 68), QColor(127, 127, 127)) << "Off level after the ramp";
    EXPECT_EQ(wave.pixelColor(200, 17), QColor(255, 127, 39)) << "On level";
    EXPECT_TRUE(Near(wave.pixelColor(115, 42), QColor(0, 162, 232))) << "rising edge";
    EXPECT_TRUE(Near(wave.pixelColor(286, 42), QColor(34, 177, 76))) << "falling edge";
    EXPECT_EQ(wave.pixelColor(100, 17), QColor(255, 0, 0)) << "guide at the On level";
    EXPECT_TRUE(AreaHolds(wave, {2, 10, 60, 14}, Qt::red)) << "On Value";
    EXPECT_TRUE(AreaHolds(wave, {2, 61, 60, 14}, Qt::black)) << "Off Value";
    EXPECT_TRUE(AreaHolds(wave, {60, 34, 40, 16}, QColor(0, 162, 232))) << "Ton";
    EXPECT_TRUE(AreaHolds(wave, {175, 0, 50, 13}, QColor(255, 127, 39))) << "Thold";
    EXPECT_TRUE(AreaHolds(wave, {296, 34, 48, 16}, QColor(34, 177, 76))) << "Toff";

    EXPECT_EQ(form.Image5->geometry(), QRect(15, 26, 330, 78));
    EXPECT_TRUE(form.Image5->hasScaledContents());
    EXPECT_EQ(form.Image5->pixmap().size(), QSize(349, 80));
}

class FunctionWindowLife : public FunctionWindowRig {
protected:
    // Opens the window; `whileOpen` runs inside the modal loop, which is then closed by the close box.
    void OpenAndClose(const std::function<void()>& whileOpen = {})
    {
        QTimer::singleShot(0, &form, [&] {
            shownModally = form.isVisible() && form.isModal();
            pollWhileOpen = context.session.LinkPollEnabled;
            if (whileOpen) whileOpen();
            form.close();
        });
        QTimer::singleShot(5000, &form, [&] { form.hide(); });  // never hang on a failure
        form.OpenFunctionWindow();
    }

    bool shownModally = false;
    int pollWhileOpen = -1;
};

TEST_F(FunctionWindowLife, OpeningWhileAnExchangeRunsDoesNothing)
{
    context.ExchangeBusy = true;
    context.session.LinkPollEnabled = 1;
    // Fires inside the modal loop if one was entered, else only after the call below returned.
    bool shownInTheMeantime = false;
    QTimer::singleShot(0, &form, [&] {
        shownInTheMeantime = form.isVisible();
        form.hide();
    });
    form.OpenFunctionWindow();
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    QTest::qWait(20);
    EXPECT_FALSE(shownInTheMeantime);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(FunctionWindowLife, ClosingBeforeAnyLinkLeavesTheStatusAloneAndGivesThePollBack)
{
    display.SetPanelText(StatusPanel::Message, "Connect Timeout");
    context.session.LinkPollEnabled = 1;
    OpenAndClose();
    EXPECT_TRUE(shownModally);
    EXPECT_EQ(pollWhileOpen, 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(display.Message(), "Connect Timeout");
    EXPECT_EQ(Scans(), 0) << "no GetLink queued without a link";
    EXPECT_EQ(context.session.LinkPollEnabled, 1) << "a module linked later is polled";
}

TEST_F(FunctionWindowLife, ClosingAfterALinkQueuesGetLinkAndResumesThePoll)
{
    context.session.DeviceEverLinked = 1;
    context.session.LinkPollEnabled = 1;
    display.SetPanelText(StatusPanel::Message, "Get Function Cfg. done!");
    OpenAndClose();
    EXPECT_EQ(pollWhileOpen, 0);
    EXPECT_EQ(Scans(), 1);
    EXPECT_EQ(context.session.queuedCommand, GetLink);
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    EXPECT_EQ(display.Message(), "");
}

// Escape closes the window as its close box does: the module's function is asked for again.
TEST_F(FunctionWindowLife, EscapeClosesTheWindowAsTheCloseBoxDoes)
{
    context.session.DeviceEverLinked = 1;
    context.session.LinkPollEnabled = 1;
    bool openAfterEscape = true;
    OpenAndClose([&] {
        QTest::keyClick(&form, Qt::Key_Escape);
        openAfterEscape = form.isVisible();
    });
    EXPECT_FALSE(openAfterEscape);
    EXPECT_EQ(Scans(), 1);
    EXPECT_EQ(context.session.queuedCommand, GetLink);
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
}

TEST_F(FunctionWindowLife, UnwrittenChangesGiveWayToTheModulesFunctionAfterClosing)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) {
        const FunctionRecord r = ExampleRecord();
        std::copy(r.begin(), r.end(), s.functionRecord.begin());
    });
    ExchangeGetLink();
    ASSERT_EQ(form.Label10->text(), "2 Sec");
    OpenAndClose([&] { form.TrackBar8->setValue(0); });
    EXPECT_EQ(form.Label10->text(), "10 Sec") << "kept while hidden";
    ASSERT_EQ(context.session.queuedCommand, GetLink);
    ExchangeGetLink();
    EXPECT_EQ(form.Label10->text(), "2 Sec");
}

}  // namespace
}  // namespace zqb::test
