// No completion box unless every step succeeded; a failure is said, and nothing of it lingers.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include "protocol/CommandCodes.h"
#include "setup/ConfigRecordLayout.h"
#include "mainwindow/MainWindowRig.h"
#include "setup/Setup.h"

namespace zqb::test {
namespace {

class SetupFailures : public MainWindowRig {
protected:
    SetupFailures() : setup(form->SetupWindow())
    {
        pauses.realMs = 20;
        StartModule();
        LinkUp();
        setup.ShowSessionSettings();
        setup.Edit5->setText(QStringLiteral("Bay 9"));
        setup.Edit6->setText(QStringLiteral("k1"));
    }
    TForm2& setup;
};

// Each action against each way a module can fail it: the user answers Yes, and then sees a box
// that says what failed, never the completion box.
TEST_F(SetupFailures, FailedStepsNeverEndInACompletionBox)
{
    struct Action {
        const char* name;
        std::function<ActionOutcome()> click;
        const char* failure;  // the start of the failure box
    };
    const Action actions[] = {
        {"location", [&] { return setup.Image6Click(); }, "Location string write failed,"},
        {"web key", [&] { return setup.Image5Click(); }, "WEB Key write failed,"},
        {"Wi-Fi mode", [&] { return setup.Image4Click(); }, "Wi-Fi Mode write failed,"},
        {"reset", [&] { return setup.Image7Click(); }, "Reset default failed,"},
        {"reboot", [&] { return setup.Image8Click(); }, "Reboot failed,"},
    };
    struct Fault {
        const char* what;
        std::function<void()> arrange;
        bool failsSendOnly;  // the reboot reads no reply: only an unreachable module fails it
    };
    const Fault faults[] = {
        {"no network", [&] { hostBackend.interfaces.clear(); }, true},
        {"refused connection", [&] { zqbsim::Misbehaviour b; b.refuseConnections = true; module.SetBehaviour(b); }, true},
        {"status 3", [&] { zqbsim::Misbehaviour b; b.status = 3; module.SetBehaviour(b); }, false},
    };
    for (const Fault& fault : faults) {
        for (const Action& action : actions) {
            const bool fails = fault.failsSendOnly || QByteArray(action.name) != "reboot";
            hostBackend.interfaces.clear();
            hostBackend.adapters.clear();
            hostBackend.AddWifi("127.0.0.5");
            // A fresh module each time: one that took a refused announcement waits for its data.
            module.Stop();
            module.SetBehaviour({});
            ASSERT_TRUE(module.Start(context.session.hostPort));
            fault.arrange();
            dialogs.ExpectMessageStartingWith(QString(), MessageAnswer::Yes);  // the confirmation
            if (fails)
                dialogs.ExpectMessageStartingWith(QString::fromLatin1(action.failure));
            else
                dialogs.ExpectMessageStartingWith(QStringLiteral("Reboot complete."));
            const ActionOutcome outcome = action.click();
            EXPECT_EQ(outcome, fails ? ActionOutcome::Failed : ActionOutcome::Done) << fault.what << " / " << action.name;
            EXPECT_FALSE(context.ExchangeBusy);
        }
    }
    int completions = 0;
    for (const auto& box : dialogs.shown) completions += box.caption == CompletionCaption ? 1 : 0;
    EXPECT_EQ(completions, 1) << "only the reboot, which reads no reply, went through the refusing module";
}

// A Wi-Fi mode that did not go out must not ride along with the next settings file.
TEST_F(SetupFailures, UndeliveredWifiModeLeavesTheRecordAsItWas)
{
    const DeviceConfigRecord before = context.session.deviceConfigRecord;
    zqbsim::Misbehaviour refusing;
    refusing.refuseConnections = true;
    module.SetBehaviour(refusing);
    setup.RadioButton6->setChecked(true);
    dialogs.ExpectMessageStartingWith(QStringLiteral("Modify Wi-Fi Mode"), MessageAnswer::Yes);
    dialogs.ExpectMessageStartingWith(QStringLiteral("Wi-Fi Mode write failed,"));
    EXPECT_EQ(setup.Image4Click(), ActionOutcome::Failed);
    EXPECT_EQ(context.session.deviceConfigRecord, before);

    // Nor a location whose file did not arrive.
    zqbsim::Misbehaviour noData;
    noData.refuseDataMs = 300;
    module.SetBehaviour(noData);
    dialogs.ExpectMessageStartingWith(QStringLiteral("Modify Location string"), MessageAnswer::Yes);
    dialogs.ExpectMessageStartingWith(QStringLiteral("Location string write failed,"));
    EXPECT_EQ(setup.Image6Click(), ActionOutcome::Failed);
    EXPECT_EQ(context.session.deviceConfigRecord, before);
}

// A restart command whose connection the module closes without answering was delivered: the
// module restarts. After a reset to defaults went out at all, the settings copy is no longer the
// module's: nothing is written until a fresh whole link record came.
TEST_F(SetupFailures, RestartsClosedWithoutAReplyAreDeliveredAndAResetStopsSettingsWrites)
{
    zqbsim::Misbehaviour hangUp;
    hangUp.closeWithoutReply = true;
    module.SetBehaviour(hangUp);
    const struct {
        const char* confirmation;
        const char* completion;
        std::function<ActionOutcome()> click;
    } cases[] = {
        {"Modify Wi-Fi Mode", "Wi-Fi Mode write complete,", [&] { return setup.Image4Click(); }},
        {"Reboot device", "Reboot complete.", [&] { return setup.Image8Click(); }},
        {"Reset to default", "Reset default complete,", [&] { return setup.Image7Click(); }},
    };
    for (const auto& c : cases) {
        dialogs.ExpectMessageStartingWith(QString::fromLatin1(c.confirmation), MessageAnswer::Yes);
        dialogs.ExpectMessageStartingWith(QString::fromLatin1(c.completion));
        EXPECT_EQ(c.click(), ActionOutcome::Done) << c.confirmation;
    }
    EXPECT_EQ(context.session.deviceConfigRecordValid, 0);
    module.SetBehaviour({});
    module.ClearFrames();
    dialogs.ExpectMessageStartingWith(QStringLiteral("Modify Location string"), MessageAnswer::Yes);
    dialogs.ExpectMessageStartingWith(QStringLiteral("Location string write failed,\n    . the module's settings have not been read"));
    EXPECT_EQ(setup.Image6Click(), ActionOutcome::Failed);
    EXPECT_TRUE(module.Frames().empty()) << "nothing goes out over the defaults";
}

TEST_F(SetupFailures, SettingsAreNotWrittenBeforeTheModuleSentItsOwn)
{
    context.session.deviceConfigRecordValid = 0;
    dialogs.ExpectMessageStartingWith(QStringLiteral("Modify Location string"), MessageAnswer::Yes);
    dialogs.ExpectMessageStartingWith(QStringLiteral("Location string write failed,\n    . the module's settings have not been read"));
    EXPECT_EQ(setup.Image6Click(), ActionOutcome::Failed);
    EXPECT_EQ(module.Files().count("/local/syscfg.cfg"), 0u);
}

// Clicks come inside socket waits: no action starts, and none asks anything, while one runs.
TEST_F(SetupFailures, NothingStartsWhileAnExchangeRuns)
{
    context.ExchangeBusy = true;
    for (const auto& click : std::initializer_list<std::function<ActionOutcome()>>{
             [&] { return setup.Image1Click(); }, [&] { return setup.Image2Click(); }, [&] { return setup.Image3Click(); },
             [&] { return setup.Image4Click(); }, [&] { return setup.Image5Click(); }, [&] { return setup.Image6Click(); },
             [&] { return setup.Image7Click(); }, [&] { return setup.Image8Click(); }, [&] { return setup.Image9Click(); },
             [&] { return setup.Image10Click(); }})
        EXPECT_EQ(click(), ActionOutcome::Busy);
    // The senders say "busy", not "no module": the network check passed.
    DeviceSettings& settings = link.Settings();
    for (const auto& send : std::initializer_list<std::function<Outcome()>>{
             [&] { return settings.SendWebKey("k"); }, [&] { return settings.SendConfigWritten(); },
             [&] { return settings.SendWifiMode(2); }, [&] { return settings.SendClearFlashConfig(); },
             [&] { return settings.SendResetModule(); }}) {
        const Outcome result = send();
        EXPECT_EQ(result.kind, OutcomeKind::Busy);
        EXPECT_EQ(result.busy, BusyWith::Exchange);
    }
    context.ExchangeBusy = false;
    EXPECT_TRUE(dialogs.shown.empty());
}

// The gear opens after a model-184 reply from another address, with no link: closing the
// window gives the poll back, so the module is polled once it links.
TEST_F(SetupFailures, ClosingWithoutALinkGivesThePollBack)
{
    context.session.DeviceEverLinked = 0;
    context.session.LinkPollEnabled = 1;
    context.session.queuedCommand = 0;
    QTimer::singleShot(0, &setup, [&] { setup.close(); });
    setup.OpenSetup();
    EXPECT_EQ(context.session.LinkPollEnabled, 1);
    EXPECT_EQ(context.session.queuedCommand, 0) << "no GetLink queued without a link";

    context.session.DeviceEverLinked = 1;
    QTimer::singleShot(0, &setup, [&] { setup.close(); });
    setup.OpenSetup();
    EXPECT_EQ(context.session.queuedCommand, GetLink);
}

// Screen readers and desktop automation find every control by name; the pictures that act on a
// click take the focus and Space and Enter click them.
TEST_F(SetupFailures, EveryControlHasItsNameAndThePicturesWorkByKeyboard)
{
    const std::pair<QWidget*, const char*> named[] = {
        {setup.Edit1, "AP SSID name"},          {setup.Edit2, "AP SSID key"},
        {setup.Edit3, "Station SSID name"},     {setup.Edit4, "Station SSID key"},
        {setup.Edit6, "Web login key"},         {setup.Edit7, "Modbus port"},
        {setup.Edit11, "Modbus idle timeout"},  {setup.Edit5, "Location string"},
        {setup.Edit8, "Static IP address"},     {setup.Edit9, "Static IP subnet mask"},
        {setup.Edit10, "Static IP gateway"},    {setup.Image2, "Apply AP settings"},
        {setup.Image3, "Apply station settings"}, {setup.Image5, "Apply web login key"},
        {setup.Image9, "Apply Modbus settings"}, {setup.Image6, "Apply location"},
        {setup.Image10, "Apply static IP"},     {setup.Image4, "Apply Wi-Fi mode"},
        {setup.Image7, "Reset to Default"},     {setup.Image1, "Update F/W"},
        {setup.Image8, "Reboot device"},        {form->Image1, "Setup"},
        {form->Image3, "Find me"},              {form->Image2, "Refresh"},
        {form->Image4, "Digital Input Counter"}, {form->Image5, "Function Configuration"},
    };
    for (const auto& [widget, name] : named) EXPECT_EQ(widget->accessibleName(), QString::fromLatin1(name));
    for (QWidget* window : std::initializer_list<QWidget*>{&setup, form.get(), &form->CounterWindow(), &form->FunctionWindow()}) {
        for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
            EXPECT_FALSE(button->accessibleName().isEmpty() && button->text().isEmpty())
                << window->windowTitle().toStdString() << ": a button without a name";
        for (const QWidget* control : window->findChildren<QWidget*>()) {
            const bool input = control->isVisibleTo(window) &&
                               (qobject_cast<const QAbstractSlider*>(control) || qobject_cast<const QLineEdit*>(control));
            EXPECT_FALSE(input && control->accessibleName().isEmpty())
                << window->windowTitle().toStdString() << ": unnamed " << control->metaObject()->className();
        }
    }

    setup.show();
    for (const int key : {Qt::Key_Space, Qt::Key_Return}) {
        QAbstractButton* button = setup.Image8;
        EXPECT_NE(button->focusPolicy() & Qt::TabFocus, 0);
        dialogs.ExpectMessage(QStringLiteral("Reboot device, execute?"), ConfirmCaption, MessageIcon::Question, MessageAnswer::No);
        button->setFocus();
        QTest::keyClick(button, static_cast<Qt::Key>(key));
        QTest::qWait(200);  // the click animates
    }
    setup.hide();
}

}  // namespace
}  // namespace zqb::test
