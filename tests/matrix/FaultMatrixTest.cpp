// Every sender of the console against every way the module can misbehave. After each cell:
// nothing is left busy, a failure is told and never followed by a "done" text or a completion
// box, a file the module did not take whole is not stored, and the next good command works.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "CommandCodes.h"
#include "Eap_tcp.h"
#include "ModuleLink.h"
#include "ModuleSimulator.h"
#include "ReplyHandler.h"
#include "ScriptedDialogs.h"
#include "SimulatedHostNetwork.h"

namespace zqb::test {
namespace {

// Answers Yes to every question, gives the prepared image to the open dialog, and keeps every
// box for the invariants.
class AnsweringDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        QString caption;
        MessageIcon icon;
    };
    MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                              MessageButtons buttons) override
    {
        boxes.push_back({text, caption, icon});
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return imagePath; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }

    std::vector<Box> boxes;
    QString imagePath;
};

// What a sender's outcome rests on.
enum Reads : unsigned {
    Nothing = 0,
    Reply = 1,     // an acknowledging reply
    Refusal = 2,   // only the absence of an explicit refusal (the module may restart at once)
    Announce = 4,  // a file announcement taken
    Data = 8,      // a data connection taken whole
    Address = 16,  // the link record's address and model
    Overdue = 32,  // a reply awaited under the transfer timer
    All = 63,
};

struct Sender {
    const char* name;
    unsigned reads;  // what of the module's answer the sender depends on
    std::function<void()> act;
    QByteArray file;  // the file it writes, if any
};

struct Fault {
    const char* name;
    unsigned affects;  // the senders whose outcome it spoils
    std::function<void(zqbsim::Misbehaviour&, zqbsim::ModuleState&)> set;
    bool vanishes = false;  // the module goes away while the sender runs
};

const QStringList DoneTexts = {QStringLiteral("Set Locator done!"),       QStringLiteral("Set Analog val done!"),
                               QStringLiteral("Set Function Cfg. done!"), QStringLiteral("Get Function Cfg. done!"),
                               QStringLiteral("Flash Config been kill!"), ChecksumMatchText};

bool IsDoneText(const QString& text) { return DoneTexts.contains(text) || text.startsWith(QStringLiteral("Set DO Done!")); }

class FaultMatrix : public ::testing::Test {
protected:
    FaultMatrix()
    {
        hostBackend.AddWifi("127.0.0.5");
        context.session.hostAddress = QStringLiteral("127.0.0.1");
        context.NetworkPrefix = QStringLiteral("127.0.0.");
        link.Transport().SetTiming({500, 20, 5});  // a 100 ms reply wait keeps the matrix quick
        pauses.realMs = 20;
        form = std::make_unique<TForm1>(link);
        form->Timer1->stop();
        form->Timer3().Stop();
        QFile image(dir.filePath(QStringLiteral("fw.bin")));
        image.open(QIODevice::WriteOnly);
        image.write(QByteArray(5000, '\x3C'));
        dialogs.imagePath = image.fileName();
    }

    // A well-behaved module, freshly started, and the console linked to it.
    void FreshModuleAndLink()
    {
        simulator = std::make_unique<zqbsim::ModuleSimulator>();
        ASSERT_TRUE(module().Start());
        context.session.hostPort = module().Port();
        context.session.firstActivationDone = 0;
        context.session.queuedCommand = 0;
        context.session.modelKnown = 0;
        form->FormActivate();
        link.Supervisor().LinkTimerTick();
        ASSERT_EQ(context.session.linked, 1);
        ASSERT_EQ(context.session.deviceConfigRecordValid, 1);
    }

    void Tick() { link.Supervisor().LinkTimerTick(); }
    void OverdueTicks(int n)
    {
        for (int i = 0; i < n; ++i) {
            context.session.retryCount = 0;  // as the link timer's ticks do
            link.Replies().OverdueTick();
        }
    }

    std::unique_ptr<zqbsim::ModuleSimulator> simulator = std::make_unique<zqbsim::ModuleSimulator>();
    zqbsim::ModuleSimulator& module() { return *simulator; }
    AnsweringDialogs dialogs;
    RecordingPauses pauses;
    SimulatedHostNetwork hostBackend;
    HostNetwork hostNetwork{hostBackend, [this](const std::string& text) { dialogs.ShowError(QString::fromStdString(text)); }};
    ModuleLink link{hostNetwork, dialogs, pauses};
    SessionContext& context = link.Context();
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
};

TEST_F(FaultMatrix, EverySenderAgainstEveryFault)
{
    TForm2& setup = form->SetupWindow();
    TForm3& counter = form->CounterWindow();
    TForm4& function = form->FunctionWindow();
    AnalogOutputPanel& dac = form->Analog();
    const Sender senders[] = {
        {"SetLocator", Reply, [&] { form->Image3Click(); Tick(); }, {}},
        {"GetLink", Reply | Address, [&] { form->Image2Click(); Tick(); }, {}},
        {"GetIoStatus", Reply, [&] { link.Supervisor().PollIoStatus(); }, {}},
        {"GetDiCounters", Reply, [&] { counter.Image2Click(); Tick(); }, {}},
        {"ClearDiCounter", Reply, [&] { counter.ClearClick(0); }, {}},
        {"SetDo", Reply, [&] { form->DigitalIo().SpeedButton4Click(); Tick(); }, {}},
        {"SetAnalog", Reply, [&] { dac.Image7Click(); }, {}},
        {"SetCalibration", Reply, [&] { dac.SpeedButton1Click(); }, {}},
        {"SetOutputRange", Reply, [&] { dac.CheckBox2->toggle(); }, {}},
        {"SetFunctionConfig", Reply, [&] { function.SpeedButton8Click(); }, {}},
        {"GetFunctionConfig", Reply, [&] { function.SpeedButton10Click(); }, {}},
        {"SetWebKey", Refusal, [&] { setup.Edit6->setText("k1"); setup.Image5Click(); }, {}},
        {"SetWifiMode", Refusal, [&] { setup.Image4Click(); }, {}},
        {"ClearFlashConfig", Refusal, [&] { setup.Image7Click(); }, {}},
        {"ResetModule", Nothing, [&] { setup.Image8Click(); }, {}},
        {"settings file", Announce | Data, [&] { setup.Edit5->setText("Bay 7"); setup.Image6Click(); }, "/local/syscfg.cfg"},
        {"settings file + ConfigWritten", Announce | Data | Refusal,
         [&] { setup.Edit7->setText("1502"); setup.Edit11->setText("30"); setup.Image9Click(); }, "/local/syscfg.cfg"},
        {"firmware", Data | Overdue, [&] { context.session.modelKnown = 1; setup.Image1Click(); }, "/sys/mcuimg.bin"},
        {"firmware, legacy", Data, [&] { context.session.modelKnown = 0; setup.Image1Click(); }, "mcuimg.bin"},
    };
    using M = zqbsim::Misbehaviour;
    using S = zqbsim::ModuleState;
    const Fault faults[] = {
        {"silent", Reply | Overdue, [](M& b, S&) { b.silent = true; }},
        {"refused connection", All, [](M& b, S&) { b.refuseConnections = true; }},
        {"status 3", Reply | Refusal | Announce | Overdue, [](M& b, S&) { b.status = 3; }},
        {"bad magic", Reply | Announce | Overdue, [](M& b, S&) { b.badMagic = true; }},
        {"another address", Address, [](M&, S& s) { s.reportedAddress = {127, 0, 0, 2}; }},
        {"another model", Address, [](M&, S& s) { s.modelCode = 12; }},
        {"split reply", Reply | Announce | Overdue, [](M& b, S&) { b.splitPieces = {3}; b.pieceDelayMs = 150; }},
        {"slow reply", Reply | Overdue, [](M& b, S&) { b.replyDelayMs = 400; }},
        {"dropped data connection", Data, [](M& b, S&) { b.dropDataAfterBytes = 100; }},
        {"reply over 4096 bytes", Nothing, [](M& b, S&) { b.replyLength = 5000; }},
        {"vanishing mid-transfer", Data, [](M& b, S&) { b.stallDataAfterBytes = 64; }, true},
    };

    int cells = 0;
    for (const Fault& fault : faults) {
        for (const Sender& sender : senders) {
            SCOPED_TRACE(std::string(sender.name) + " / " + fault.name);
            FreshModuleAndLink();
            M behaviour;
            S state = module().State();
            fault.set(behaviour, state);
            module().SetState(state);
            module().SetBehaviour(behaviour);
            if (fault.vanishes) QTimer::singleShot(50, [&] { module().Stop(); });
            dialogs.boxes.clear();
            form->StatusBar2->SetPanelText(0, QString());
            form->StatusBar1->SetPanelText(0, QString());
            // Every text the user sees while the sender runs, and the boxes.
            QStringList told;
            const auto watch = [&] {
                for (const QString& text : {form->StatusBar2->PanelText(0), form->StatusBar1->PanelText(0), form->Label4->text()})
                    if (!text.isEmpty() && !told.contains(text)) told << text;
            };
            QTimer watcher;
            QObject::connect(&watcher, &QTimer::timeout, watch);
            watcher.start(1);
            sender.act();
            watch();
            OverdueTicks(170);  // 37 is asked three times more before it is given up
            watch();
            watcher.stop();
            if (fault.vanishes) QTest::qWait(100);
            bool completion = false;
            for (const auto& box : dialogs.boxes) {
                told << box.caption + QStringLiteral(": ") + box.text;
                completion = completion || box.caption == CompletionCaption || box.text == ChecksumMatchText;
            }

            EXPECT_FALSE(context.ExchangeBusy);
            if ((sender.reads & fault.affects) != 0) {
                EXPECT_FALSE(completion) << told.join(" | ").toStdString();
                bool failureTold = false;
                for (const QString& text : told) {
                    EXPECT_FALSE(IsDoneText(text)) << text.toStdString();
                    failureTold = failureTold || !IsDoneText(text);
                }
                EXPECT_TRUE(failureTold) << "nothing told";
            }
            // A file the module did not take whole is not stored in its place, and a completion
            // is only ever said of a stored file.
            if (!sender.file.isEmpty() && !fault.vanishes) {
                const auto files = module().Files();
                const auto it = files.find(sender.file);
                const bool stored = it != files.end() && it->second.complete;
                const bool spoiled = (fault.affects & sender.reads & (Data | Announce)) != 0;
                EXPECT_FALSE(spoiled && stored) << "stored despite the fault";
                EXPECT_FALSE(completion && !stored) << "completion without the file";
            }
            ++cells;
        }
    }
    // After all that, a good command still goes through.
    FreshModuleAndLink();
    link.Supervisor().PollIoStatus();
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_GE(cells, 200);
}

}  // namespace
}  // namespace zqb::test
