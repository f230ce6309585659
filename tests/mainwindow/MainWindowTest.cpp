// The main window's looks and its status display, against the simulated module.
#include <gtest/gtest.h>

#include <QTimer>

#include "support/CaptionFit.h"
#include "mainwindow/LinkFreshness.h"
#include "mainwindow/MainWindowRig.h"
#include "setup/Setup.h"

namespace zqb::test {
namespace {

QColor TextColour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

class MainWindow : public MainWindowRig {
protected:
    // What responds to the user in the no-module look.
    std::vector<QWidget*> ModelControls()
    {
        AnalogOutputPanel& dac = form->Analog();
        DigitalIoPanel& io = form->DigitalIo();
        return {form->Image1, form->Image3, form->Image4, form->Image5, io.SpeedButton4, io.Label1, io.Label21,
                dac.Image6,   dac.Image7,   dac.TrackBar1, dac.CheckBox1, dac.CheckBox2};
    }
};

TEST_F(MainWindow, HasItsControlsTextsAndGeometry)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("zQB IO Console V1.10(20200213)"));
    EXPECT_EQ(form->size(), QSize(420, 551));
    EXPECT_EQ(form->GroupBox3->geometry(), QRect(1, 1, 417, 137));
    EXPECT_EQ(form->StatusBar2->geometry(), QRect(0, 513, 420, 19));
    EXPECT_EQ(form->StatusBar1->PanelCount(), 2);
    EXPECT_EQ(form->StatusBar3->PanelCount(), 0);
    EXPECT_FALSE(form->Memo1->isVisibleTo(form.get()));
    EXPECT_EQ(form->Image1->toolTip(), QStringLiteral("Setup"));
    EXPECT_EQ(form->Image3->toolTip(), QStringLiteral("Find me"));
    EXPECT_EQ(form->Image2->toolTip(), QStringLiteral("Refresh"));
    EXPECT_EQ(form->Image4->toolTip(), QStringLiteral("Digital Input Counter"));
    EXPECT_EQ(form->Image5->toolTip(), QStringLiteral("Function Configuration"));
    EXPECT_EQ(form->Image1->iconSize(), QSize(24, 24));
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    EXPECT_FALSE(form->Analog().SpeedButton2->isVisibleTo(form.get()));
    EXPECT_EQ(form->Analog().Label9->text(), QStringLiteral("[DEC 0~4095]:"));
}

TEST_F(MainWindow, StartsInTheNoModuleLook)
{
    hostBackend.interfaces.clear();
    dialogs.ExpectMessage(QStringLiteral("Please check device whether in AP mode!"), QStringLiteral("Device not found"),
                          MessageIcon::Warning);
    form->FormActivate();
    EXPECT_EQ(form->Label4->text(), QStringLiteral("Device not found!!"));
    EXPECT_EQ(TextColour(form->Label4), QColor(255, 0, 0));
    EXPECT_EQ(form->Label5->text(), QString());
    EXPECT_EQ(form->Label12->text(), QStringLiteral("RSSI:"));
    EXPECT_EQ(TextColour(form->Label12), QColor(255, 64, 129));
    for (QWidget* control : ModelControls()) EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_TRUE(form->Image2->isEnabled());
    EXPECT_TRUE(form->Edit2->isEnabled());
    EXPECT_TRUE(form->SpeedButton5->isEnabled());
    EXPECT_EQ(form->DigitalIo().SpeedButton4->text(), QStringLiteral("DO Off"));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("127.0.0.1"));
}

TEST_F(MainWindow, LinkingShowsTheModuleAndEnablesItsControls)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) {
        s.location = "Pump house";
        s.mac = {0x00, 0x1E, 0xC0, 0xAB, 0x0C, 0x0F};
        s.firmwareMajor = 1;
        s.firmwareMinor = 0x0A;
        s.rssiWord = 0xFFC4;
        s.diBits = 0x02;
        s.doBits = 0x01;
        s.dacCode = 3000;
    });
    LinkUp();
    EXPECT_EQ(form->Label4->text(), QStringLiteral("zQB-AO4K DAC Node"));
    EXPECT_EQ(TextColour(form->Label4), QColor(0, 0, 128));
    EXPECT_EQ(form->StatusBar1->PanelText(0), QStringLiteral("Dev MAC: 00:1E:C0:AB:0C:0F"));
    EXPECT_EQ(form->StatusBar1->PanelText(1), QStringLiteral("IP: 127.0.0.1"));
    EXPECT_EQ(form->StatusBar2->PanelText(1), QStringLiteral("FW: V01.0A"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("Locate: Pump house"));
    EXPECT_EQ(TextColour(form->Label5), QColor(64, 132, 118));
    EXPECT_EQ(form->Label12->text(), QStringLiteral("RSSI: -60dBm"));
    for (QWidget* control : ModelControls()) EXPECT_TRUE(control->isEnabled());

    DigitalIoPanel& io = form->DigitalIo();
    EXPECT_EQ(io.SpeedButton4->text(), QStringLiteral("DO On"));
    EXPECT_EQ(io.Shape1->Fill(), QColor(255, 0, 100));
    EXPECT_EQ(io.Shape6->Fill(), io.colours.offFill);
    EXPECT_EQ(io.Shape2->Fill(), QColor(39, 255, 37));
    AnalogOutputPanel& dac = form->Analog();
    EXPECT_EQ(dac.TrackBar1->value(), 3000);
    EXPECT_EQ(dac.Label11->text(), QStringLiteral("3000"));
    EXPECT_EQ(dac.Label18->text(), QStringLiteral("7.327V"));
    EXPECT_EQ(dac.Label19->text(), QStringLiteral("14.650mA"));
    EXPECT_EQ(dac.Label28->text(), QStringLiteral("73%"));
    EXPECT_TRUE(FramesWithCode(SetAnalog).empty()) << "a code shown from a reply is not sent back";

    // Losing the network returns the window to its no-module look.
    hostBackend.interfaces.clear();
    link.Supervisor().PrepareLink();
    EXPECT_EQ(form->Label4->text(), QStringLiteral("Device not found!!"));
    EXPECT_FALSE(io.SpeedButton4->isEnabled());
    EXPECT_EQ(io.SpeedButton4->text(), QStringLiteral("DO Off"));
    EXPECT_EQ(io.Shape2->Fill(), io.colours.offFill);
}

// While nothing is linked, or the linked module does not answer, the status box says so, and
// what an earlier link reported stays readable but greyed: the values a poll brings until the
// module answers again, those of the link record until a new one arrives.
TEST_F(MainWindow, SaysWhenNothingIsLinkedAndGreysWhatAnEarlierLinkReported)
{
    // Greyed, and so told to a screen reader.
    const auto greyed = [](const QWidget* value) {
        return value->accessibleDescription() == QStringLiteral("From an earlier link") &&
               value->palette().color(QPalette::WindowText) == QColor(96, 96, 96);
    };
    const auto stale = [&] {
        QStringList shown;
        if (greyed(form->Label4)) shown << "model";
        if (greyed(form->Label5)) shown << "location";
        if (form->StatusBar1->PanelStale(0)) shown << "MAC";
        if (form->StatusBar2->PanelStale(1)) shown << "firmware";
        if (form->StatusBar1->PanelStale(1)) shown << "address";
        if (greyed(form->Label12)) shown << "signal";
        DigitalIoPanel& io = form->DigitalIo();
        if (io.Shape6->IsStale() && io.Shape2->IsStale() && io.Shape1->IsStale() &&
            io.Shape6->accessibleDescription() == QStringLiteral("From an earlier link"))
            shown << "lamps";
        return shown;
    };
    const auto relink = [&] {
        link.Supervisor().RequestLink();
        link.Supervisor().LinkTimerTick();
        ASSERT_EQ(context.session.linked, 1);
    };
    // The link timer's periodic check, until it has polled (a poll left unanswered is given up
    // by the check after it).
    const auto poll = [&] {
        for (int check = 0; check < 2; ++check) {
            const bool polls = context.session.commandInFlight == 0;
            context.session.linkTick = PeriodicCheckTick;
            link.Supervisor().LinkTimerTick();
            if (polls) return;
        }
    };
    link.Transport().SetTiming({500, 10, 10});  // a silent module is waited for briefly

    StartModule();
    const std::uint16_t port = module.Port();
    module.Stop();  // nothing listens at the module's address
    form->FormActivate();
    link.Supervisor().LinkTimerTick();
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Connect Timeout"));
    EXPECT_EQ(form->Label4->text(), QStringLiteral("Not linked"));
    EXPECT_EQ(TextColour(form->Label4), QColor(192, 0, 0));
    EXPECT_EQ(stale(), (QStringList{"MAC", "firmware", "address"})) << "the no-module look shows no signal and no lamps";
    ASSERT_TRUE(module.Start(port));
    relink();
    const QString mac = form->StatusBar1->PanelText(0);
    EXPECT_TRUE(mac.startsWith(QStringLiteral("Dev MAC: ")));
    EXPECT_EQ(stale(), QStringList{});

    const auto network = hostBackend.interfaces;
    const auto adapters = hostBackend.adapters;
    zqbsim::Misbehaviour silent;
    silent.silent = true;
    const struct {
        const char* what;
        std::function<void()> lose;
        std::function<void()> comeBack;  // the network or the module is back; no link record yet
        const char* label4;
        QColor colour;
        QStringList greyed;
        QStringList greyedBeforeTheRecord;
    } cases[] = {
        {"network lost", [&] { hostBackend.interfaces.clear(); link.Supervisor().PrepareLink(); },
         [&] { hostBackend.interfaces = network; }, "Device not found!!", QColor(255, 0, 0),
         {"MAC", "firmware", "address"}, {"MAC", "firmware", "address"}},
        {"several networks", [&] { hostBackend.AddWifi("127.0.0.6"); link.Supervisor().PrepareLink(); },
         [&] {
             hostBackend.interfaces = network;
             hostBackend.adapters = adapters;
         },
         "Same multiple IP found!!", QColor(255, 0, 0),
         {"MAC", "firmware", "address", "signal", "lamps"}, {"MAC", "firmware", "address", "signal", "lamps"}},
        {"module stopped, network kept", [&] { module.Stop(); poll(); },
         [&] { ASSERT_TRUE(module.Start(port)); poll(); }, "Not linked", QColor(192, 0, 0),
         {"location", "MAC", "firmware", "address", "signal", "lamps"}, {"model", "location", "MAC", "firmware"}},
        {"module silent, network kept", [&] { module.SetBehaviour(silent); poll(); },
         [&] { module.SetBehaviour({}); poll(); }, "Not linked", QColor(192, 0, 0),
         {"location", "MAC", "firmware", "address", "signal", "lamps"}, {"model", "location", "MAC", "firmware"}},
    };
    for (const auto& c : cases) {
        c.lose();
        EXPECT_EQ(form->Label4->text(), QString::fromLatin1(c.label4)) << c.what;
        EXPECT_EQ(TextColour(form->Label4), c.colour) << c.what;
        EXPECT_EQ(stale(), c.greyed) << c.what;
        EXPECT_EQ(form->StatusBar1->PanelText(0), mac) << c.what << ": kept, greyed";
        c.comeBack();
        EXPECT_EQ(stale(), c.greyedBeforeTheRecord) << c.what << ": until the record comes";
        relink();
        EXPECT_EQ(form->Label4->text(), QStringLiteral("zQB-AO4K DAC Node")) << c.what;
        EXPECT_EQ(TextColour(form->Label4), QColor(0, 0, 128)) << c.what;
        EXPECT_EQ(stale(), QStringList{}) << c.what << ": current again with a new link record";
    }
}

// Which outcomes make the shown values current again, and which stale: a refusal is an answer,
// while a restart's missing answer says nothing of the module.
TEST(LinkFreshnessOf, OutcomesOfTheModule)
{
    const struct {
        Outcome outcome;
        bool linked;
        Freshness freshness;
    } cases[] = {
        {Outcome::Done(GetLink), true, Freshness::Linked},
        {Outcome::Done(GetIoStatus), true, Freshness::Answered},
        {Outcome::RefusedWith(SetDo, 3), true, Freshness::Answered},
        {Outcome::NotReached(GetIoStatus, Unreached::NoConnection), true, Freshness::Silent},
        {Outcome::NotReached(SetAnalog, Unreached::NoNetwork), false, Freshness::Silent},
        {Outcome::Silent(GetIoStatus), true, Freshness::Silent},
        {Outcome::Invalid(GetLink, ReplyFault::OtherAddress), false, Freshness::Silent},
        {Outcome::Silent(SetWifiMode), true, Freshness::Unchanged},
        {Outcome::BusyBecause(GetIoStatus, BusyWith::OtherProgram), true, Freshness::Unchanged},
        {Outcome::BadInput(QStringLiteral("Location"), QStringLiteral("too long")), true, Freshness::Unchanged},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FreshnessAfter(c.outcome, c.linked), c.freshness) << DescribeOutcome(c.outcome).toStdString();
}

TEST_F(MainWindow, ModuleAnsweringForAnotherAddressEnablesControlsButKeepsTheLocation)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) { s.reportedAddress = {127, 0, 0, 2}; });
    form->FormActivate();
    form->Label5->setText(QStringLiteral("Locate: earlier"));
    link.Supervisor().LinkTimerTick();
    EXPECT_EQ(context.session.linked, 0);
    EXPECT_EQ(form->Label4->text(), QStringLiteral("zQB-AO4K DAC Node"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("Locate: earlier"));
    EXPECT_EQ(TextColour(form->Label5), QColor(0, 0, 0));
    EXPECT_TRUE(form->Image1->isEnabled());
}

// Text the module sends is data: never read as markup, control characters made visible.
TEST_F(MainWindow, ModuleTextIsShownAsPlainText)
{
    StartModule();
    const struct {
        QByteArray location;
        QString shown;
    } cases[] = {
        {"<b>Big</b><i>it</i>", QStringLiteral("Locate: <b>Big</b><i>it</i>")},
        {"<img src=/etc/passwd>", QStringLiteral("Locate: <img src=/etc/passwd>")},
        {QByteArray("a\nb\tc\x7F\x85", 7), QStringLiteral("Locate: a\u240Ab\u2409c\u2421\uFFFD")},
    };
    for (const auto& c : cases) {
        module.Update([&](zqbsim::ModuleState& st) { st.location = c.location; });
        context.session.firstActivationDone = 0;
        form->FormActivate();
        link.Supervisor().LinkTimerTick();
        EXPECT_EQ(form->Label5->text(), c.shown);
        EXPECT_EQ(form->Label5->textFormat(), Qt::PlainText);
        EXPECT_EQ(context.session.locationText, c.location) << "kept as the module sent it";
    }
    for (const QLabel* label : {form->Label4, form->Label12})
        EXPECT_EQ(label->textFormat(), Qt::PlainText);

    // Up to 31 wide characters still stay on the label's line, the whole text in its tool tip.
    const QString wide = QStringLiteral("Locate: ") + QString(31, QLatin1Char('W'));
    form->SetLocationText(wide);
    EXPECT_EQ(ClippedCaptions(*form->GroupBox3), QStringList{});
    EXPECT_EQ(form->Label5->toolTip(), wide);
}

// Clicks arrive inside socket waits. Nothing may open a box or a dialog's modal loop there: it
// would hold the exchange until the user closed it.
TEST_F(MainWindow, NoModalLoopOpensWhileAnExchangeWaits)
{
    StartModule();
    LinkUp();
    context.ExchangeBusy = true;
    context.session.LinkPollEnabled = 1;
    form->Edit2->setText(QStringLiteral("not an address"));
    TForm4& function = form->FunctionWindow();
    const std::function<void()> clicks[] = {
        [&] { form->Image1Click(); },   // setup
        [&] { form->Image4Click(); },   // counters
        [&] { form->Image5Click(); },   // function window
        [&] { form->Image2Click(); },   // refresh: its network check may raise a box
        [&] { QTest::mouseClick(form->SpeedButton5, Qt::LeftButton); },  // "Static IP" with a bad address
        [&] { function.SpeedButton7Click(); },  // load file
        [&] { function.SpeedButton8Click(); },  // write device
        [&] { function.SpeedButton9Click(); },  // save file
        [&] { function.SpeedButton10Click(); }, // read device
    };
    for (const auto& click : clicks) click();  // any box fails the test; a modal window would block it
    EXPECT_FALSE(form->SetupWindow().isVisible());
    EXPECT_FALSE(form->CounterWindow().isVisible());
    EXPECT_FALSE(function.isVisible());
    EXPECT_EQ(context.session.queuedCommand, 0);
    EXPECT_EQ(context.session.hostAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    context.ExchangeBusy = false;
}

// The layout is drawn for one face; with the faces installed here no caption may be cut off,
// in either look of the main window, with the current range ticked, or in the dialog windows.
TEST_F(MainWindow, EveryCaptionFitsItsControl)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) { s.location = "Pump house 3, north wall, bay 1"; });
    form->show();
    EXPECT_EQ(ClippedCaptions(*form), QStringList{}) << "no-module look";
    LinkUp();
    EXPECT_EQ(ClippedCaptions(*form), QStringList{}) << "linked";
    form->Analog().CheckBox2->setChecked(true);
    EXPECT_EQ(ClippedCaptions(*form), QStringList{}) << "4~20mA";
    for (QDialog* window : std::initializer_list<QDialog*>{&form->CounterWindow(), &form->FunctionWindow(), &form->SetupWindow()}) {
        window->show();
        EXPECT_EQ(ClippedCaptions(*window), QStringList{}) << window->windowTitle().toStdString();
        window->hide();
    }
}

TEST_F(MainWindow, FindMeIsQueuedAndItsAcknowledgementShown)
{
    StartModule();
    LinkUp();
    QTest::mouseClick(form->Image3, Qt::LeftButton);
    EXPECT_TRUE(module.Frames().empty()) << "queued, not sent at the click";
    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(FramesWithCode(SetLocator).size(), 1u);
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Set Locator done!"));
    EXPECT_EQ(module.State().locatorCount, 1);
}

TEST_F(MainWindow, RefreshAsksForTheLinkRecordAgain)
{
    StartModule();
    LinkUp();
    context.session.retryCount = 2;
    QTest::mouseClick(form->Image2, Qt::LeftButton);
    EXPECT_EQ(context.session.retryCount, 0);
    EXPECT_EQ(context.session.queuedCommand, GetLink);
}

TEST_F(MainWindow, SetupRefusesWhileAnExchangeWaitsAndItsClosingResumesThePoll)
{
    StartModule();
    LinkUp();
    TForm2& setup = form->SetupWindow();

    context.ExchangeBusy = true;
    form->Image1Click();  // would block in its modal loop if it opened
    context.ExchangeBusy = false;
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    EXPECT_FALSE(setup.isVisible());

    bool pollWhileOpen = true;
    QTimer::singleShot(50, &setup, [&] {
        pollWhileOpen = context.session.LinkPollEnabled == 1;
        EXPECT_EQ(setup.windowTitle(), QStringLiteral("zQB.Setup"));
        setup.close();
    });
    form->StatusBar2->SetPanelText(0, QStringLiteral("Set Locator done!"));
    form->Image1Click();
    EXPECT_FALSE(pollWhileOpen);
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    EXPECT_EQ(context.session.queuedCommand, GetLink) << "closing asks for a fresh link record";
    EXPECT_EQ(form->StatusBar2->PanelText(0), QString());
}

// Only sums found equal complete the update; every other end of the check is its failure box.
TEST_F(MainWindow, ChecksumVerdictIsBoxedWithItsTextAsCaption)
{
    const QString failed = QStringLiteral("Update F/W fail with Error! Please retry again.");
    const QString complete = QStringLiteral("F/W update Complete! Reboot to take effect");
    const struct {
        Outcome verdict;
        QString text;
        MessageIcon icon;
    } cases[] = {
        {Outcome::Done(GetImageChecksum), complete, MessageIcon::None},
        {Outcome::Mismatch(GetImageChecksum, 1, 2), failed, MessageIcon::Error},
        {Outcome::Silent(GetImageChecksum), failed, MessageIcon::Error},
        {Outcome::RefusedWith(GetImageChecksum, 3), failed, MessageIcon::Error},
    };
    for (const auto& c : cases) {
        dialogs.ExpectMessage(c.text, c.text, c.icon);
        form->ShowChecksumVerdict(c.verdict);
    }
}

}  // namespace
}  // namespace zqb::test
