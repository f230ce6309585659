#pragma once

// The console with all its windows on a simulated module, driven the way a user drives it: every
// sender from its control, every way the module can misbehave, and what the user was told. The
// fault matrix test walks every pair; the soak run picks them at random for minutes.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "mainwindow/Eap_tcp.h"
#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "sim/ModuleSimulator.h"
#include "protocol/ReplyHandler.h"
#include "support/ScriptedDialogs.h"
#include "support/StrayPoll.h"
#include "link/SimulatedHostNetwork.h"

namespace zqb::test {

// Answers Yes to every question, gives the prepared image to the open dialog, and keeps every box.
class AnsweringDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        QString caption;
    };
    MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon, MessageButtons buttons) override
    {
        boxes.push_back({text, caption});
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return imagePath; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }

    std::vector<Box> boxes;
    QString imagePath;
};

// What a sender's outcome rests on, and so which faults spoil it.
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
    unsigned reads;
    std::function<void()> act;
    QByteArray file;  // the file it writes, if any
};

struct Fault {
    const char* name;
    unsigned spoils;  // the Reads it spoils
    std::function<void(zqbsim::Misbehaviour&, zqbsim::ModuleState&)> set;
    bool vanishes = false;  // the module goes away while the sender runs
    bool strayPoll = false;  // another program of this PC polls between each announcement and its data
};

// What one sender under one fault left behind.
struct Cell {
    QStringList told;         // every text the user saw, and every box as "caption: text"
    bool completion = false;  // a completion box or a good verdict
    bool stored = false;      // the sender's file is stored whole
    // The module's stack acknowledged every byte of the file, stored or not: the PC cannot tell
    // such a file from a stored one, and the transfer counts it delivered.
    bool acknowledged = false;
    bool busyAfter = false;
    std::uint8_t inFlightAfter = 0;
    int strayPollsIn = 0;  // another program's polls that reached the module during a file write
};

inline bool IsDoneText(const QString& text)
{
    static const QStringList done = {QStringLiteral("Set Locator done!"),       QStringLiteral("Set Analog val done!"),
                                     QStringLiteral("Set Function Cfg. done!"), QStringLiteral("Get Function Cfg. done!"),
                                     QStringLiteral("Flash Config been kill!"), ChecksumMatchText};
    return done.contains(text) || text.startsWith(QStringLiteral("Set DO Done!"));
}

class ConsoleDriver {
public:
    ConsoleDriver()
    {
        hostBackend.AddWifi("127.0.0.5");
        link.AimAt(QStringLiteral("127.0.0.1"), DefaultHostPort);
        link.Transport().SetTiming({500, 20, 5});  // a 100 ms reply wait keeps the runs quick
        pauses.realMs = 20;                        // the module takes an announcement before its data
        form = std::make_unique<TForm1>(link);
        form->Timer1->stop();
        form->Timer3().Stop();
        QFile image(dir.filePath(QStringLiteral("fw.bin")));
        image.open(QIODevice::WriteOnly);
        image.write(QByteArray(5000, '\x3C'));
        dialogs.imagePath = image.fileName();
        BuildSenders();
        BuildFaults();
    }

    // A well-behaved module, freshly started, and the console linked to it: true when it linked.
    bool FreshModuleAndLink()
    {
        simulator = std::make_unique<zqbsim::ModuleSimulator>();
        if (!simulator->Start()) return false;
        link.AimAt(QStringLiteral("127.0.0.1"), simulator->Port());
        context.session.firstActivationDone = 0;
        context.session.queuedCommand = 0;
        form->FormActivate();
        Tick();
        return context.session.linked == 1 && context.session.deviceConfigRecordValid == 1;
    }

    void Tick() { link.Supervisor().LinkTimerTick(); }
    void OverdueTicks(int n)
    {
        for (int i = 0; i < n; ++i) {
            context.session.retryCount = 0;  // as the link timer's ticks do
            link.Replies().OverdueTick();
        }
    }

    Cell Run(const Sender& sender, const Fault* fault)
    {
        zqbsim::Misbehaviour behaviour;
        zqbsim::ModuleState state = simulator->State();
        if (fault) fault->set(behaviour, state);
        simulator->SetState(state);
        simulator->SetBehaviour(behaviour);
        if (fault && fault->vanishes) QTimer::singleShot(50, [this] { simulator->Stop(); });
        const std::size_t connectionsBefore = simulator->Connections().size();
        dialogs.boxes.clear();
        form->StatusBar2->SetPanelText(0, QString());
        form->StatusBar1->SetPanelText(0, QString());

        Cell cell;
        const auto watch = [&] {
            for (const QString& text : {form->StatusBar2->PanelText(0), form->StatusBar1->PanelText(0), form->Label4->text()})
                if (!text.isEmpty() && !cell.told.contains(text)) cell.told << text;
        };
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, watch);
        watcher.start(1);
        std::optional<StrayPoll> stray;
        if (fault && fault->strayPoll) stray.emplace(*simulator, lockDir.path().toStdString());
        sender.act();
        watch();
        OverdueTicks(170);  // 37 is asked three times more before it is given up
        watch();
        watcher.stop();
        if (stray) {
            stray->Stop();
            cell.strayPollsIn = stray->GotIn();
        }
        if (fault && fault->vanishes) QTest::qWait(100);
        for (const auto& box : dialogs.boxes) {
            cell.told << box.caption + QStringLiteral(": ") + box.text;
            cell.completion = cell.completion || box.caption == CompletionCaption || box.text == ChecksumMatchText;
        }
        // Stored in this run: a data connection of its own brought the whole file.
        if (!sender.file.isEmpty()) {
            const auto files = simulator->Files();
            const auto file = files.find(sender.file);
            const auto connections = simulator->Connections();
            for (std::size_t i = connectionsBefore; i < connections.size() && file != files.end(); ++i) {
                const bool data = connections[i].kind == zqbsim::ConnectionRecord::Kind::Data && connections[i].fileName == sender.file;
                cell.stored = cell.stored || (data && file->second.complete &&
                                              connections[i].bytesReceived >= file->second.announcedLength);
                cell.acknowledged = cell.acknowledged || (data && connections[i].bytesAcknowledged >= file->second.announcedLength);
            }
        }
        cell.busyAfter = context.ExchangeBusy;
        cell.inFlightAfter = context.session.commandInFlight;
        return cell;
    }

    std::unique_ptr<zqbsim::ModuleSimulator> simulator = std::make_unique<zqbsim::ModuleSimulator>();
    AnsweringDialogs dialogs;
    RecordingPauses pauses;
    SimulatedHostNetwork hostBackend;
    HostNetwork hostNetwork{hostBackend, [this](const std::string& text) { dialogs.ShowError(QString::fromStdString(text)); }};
    QTemporaryDir lockDir;
    ModuleLink link{hostNetwork, dialogs, pauses, lockDir.path().toStdString()};
    SessionContext& context = link.Context();
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
    std::vector<Sender> senders;
    std::vector<Fault> faults;

private:
    void BuildSenders()
    {
        TForm2& setup = form->SetupWindow();
        TForm3& counter = form->CounterWindow();
        TForm4& function = form->FunctionWindow();
        AnalogOutputPanel& dac = form->Analog();
        senders = {
            {"SetLocator", Reply, [this] { form->Image3Click(); Tick(); }, {}},
            {"GetLink", Reply | Address, [this] { form->Image2Click(); Tick(); }, {}},
            {"GetIoStatus", Reply, [this] { link.Supervisor().PollIoStatus(); }, {}},
            {"GetDiCounters", Reply, [this, &counter] { counter.Image2Click(); Tick(); }, {}},
            {"ClearDiCounter", Reply, [&counter] { counter.ClearClick(0); }, {}},
            {"SetDo", Reply, [this] { form->DigitalIo().SpeedButton4Click(); Tick(); }, {}},
            {"SetAnalog", Reply, [&dac] { dac.Image7Click(); }, {}},
            {"SetCalibration", Reply, [&dac] { dac.SpeedButton1Click(); }, {}},
            {"SetOutputRange", Reply, [&dac] { dac.CheckBox2->toggle(); }, {}},
            {"SetFunctionConfig", Reply, [&function] { function.SpeedButton8Click(); }, {}},
            {"GetFunctionConfig", Reply, [&function] { function.SpeedButton10Click(); }, {}},
            {"SetWebKey", Refusal, [&setup] { setup.Edit6->setText("k1"); setup.Image5Click(); }, {}},
            {"SetWifiMode", Refusal, [&setup] { setup.Image4Click(); }, {}},
            {"ClearFlashConfig", Refusal, [&setup] { setup.Image7Click(); }, {}},
            {"ResetModule", Nothing, [&setup] { setup.Image8Click(); }, {}},
            {"settings file", Announce | Data, [&setup] { setup.Edit5->setText("Bay 7"); setup.Image6Click(); },
             "/local/syscfg.cfg"},
            {"settings file + ConfigWritten", Announce | Data | Refusal,
             [&setup] { setup.Edit7->setText("1502"); setup.Edit11->setText("30"); setup.Image9Click(); }, "/local/syscfg.cfg"},
            {"firmware", Data | Overdue, [this, &setup] { context.session.modelKnown = 1; setup.Image1Click(); }, "/sys/mcuimg.bin"},
            {"firmware, legacy", Data, [this, &setup] { context.session.modelKnown = 0; setup.Image1Click(); }, "mcuimg.bin"},
        };
    }

    void BuildFaults()
    {
        using M = zqbsim::Misbehaviour;
        using S = zqbsim::ModuleState;
        faults = {
            {"silent", Reply | Overdue, [](M& b, S&) { b.silent = true; }},
            {"refused connection", All, [](M& b, S&) { b.refuseConnections = true; }},
            {"status 3", Reply | Refusal | Announce | Overdue, [](M& b, S&) { b.status = 3; }},
            // An answer that is no reply fails every command that reads one, restarts included.
            {"bad magic", Reply | Refusal | Announce | Overdue, [](M& b, S&) { b.badMagic = true; }},
            // The whole frame went out: a module that may skip its answer took it; a missing
            // checksum answer is asked for again and, never given, fails the update.
            {"closed without a reply", Reply | Overdue, [](M& b, S&) { b.closeWithoutReply = true; }},
            {"another address", Address, [](M&, S& s) { s.reportedAddress = {127, 0, 0, 2}; }},
            {"another model", Address, [](M&, S& s) { s.modelCode = 12; }},
            {"split reply", Reply | Refusal | Announce | Overdue, [](M& b, S&) { b.splitPieces = {3}; b.pieceDelayMs = 150; }},
            {"slow reply", Reply | Overdue, [](M& b, S&) { b.replyDelayMs = 400; }},
            {"dropped data connection", Data, [](M& b, S&) { b.dropDataAfterBytes = 100; }},
            {"reply over 4096 bytes", Nothing, [](M& b, S&) { b.replyLength = 5000; }},
            {"vanishing mid-transfer", Data, [](M& b, S&) { b.stallDataAfterBytes = 64; }, true},
            // The module takes the next connection after an announcement as the data: the lock
            // keeps the other program's poll off it, and the fault spoils nothing.
            {"a poll of another program between announcement and data", Nothing, [](M&, S&) {}, false, true},
        };
    }
};

// The invariants of one cell; empty when all hold.
inline QStringList BrokenInvariants(const Sender& sender, const Fault* fault, const Cell& cell)
{
    QStringList broken;
    if (cell.busyAfter) broken << QStringLiteral("ExchangeBusy left set");
    if (cell.strayPollsIn > 0) broken << QStringLiteral("another program's poll reached the module during a file write");
    // A file fault the module's stack hid by taking every byte spoils nothing the PC can see; only
    // a verdict (the image's checksum) can still find it.
    const bool hidden = cell.acknowledged && !(sender.reads & Overdue);
    const bool spoiled = fault && (sender.reads & fault->spoils) != 0 && !(hidden && (fault->spoils & Data));
    if (spoiled) {
        if (cell.completion) broken << QStringLiteral("completion despite the fault");
        bool failureTold = false;
        for (const QString& text : cell.told) {
            if (IsDoneText(text)) broken << QStringLiteral("done text despite the fault: ") + text;
            failureTold = failureTold || !IsDoneText(text);
        }
        if (!failureTold) broken << QStringLiteral("the failure was not told");
    }
    if (!sender.file.isEmpty() && !(fault && fault->vanishes)) {
        if (fault && (fault->spoils & sender.reads & (Data | Announce)) && cell.stored)
            broken << QStringLiteral("file stored despite the fault");
        if (cell.completion && !cell.stored && !cell.acknowledged) broken << QStringLiteral("completion without the file");
    }
    return broken;
}

}  // namespace zqb::test
