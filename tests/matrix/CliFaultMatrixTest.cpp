// Every command of zqb against every way the module can misbehave. zqb never claims what did
// not happen: an exit status of 0 comes only with the effect on the module (or the module's own
// data in the output), a failure is said on standard error with nothing on standard output, a
// file the module did not take whole is not stored, and the next command on a good module works.
#include <functional>

#include <QFile>
#include <QTimer>

#include "cli/CliRig.h"
#include "functioncfg/FunctionFile.h"

namespace zqb::cli::test {
namespace {

class CliFaultMatrix : public ::testing::Test {
protected:
    CliFaultMatrix()
    {
        pauses.realMs = 20;  // the module takes an announcement before its data
        Write(QStringLiteral("fw.bin"), QByteArray(5000, '\x3C'));
        Write(QStringLiteral("fn.zcf"), "3577010101000305000103330CCC000204010C");
        QByteArray record(256, '\0');
        record[0] = 4;
        record.replace(1, 4, "Rest");
        Write(QStringLiteral("backup.cfg"), record);
    }

    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(files.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A fresh, well-behaved module with known state.
    void FreshModule()
    {
        module = std::make_unique<zqbsim::ModuleSimulator>();
        zqbsim::ModuleState state;
        state.location = "Matrix";
        state.diCounters[0] = 5;
        state.hasFunctionRecord = false;
        module->SetState(state);
        ASSERT_TRUE(module->Start());
        moduleText = QStringLiteral("127.0.0.1:%1").arg(module->Port());
    }

    CliRun Run(const QStringList& arguments)
    {
        terminal.out.clear();
        terminal.err.clear();
        CliServices services{terminal, pauses, [] {
                                 return std::make_unique<SimulatedHostNetwork>(SimulatedHostNetwork::LoopbackOnly());
                             },
                             lockDir.path(), nullptr, 2};
        CliRun run;
        run.status = RunCli(QStringList{QStringLiteral("--module"), moduleText, QStringLiteral("--timeout"),
                                        QStringLiteral("150")} + arguments,
                            services);
        run.out = QString::fromUtf8(terminal.out);
        run.err = QString::fromUtf8(terminal.err);
        return run;
    }

    bool Stored(const QByteArray& name) const
    {
        const auto all = module->Files();
        const auto it = all.find(name);
        return it != all.end() && it->second.complete;
    }

    std::unique_ptr<zqbsim::ModuleSimulator> module;
    QString moduleText;
    CapturedTerminal terminal;
    zqb::test::RecordingPauses pauses;
    QTemporaryDir lockDir;
    QTemporaryDir files;
};

struct Command {
    QStringList arguments;
    // What a success must show: the effect on the module, or the module's data in the output.
    std::function<bool(const zqbsim::ModuleState&, const CliRun&)> succeeded;
    QByteArray file;  // the file it writes, if any
};

struct Fault {
    const char* name;
    std::function<void(zqbsim::Misbehaviour&, zqbsim::ModuleState&)> set;
    bool spoilsAll = false;
    bool vanishes = false;
};

TEST_F(CliFaultMatrix, EveryCommandAgainstEveryFault)
{
    using S = zqbsim::ModuleState;
    const QString backup = files.filePath(QStringLiteral("backup.cfg"));
    const QString saved = files.filePath(QStringLiteral("saved.zcf"));
    const QString savedRecord = files.filePath(QStringLiteral("saved.cfg"));
    const auto shows = [](const char* text) {
        return [text](const S&, const CliRun& run) { return run.out.contains(QLatin1String(text)); };
    };
    const Command commands[] = {
        {{"status"}, shows("Matrix"), {}},
        {{"do", "on"}, [](const S& s, const CliRun&) { return s.doBits == 1; }, {}},
        {{"ao", "100"}, [](const S& s, const CliRun&) { return s.dacCode == 100; }, {}},
        {{"range", "4-20"}, [](const S& s, const CliRun&) { return s.rangeFourToTwenty == 1; }, {}},
        {{"locate"}, [](const S& s, const CliRun&) { return s.locatorCount > 0; }, {}},
        {{"counters"}, shows("5"), {}},
        {{"counters", "--clear", "0"}, [](const S& s, const CliRun&) { return s.diCounters[0] == 0; }, {}},
        {{"function", "show"}, [](const S&, const CliRun& run) { return !run.out.isEmpty(); }, {}},
        {{"function", "save", saved}, [&](const S&, const CliRun&) { return QFile(saved).size() == 38; }, {}},
        {{"function", "load", files.filePath(QStringLiteral("fn.zcf"))},
         [](const S& s, const CliRun&) { return s.hasFunctionRecord && s.functionRecord[0] == 1; }, {}},
        {{"settings", "backup", savedRecord}, [&](const S&, const CliRun&) { return QFile(savedRecord).size() == 256; }, {}},
        {{"--yes", "settings", "restore", backup}, [](const S&, const CliRun&) { return true; }, "/local/syscfg.cfg"},
        {{"settings", "set", "location=Bay_4"}, [](const S&, const CliRun&) { return true; }, "/local/syscfg.cfg"},
        {{"settings", "set", "modbus-port=1502"}, [](const S& s, const CliRun&) { return s.configWrittenCount > 0; },
         "/local/syscfg.cfg"},
        {{"web-key", "k1"}, [](const S& s, const CliRun&) { return s.webKey == "k1"; }, {}},
        {{"--yes", "wifi-mode", "ap"}, [](const S& s, const CliRun&) { return s.wifiModeRequested == 2; }, {}},
        {{"--yes", "reset-defaults"}, [](const S& s, const CliRun&) { return s.flashClearCount > 0; }, {}},
        {{"--yes", "reboot"}, [](const S& s, const CliRun&) { return s.resetCount > 0; }, {}},
        {{"firmware", files.filePath(QStringLiteral("fw.bin"))}, [](const S&, const CliRun&) { return true; },
         "/sys/mcuimg.bin"},
    };
    using M = zqbsim::Misbehaviour;
    const Fault faults[] = {
        {"silent", [](M& b, S&) { b.silent = true; }},
        {"refused connection", [](M& b, S&) { b.refuseConnections = true; }, true},
        {"status 3", [](M& b, S&) { b.status = 3; }},
        {"bad magic", [](M& b, S&) { b.badMagic = true; }},
        {"another address", [](M&, S& s) { s.reportedAddress = {127, 0, 0, 2}; }},
        {"another model", [](M&, S& s) { s.modelCode = 12; }},
        {"split reply", [](M& b, S&) { b.splitPieces = {3}; b.pieceDelayMs = 100; }},
        {"slow reply", [](M& b, S&) { b.replyDelayMs = 300; }},
        {"dropped data connection", [](M& b, S&) { b.dropDataAfterBytes = 100; }},
        {"reply over 4096 bytes", [](M& b, S&) { b.replyLength = 5000; }},
        {"vanishing mid-transfer", [](M& b, S&) { b.stallDataAfterBytes = 64; }, false, true},
    };

    int cells = 0;
    for (const Fault& fault : faults) {
        for (const Command& command : commands) {
            SCOPED_TRACE((command.arguments.join(' ') + QStringLiteral(" / ") + QLatin1String(fault.name)).toStdString());
            FreshModule();
            QFile::remove(saved);
            QFile::remove(savedRecord);
            M behaviour;
            S state = module->State();
            fault.set(behaviour, state);
            module->SetState(state);
            module->SetBehaviour(behaviour);
            QTimer vanish;
            vanish.setSingleShot(true);
            QObject::connect(&vanish, &QTimer::timeout, [this] { module->Stop(); });
            if (fault.vanishes) vanish.start(40);
            const CliRun run = Run(command.arguments);
            vanish.stop();
            const bool stored = !command.file.isEmpty() && Stored(command.file);

            if (run.status == ExitDone) {
                EXPECT_FALSE(fault.spoilsAll) << "success despite the fault";
                // A command sent without a reply (the restart) takes effect once the module has read it.
                const bool effect = WaitUntil([&] { return command.succeeded(module->State(), run); }, 2000);
                EXPECT_TRUE(effect) << "claimed without the effect: " << run.out.toStdString();
                EXPECT_TRUE(command.file.isEmpty() || fault.vanishes || stored) << "claimed without the file";
            } else {
                EXPECT_FALSE(run.err.isEmpty()) << "a failure not told";
                EXPECT_TRUE(run.out.isEmpty()) << "output despite the failure: " << run.out.toStdString();
                const bool cut = QByteArray(fault.name) == "dropped data connection";
                EXPECT_FALSE(cut && stored) << "a cut file stored";
            }
            // The next command on a good module works: nothing is left locked or broken.
            FreshModule();
            EXPECT_EQ(Run({QStringLiteral("status")}).status, ExitDone);
            ++cells;
        }
    }
    EXPECT_EQ(cells, 19 * 11);
}

}  // namespace
}  // namespace zqb::cli::test
