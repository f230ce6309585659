// The windows as a keyboard user and a screen reader meet them: where the focus starts, where Tab
// goes, what each control is called, which role and state it reports, the values sliders and the
// gauge read out, and which answer a stray key gives a confirmation.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

#include "mainwindow/AboutBox.h"
#include "mainwindow/MainWindowRig.h"
#include "platform/QtDialogs.h"
#include "platform/WindowLook.h"
#include "setup/SettingRules.h"

namespace zqb::test {
namespace {

QAccessibleInterface* Reader(QObject* object) { return QAccessible::queryAccessibleInterface(object); }
QString NameOf(QObject* object) { return Reader(object)->text(QAccessible::Name); }

// The controls Tab visits in a window, in order, by their accessible names.
QStringList TabSequence(QWidget& window)
{
    QStringList names;
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&window)) names << NameOf(w);
    return names;
}

// Runs `inside` in the modal loop of the window `open` shows, then closes that window.
void WhileOpen(const std::function<void()>& open, const std::function<void()>& inside)
{
    QTimer::singleShot(0, [inside] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        inside();
        modal->close();
    });
    open();
}

class KeyboardAndReader : public MainWindowRig {
protected:
    KeyboardAndReader()
    {
        StartModule();
        module.Update([](zqbsim::ModuleState& s) {
            s.diBits = 1;
            s.doBits = 1;
        });
        LinkUp();
    }
};

TEST_F(KeyboardAndReader, WindowsOpenOnTheirFirstHarmlessControlWhateverWasUsedLast)
{
    TForm2& setup = form->SetupWindow();
    TForm3& counter = form->CounterWindow();
    TForm4& function = form->FunctionWindow();
    const struct {
        std::function<void()> open;
        QWidget* window;
        QWidget* usedLast;
        QWidget* harmless;
    } cases[] = {
        {[&] { form->Image1Click(); }, &setup, setup.Image7, setup.Edit1},  // not "Reset to Default"
        {[&] { form->Image4Click(); }, &counter, counter.clearButtons[0], counter.Image2},
        {[&] { form->Image5Click(); }, &function, function.SpeedButton8, function.CheckBox3},
    };
    // The main window starts on its first control, the setup icon: it only opens a window that
    // asks before it changes anything.
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(form->focusWidget(), form->Image1) << (form->focusWidget() ? NameOf(form->focusWidget()).toStdString() : "nothing");

    for (const auto& c : cases) {
        WhileOpen(c.open, [&] { c.usedLast->setFocus(); });
        QWidget* focused = nullptr;
        WhileOpen(c.open, [&] { focused = c.window->focusWidget(); });
        EXPECT_EQ(focused, c.harmless) << c.window->windowTitle().toStdString() << ": "
                                       << (focused ? NameOf(focused).toStdString() : "nothing");
    }
}

// Return on a counter's "Clear" does nothing: clearing takes a click or Space.
TEST_F(KeyboardAndReader, ReturnNeverClearsACounter)
{
    TForm3& counter = form->CounterWindow();
    const struct {
        Qt::Key key;
        std::size_t clears;
    } cases[] = {{Qt::Key_Return, 0}, {Qt::Key_Enter, 0}, {Qt::Key_Space, 1}};
    for (const auto& c : cases) {
        module.ClearFrames();
        WhileOpen([&] { form->Image4Click(); }, [&] {
            counter.clearButtons[1]->setFocus();
            QTest::keyClick(counter.clearButtons[1], c.key);
        });
        EXPECT_EQ(FramesWithCode(ClearDiCounter).size(), c.clears) << QTest::toString(c.key);
    }
}

TEST_F(KeyboardAndReader, TabFollowsReadingOrderAndEntersRadioGroupsOnTheCheckedButton)
{
    TForm2& setup = form->SetupWindow();
    setup.ShowSessionSettings();
    setup.RadioButton2->setChecked(true);
    setup.RadioButton4->setChecked(true);
    setup.RadioButton7->setChecked(true);
    setup.SetStaticIpControls(true);
    form->FunctionWindow().RadioButton1->setChecked(true);
    const struct {
        QWidget* window;
        QStringList order;
    } cases[] = {
        {form.get(),
         {"Setup", "Find me", "Device IP", "Static IP", "Refresh", "DO On", "Digital Input Counter",
          "Function Configuration", "DAC Value Adj. TrackBar", "DAC step down", "DAC step up", "4~20mA",
          "DA Continuous Output", "Cal."}},
        {&setup,
         {"AP SSID name", "WPA/WPA2", "AP SSID key", "Apply AP settings", "Station SSID name", "WEP",
          "Station SSID key", "Apply station settings", "Static IP", "Static IP address", "Static IP subnet mask",
          "Static IP gateway", "Apply static IP", "Station", "Apply Wi-Fi mode", "Web login key",
          "Apply web login key", "Modbus port", "Modbus idle timeout", "Apply Modbus settings", "Location string",
          "Apply location", "Reset to Default", "Update F/W", "Reboot device"}},
        {&form->FunctionWindow(),
         {"Function Mode Enable", "Rising edge (Open)", "DI0 Trig DO Enable", "DI1 Trig DO Enable", "DO delay to on",
          "DO time to hold after DI release", "DI0 Trig DAC Enable", "DI0 DAC delay on", "DI1 Trig DAC Enable",
          "DI1 DAC delay on", "DAC off value", "DAC on value", "DAC ton", "DAC thold", "DAC toff", "Load File",
          "Read Device", "Save FIle", "Write Device"}},
        {&form->CounterWindow(), {"Counter Refresh", "Clear DI 0 counter", "Clear DI 1 counter"}},
    };
    form->CounterWindow().FormActivate();  // the rows the model lacks are disabled
    for (const auto& c : cases) EXPECT_EQ(TabSequence(*c.window), c.order) << c.window->windowTitle().toStdString();

    // Checking another button by the arrow keys moves the entry with it.
    setup.RadioButton3->setChecked(true);
    EXPECT_EQ(TabSequence(setup).at(5), QStringLiteral("Open"));
}

TEST_F(KeyboardAndReader, EveryGroupIndicatorAndBarIsNamedWithItsRole)
{
    TForm2& setup = form->SetupWindow();
    TForm4& function = form->FunctionWindow();
    DigitalIoPanel& io = form->DigitalIo();
    const struct {
        QObject* object;
        QAccessible::Role role;
        const char* name;
    } cases[] = {
        {form.get(), QAccessible::Window, "zQB IO Console V1.10(20200213)"},
        {form->GroupBox3, QAccessible::Grouping, "Status"},
        {form->GroupBox1, QAccessible::Grouping, "DIO"},
        {form->GroupBox2, QAccessible::Grouping, "DAC"},
        {form->GroupBox4, QAccessible::Grouping, "Calibration"},
        {form->StatusBar1, QAccessible::StatusBar, "Link and address"},
        {form->StatusBar2, QAccessible::StatusBar, "Messages and firmware"},
        {form->StatusBar3, QAccessible::StatusBar, "Spare status bar"},
        {io.Shape6, QAccessible::Indicator, "DI0"},
        {io.Shape2, QAccessible::Indicator, "DI1"},
        {io.Shape1, QAccessible::Indicator, "DO0"},
        {function.GroupBox5, QAccessible::Grouping, "Standalone Function"},
        {function.GroupBox4, QAccessible::Grouping, "DI Trigger Type"},
        {function.GroupBox6, QAccessible::Grouping, "DO Output Select"},
        {function.GroupBox7, QAccessible::Grouping, "DAC Output Waveform"},
        {function.GroupBox1, QAccessible::Grouping, "DAC Output Select"},
        {function.TrackBar1, QAccessible::Slider, "DO delay to on"},
        {setup.GroupBoxStation, QAccessible::Grouping, "Station"},
        {setup.StaticIpPanel, QAccessible::Grouping, "Static IP settings"},
        {setup.GroupBoxWifiMode, QAccessible::Grouping, "WiFi Mode"},
        {setup.CGauge1, QAccessible::ProgressBar, "Transfer progress"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Reader(c.object)->role(), c.role) << c.name;
        EXPECT_EQ(NameOf(c.object), QString::fromLatin1(c.name));
    }
}

TEST_F(KeyboardAndReader, IndicatorsAndTheOutputSwitchSayTheirState)
{
    DigitalIoPanel& io = form->DigitalIo();
    const auto expectState = [&](bool di0, bool di1, bool output) {
        const std::pair<ShapeIndicator*, bool> lamps[] = {{io.Shape6, di0}, {io.Shape2, di1}, {io.Shape1, output}};
        for (const auto& [lamp, on] : lamps) {
            EXPECT_EQ(Reader(lamp)->state().checked, on) << NameOf(lamp).toStdString();
            EXPECT_EQ(Reader(lamp)->text(QAccessible::Value), on ? QStringLiteral("on") : QStringLiteral("off"));
        }
        EXPECT_EQ(Reader(io.SpeedButton4)->text(QAccessible::Description),
                  output ? QStringLiteral("Switches DO0 off") : QStringLiteral("Switches DO0 on"));
    };
    expectState(true, false, true);  // as the module reported
    context.session.diState = 2;
    context.session.doState = 0;
    form->ShowDigitalIo();
    expectState(false, true, false);
    form->ShowNoDevice();
    expectState(false, false, false);
}

TEST_F(KeyboardAndReader, ValuesAreAnnouncedWithTheirCaptions)
{
    const auto labelledBy = [](QWidget* value) {
        QStringList captions;
        for (const auto& [other, relation] : Reader(value)->relations(QAccessible::Label))
            captions << other->text(QAccessible::Name);
        return captions;
    };
    AnalogOutputPanel& dac = form->Analog();
    TForm4& function = form->FunctionWindow();
    const struct {
        QWidget* value;
        const char* caption;
    } cases[] = {
        {form->Edit2, "Device  IP:"},
        {form->DigitalIo().Shape6, "DI0"},
        {dac.Label11, "[DEC 0~4095]:"},
        {dac.Label18, "[0~10V]:"},
        {dac.Label28, "[0~100%]:"},
        {dac.Label19, "[0~20mA]:"},
        {function.Label2, "Delay to ON"},
        {function.Label4, "After DI release"},
        {function.Label9, "Off Value"},
        {function.Label7, "On Value"},
        {function.Label10, "Ton Sec"},
        {function.Label8, "Thold Sec"},
        {function.Label12, "Toff Sec"},
        {function.Label5, "Delay ON:"},
        {function.Label6, "Delay ON:"},
        {form->CounterWindow().valueLabels[1], "DI 1 Counter:"},
    };
    for (const auto& c : cases) EXPECT_TRUE(labelledBy(c.value).contains(QString::fromLatin1(c.caption))) << c.caption;
    // Every input of the setup window has its caption.
    for (QLineEdit* edit : form->SetupWindow().findChildren<QLineEdit*>())
        EXPECT_FALSE(labelledBy(edit).filter(QRegularExpression(QStringLiteral(":$"))).isEmpty()) << NameOf(edit).toStdString();
}

// Each bar reads out the number its label shows, after keys and when a reader sets it.
TEST_F(KeyboardAndReader, FunctionBarsReadTheValueTheyShow)
{
    TForm4& function = form->FunctionWindow();
    function.ApplyFunctionRecord();
    const struct {
        FunctionTrackBar* bar;
        QLabel* label;
        Qt::Key key;
        int presses;
        const char* shown;
        int most;  // what the bar reports as its maximum: the most its label can show
    } cases[] = {
        {function.TrackBar1, function.Label2, Qt::Key_Up, 3, "3 Sec", 10},
        {function.TrackBar2, function.Label4, Qt::Key_Up, 10, "10 Sec", 10},
        {function.TrackBar8, function.Label10, Qt::Key_Up, 2, "2 Sec", 10},
        {function.TrackBar6, function.Label8, Qt::Key_Up, 1, "1 Sec", 10},
        {function.TrackBar9, function.Label12, Qt::Key_Up, 4, "4 Sec", 10},
        {function.TrackBar7, function.Label9, Qt::Key_Up, 3, "3%", 100},
        {function.TrackBar5, function.Label7, Qt::Key_Up, 20, "25%", 100},  // On starts at its least, 5 %
        {function.TrackBar3, function.Label5, Qt::Key_Right, 6, "6 Sec", 15},
    };
    for (const auto& c : cases) {
        for (QSlider* bar : function.findChildren<QSlider*>()) bar->setValue(bar->orientation() == Qt::Vertical ? bar->maximum() : 0);
        for (int i = 0; i < c.presses; ++i) QTest::keyClick(c.bar, c.key);
        QAccessibleValueInterface* value = Reader(c.bar)->valueInterface();
        ASSERT_NE(value, nullptr) << c.shown;
        EXPECT_EQ(c.label->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(value->currentValue().toInt(), c.label->text().remove(QRegularExpression(QStringLiteral("\\D"))).toInt());
        EXPECT_EQ(Reader(c.bar)->text(QAccessible::Value), QString::fromLatin1(c.shown));
        EXPECT_EQ(value->minimumValue().toInt(), 0);
        EXPECT_EQ(value->maximumValue().toInt(), c.most) << c.shown;
    }
    Reader(function.TrackBar1)->valueInterface()->setCurrentValue(7);
    EXPECT_EQ(function.Label2->text(), QStringLiteral("7 Sec"));

    Gauge& gauge = *form->SetupWindow().CGauge1;
    gauge.Begin(200);
    gauge.SetPosition(50);
    EXPECT_EQ(Reader(&gauge)->valueInterface()->currentValue().toInt(), 25);
    EXPECT_EQ(Reader(&gauge)->text(QAccessible::Value), QStringLiteral("25%"));
}

// Every confirmation of the setup window asks with No as its default, and the real box answers a
// Return or a Space with No; a box asked the ordinary way answers Yes, which is what is mended.
TEST_F(KeyboardAndReader, ConfirmationsThatChangeTheModuleDefaultToNo)
{
    TForm2& setup = form->SetupWindow();
    setup.ShowSessionSettings();
    setup.Edit1->setText(QStringLiteral("Plant-AP"));
    setup.Edit3->setText(QStringLiteral("Plant"));
    setup.Edit4->setText(QStringLiteral("secret-key"));
    setup.Edit6->setText(QStringLiteral("k1"));
    setup.Edit5->setText(QStringLiteral("Hall 2"));
    setup.SetStaticIpControls(true);
    setup.Edit8->setText(QStringLiteral("127.0.0.9"));
    setup.Edit10->setText(QStringLiteral("127.0.0.1"));
    const std::function<ActionOutcome()> actions[] = {
        [&] { return setup.Image2Click(); },  [&] { return setup.Image3Click(); }, [&] { return setup.Image10Click(); },
        [&] { return setup.Image5Click(); },  [&] { return setup.Image6Click(); }, [&] { return setup.Image9Click(); },
        [&] { return setup.Image4Click(); },  [&] { return setup.Image7Click(); }, [&] { return setup.Image8Click(); },
        [&] { return setup.Image1Click(); },
    };
    for (const auto& action : actions) {
        dialogs.ExpectMessageStartingWith(QString(), MessageAnswer::No);
        EXPECT_EQ(action(), ActionOutcome::Declined);
        ASSERT_FALSE(dialogs.shown.empty());
        EXPECT_EQ(dialogs.shown.back().caption, ConfirmCaption);
        EXPECT_TRUE(dialogs.shown.back().defaultNo) << dialogs.shown.back().text.toStdString();
    }
    EXPECT_TRUE(module.Frames().empty()) << "nothing sent after No";

    QtDialogs real;
    const struct {
        std::function<MessageAnswer()> ask;
        Qt::Key key;
        MessageAnswer answer;
    } keys[] = {
        {[&] { return real.AskDefaultNo("Reboot device, execute?", ConfirmCaption, MessageIcon::Question); }, Qt::Key_Return,
         MessageAnswer::No},
        {[&] { return real.AskDefaultNo("Reboot device, execute?", ConfirmCaption, MessageIcon::Question); }, Qt::Key_Space,
         MessageAnswer::No},
        {[&] { return real.ShowMessage("Keep it?", ConfirmCaption, MessageIcon::Question, MessageButtons::YesNo); },
         Qt::Key_Return, MessageAnswer::Yes},
    };
    for (const auto& k : keys) {
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, k.key);
        });
        EXPECT_EQ(k.ask(), k.answer) << QTest::toString(k.key);
    }
}

TEST_F(KeyboardAndReader, KeysAreMaskedUntilShownOnPurposeAndAgainAtTheNextOpening)
{
    TForm2& setup = form->SetupWindow();
    const std::vector<QLineEdit*> keys = {setup.Edit2, setup.Edit4, setup.Edit6};
    WhileOpen([&] { form->Image1Click(); }, [&] {
        for (QLineEdit* key : keys) {
            EXPECT_EQ(key->echoMode(), QLineEdit::Password) << NameOf(key).toStdString();
            ASSERT_EQ(key->actions().size(), 1);
            key->actions().front()->trigger();
            EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
        }
    });
    WhileOpen([&] { form->Image1Click(); }, [&] {
        for (QLineEdit* key : keys) EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    });
}

// The ranges beside the inputs are the ones the rules hold them to: the ends pass, one past fails.
TEST_F(KeyboardAndReader, RangeHintsAgreeWithTheRules)
{
    TForm2& setup = form->SetupWindow();
    // "least~most", or "Up to most" for a text that must not be empty.
    const auto ends = [](QWidget* input) {
        const auto range = QRegularExpression(QStringLiteral("(\\d+)~(\\d+)")).match(input->toolTip());
        if (range.hasMatch()) return std::pair{range.captured(1).toInt(), range.captured(2).toInt()};
        const auto upTo = QRegularExpression(QStringLiteral("^Up to (\\d+) ")).match(input->toolTip());
        return std::pair{upTo.hasMatch() ? 1 : 0, upTo.captured(1).toInt()};
    };
    const auto port = [](int n) { std::int32_t v = 0; return !CheckModbusPort(QString::number(n), v); };
    const auto timeout = [](int n) { std::int32_t v = 0; return !CheckIdleTimeout(QString::number(n), v); };
    const auto ssid = [](int n) { return CheckWireless(QString(n, QLatin1Char('s')), QString(), 0).has_value(); };
    const auto key = [](int n) { return CheckWireless(QStringLiteral("s"), QString(n, QLatin1Char('k')), 2).has_value(); };
    // The web key and the location have their rules in their actions: asked, they confirm first.
    const auto confirmed = [&](const std::function<ActionOutcome(SettingActions&, const QString&)>& write) {
        return [&, write](int n) {
            dialogs.ExpectMessageStartingWith(QString(), MessageAnswer::No);
            return write(setup.Actions(), QString(n, QLatin1Char('w'))) == ActionOutcome::Declined;
        };
    };
    const auto webKey = confirmed([](SettingActions& a, const QString& t) { return a.WriteWebKey(t); });
    const auto location = confirmed([](SettingActions& a, const QString& t) { return a.WriteLocation(t); });
    const struct {
        QWidget* input;
        std::function<bool(int)> accepts;
    } cases[] = {{setup.Edit7, port}, {setup.Edit11, timeout}, {setup.Edit1, ssid},  {setup.Edit3, ssid},
                 {setup.Edit2, key},  {setup.Edit4, key},      {setup.Edit6, webKey}, {setup.Edit5, location}};
    for (const auto& c : cases) {
        const auto [least, most] = ends(c.input);
        ASSERT_LT(least, most) << NameOf(c.input).toStdString() << ": " << c.input->toolTip().toStdString();
        EXPECT_TRUE(c.accepts(least) && c.accepts(most)) << NameOf(c.input).toStdString();
        EXPECT_FALSE(c.accepts(least - 1) || c.accepts(most + 1)) << NameOf(c.input).toStdString();
    }
}

TEST_F(KeyboardAndReader, FocusedIconsShowAClearFrame)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const auto frameDots = [](QWidget* button) {
        const QImage picture = button->grab().toImage();
        int dots = 0;
        for (int x = 0; x < picture.width(); ++x)
            for (int y : {0, 1, picture.height() - 2, picture.height() - 1})
                dots += picture.pixelColor(x, y) == LookColour::Highlight ? 1 : 0;
        return dots;
    };
    TForm2& setup = form->SetupWindow();
    TForm3& counter = form->CounterWindow();
    const std::function<void()> inMainWindow = [] {};
    const std::function<void()> openSetup = [&] { form->Image1Click(); };
    const std::function<void()> openCounter = [&] { form->Image4Click(); };
    const struct {
        const std::function<void()>& open;
        QWidget* icon;
        QWidget* elsewhere;
    } cases[] = {
        {inMainWindow, form->Image1, form->Edit2}, {inMainWindow, form->Image2, form->Edit2},
        {inMainWindow, form->Image5, form->Edit2}, {openSetup, setup.Image2, setup.Edit1},  // an apply button
        {openSetup, setup.Image5, setup.Edit1},    {openSetup, setup.Image7, setup.Edit1},  // picture buttons
        {openSetup, setup.Image8, setup.Edit1},    {openCounter, counter.Image2, counter.clearButtons[0]},
    };
    for (const auto& c : cases) {
        const auto look = [&] {
            c.icon->window()->activateWindow();
            QTRY_VERIFY_WITH_TIMEOUT(c.icon->window()->isActiveWindow(), 1000);
            c.elsewhere->setFocus();
            EXPECT_EQ(frameDots(c.icon), 0) << NameOf(c.icon).toStdString();
            c.icon->setFocus();
            ASSERT_TRUE(c.icon->hasFocus()) << NameOf(c.icon).toStdString();
            EXPECT_GE(frameDots(c.icon), 3 * c.icon->width()) << NameOf(c.icon).toStdString();
        };
        if (&c.open == &inMainWindow)
            look();
        else
            WhileOpen(c.open, look);
    }
}

TEST_F(KeyboardAndReader, F1ShowsTheAboutBoxAndTheIconsHaveKeys)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QString shown;
    WhileOpen([&] { QTest::keyClick(form.get(), Qt::Key_F1); }, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) shown = box->text();
    });
    for (const char* part : {"1.10", "MIT", "zqb-console(1)", "README", "zqb-console --demo", "zqb-sim"})
        EXPECT_TRUE(shown.contains(QString::fromLatin1(part))) << part;

    const struct {
        QAbstractButton* icon;
        QKeySequence keys;
    } cases[] = {{form->Image1, QKeySequence(Qt::ALT | Qt::Key_S)}, {form->Image3, QKeySequence(Qt::ALT | Qt::Key_F)},
                 {form->Image2, QKeySequence(Qt::Key_F5)},           {form->Image4, QKeySequence(Qt::ALT | Qt::Key_C)},
                 {form->Image5, QKeySequence(Qt::ALT | Qt::Key_U)}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.icon->shortcut(), c.keys) << NameOf(c.icon).toStdString();
        EXPECT_TRUE(shown.contains(c.keys.toString() + QLatin1Char(' ') + NameOf(c.icon))) << NameOf(c.icon).toStdString();
    }

    // The function window's buttons that leave the module alone have keys; "Write Device" has none.
    TForm4& function = form->FunctionWindow();
    const struct {
        QAbstractButton* button;
        QKeySequence keys;
    } buttons[] = {{function.SpeedButton7, QKeySequence(Qt::CTRL | Qt::Key_O)},
                   {function.SpeedButton9, QKeySequence(Qt::CTRL | Qt::Key_S)},
                   {function.SpeedButton10, QKeySequence(Qt::CTRL | Qt::Key_R)},
                   {function.SpeedButton8, QKeySequence()}};
    for (const auto& b : buttons) EXPECT_EQ(b.button->shortcut(), b.keys) << NameOf(b.button).toStdString();
}

}  // namespace
}  // namespace zqb::test
