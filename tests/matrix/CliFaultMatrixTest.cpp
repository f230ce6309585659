// Every command of zqb against every way the module can misbehave. zqb never claims what did
// not happen: an exit status of 0 comes only with the effect on the module (or the module's own
// data in the output), a failure is said on standard error with nothing on standard output, a
// file the module did not take whole is not stored, and the next command on a good module works.
#include <algorithm>
#include <functional>
#include <optional>
#include <set>

#include <QFile>
#include <QTimer>

#include "cli/CliRig.h"
#include "functioncfg/FunctionFile.h"
#include "protocol/CommandCodes.h"
#include "protocol/PeopleText.h"
#include "support/StrayPoll.h"

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

    bool Acknowledged(const QByteArray& name) const
    {
        const auto all = module->Files();
        const auto file = all.find(name);
        if (file == all.end()) return false;
        for (const zqbsim::ConnectionRecord& c : module->Connections())
            if (c.kind == zqbsim::ConnectionRecord::Kind::Data && c.fileName == name &&
                c.bytesAcknowledged >= file->second.announcedLength)
                return true;
        return false;
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
    std::uint8_t code;  // the command's own exchange, met by the per-command faults after a good link
    // What a success must show: the effect on the module, or the module's data in the output.
    std::function<bool(const zqbsim::ModuleState&, const CliRun&)> succeeded;
    QByteArray file;  // the file it writes, if any
};

struct Fault {
    const char* name;
    // Sets the fault up; `code` is the command's own exchange, for the faults that meet only it.
    std::function<void(zqbsim::Misbehaviour&, zqbsim::ModuleState&, std::uint8_t code)> set;
    bool spoilsAll = false;
    bool vanishes = false;
    // Meets the command's own exchange after a good link: success only where the command may do
    // without what the fault takes away.
    std::function<bool(std::uint8_t code)> successAllowed;
    // Another program of this PC polls between each announcement and its data.
    bool strayPoll = false;
};

// Every text worded for people, turned round: nothing zqb decides may change with what a text says.
QString Turned(const QString& text)
{
    QString turned = text;
    std::reverse(turned.begin(), turned.end());
    return QStringLiteral("~") + turned;
}

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
        {{"status"}, zqb::GetLink, shows("Matrix"), {}},
        {{"do", "on"}, zqb::SetDo, [](const S& s, const CliRun&) { return s.doBits == 1; }, {}},
        {{"ao", "100"}, zqb::SetAnalog, [](const S& s, const CliRun&) { return s.dacCode == 100; }, {}},
        {{"range", "4-20"}, zqb::SetOutputRange, [](const S& s, const CliRun&) { return s.rangeFourToTwenty == 1; }, {}},
        {{"locate"}, zqb::SetLocator, [](const S& s, const CliRun&) { return s.locatorCount > 0; }, {}},
        {{"counters"}, zqb::GetDiCounters, shows("5"), {}},
        {{"counters", "--clear", "0"}, zqb::ClearDiCounter, [](const S& s, const CliRun&) { return s.diCounters[0] == 0; }, {}},
        {{"function", "show"}, zqb::GetFunctionConfig, [](const S&, const CliRun& run) { return !run.out.isEmpty(); }, {}},
        {{"function", "save", saved}, zqb::GetLink, [&](const S&, const CliRun&) { return QFile(saved).size() == 38; }, {}},
        {{"function", "load", files.filePath(QStringLiteral("fn.zcf"))}, zqb::SetFunctionConfig,
         [](const S& s, const CliRun&) { return s.hasFunctionRecord && s.functionRecord[0] == 1; }, {}},
        {{"settings", "backup", savedRecord}, zqb::GetLink, [&](const S&, const CliRun&) { return QFile(savedRecord).size() == 256; }, {}},
        {{"--yes", "settings", "restore", backup}, zqb::BeginFileWrite, [](const S&, const CliRun&) { return true; }, "/local/syscfg.cfg"},
        {{"settings", "set", "location=Bay_4"}, zqb::BeginFileWrite, [](const S&, const CliRun&) { return true; }, "/local/syscfg.cfg"},
        {{"settings", "set", "modbus-port=1502"}, zqb::ConfigWritten, [](const S& s, const CliRun&) { return s.configWrittenCount > 0; },
         "/local/syscfg.cfg"},
        {{"web-key", "k1"}, zqb::SetWebKey, [](const S& s, const CliRun&) { return s.webKey == "k1"; }, {}},
        {{"--yes", "wifi-mode", "ap"}, zqb::SetWifiMode, [](const S& s, const CliRun&) { return s.wifiModeRequested == 2; }, {}},
        {{"--yes", "reset-defaults"}, zqb::ClearFlashConfig, [](const S& s, const CliRun&) { return s.flashClearCount > 0; }, {}},
        {{"--yes", "reboot"}, zqb::ResetModule, [](const S& s, const CliRun&) { return s.resetCount > 0; }, {}},
        {{"firmware", files.filePath(QStringLiteral("fw.bin"))}, zqb::GetImageChecksum, [](const S&, const CliRun&) { return true; },
         "/sys/mcuimg.bin"},
    };
    using M = zqbsim::Misbehaviour;
    using Code = std::uint8_t;
    // The commands whose reply the module need not send: nothing is read from it, or the module
    // restarts at once; and the restart, sent without reading any reply at all.
    const std::set<Code> maySkipReply = {zqb::SetOutputRange, zqb::ClearDiCounter, zqb::SetWebKey, zqb::SetWifiMode, zqb::ClearFlashConfig,
                                         zqb::ConfigWritten, zqb::BeginFileWrite, zqb::ResetModule};
    const Fault faults[] = {
        {"silent", [](M& b, S&, Code) { b.silent = true; }, false, false, {}},
        {"refused connection", [](M& b, S&, Code) { b.refuseConnections = true; }, true, false, {}},
        {"status 3", [](M& b, S&, Code) { b.status = 3; }, false, false, {}},
        {"bad magic", [](M& b, S&, Code) { b.badMagic = true; }, false, false, {}},
        {"another address", [](M&, S& s, Code) { s.reportedAddress = {127, 0, 0, 2}; }, false, false, {}},
        {"another model", [](M&, S& s, Code) { s.modelCode = 12; }, false, false, {}},
        {"closed without a reply", [](M& b, S&, Code) { b.closeWithoutReply = true; }, false, false, {}},
        {"split reply", [](M& b, S&, Code) { b.splitPieces = {3}; b.pieceDelayMs = 100; }, false, false, {}},
        {"slow reply", [](M& b, S&, Code) { b.replyDelayMs = 300; }, false, false, {}},
        {"dropped data connection", [](M& b, S&, Code) { b.dropDataAfterBytes = 100; }, false, false, {}},
        {"reply over 4096 bytes", [](M& b, S&, Code) { b.replyLength = 5000; }, false, false, {}},
        {"vanishing mid-transfer", [](M& b, S&, Code) { b.stallDataAfterBytes = 64; }, false, true, {}},
        {"its own command refused", [](M& b, S&, Code c) { b.statusFor[c] = 3; }, false, false,
         [](Code c) { return c == zqb::ResetModule; }},
        {"its own command unanswered", [](M& b, S&, Code c) { b.silentFor = {c}; }, false, false,
         [&maySkipReply](Code c) { return maySkipReply.count(c) > 0; }},
        {"its own command answered invalidly", [](M& b, S&, Code c) { b.badMagicFor = {c}; }, false, false,
         [](Code c) { return c == zqb::ResetModule; }},
        // The module takes the next connection after an announcement as the data: the lock keeps
        // the other program's poll off it, and every command goes through.
        {"a poll of another program between announcement and data", [](M&, S&, Code) {}, false, false,
         [](Code) { return true; }, true},
    };

    int cells = 0;
    for (const Fault& fault : faults) {
        for (const Command& command : commands) {
            SCOPED_TRACE((command.arguments.join(' ') + QStringLiteral(" / ") + QLatin1String(fault.name)).toStdString());
            QFile::remove(saved);
            QFile::remove(savedRecord);
            const auto runUnderFault = [&](bool turnedTexts) {
                FreshModule();
                M behaviour;
                S state = module->State();
                fault.set(behaviour, state, command.code);
                module->SetState(state);
                module->SetBehaviour(behaviour);
                QTimer vanish;
                vanish.setSingleShot(true);
                QObject::connect(&vanish, &QTimer::timeout, [this] { module->Stop(); });
                if (fault.vanishes) vanish.start(40);
                std::optional<TextTurn> turn;
                if (turnedTexts) turn.emplace(&Turned);
                std::optional<zqb::test::StrayPoll> stray;
                if (fault.strayPoll) stray.emplace(*module, lockDir.path().toStdString());
                const CliRun run = Run(command.arguments);
                turn.reset();
                if (stray) {
                    stray->Stop();
                    EXPECT_EQ(stray->GotIn(), 0) << "a poll reached the module between announcement and data";
                    EXPECT_EQ(stray->MetAnAnnouncement(), !command.file.isEmpty());
                }
                vanish.stop();
                return run;
            };
            // Texts turned round first: the same fault must end with the same status.
            const int withTurnedTexts = runUnderFault(true).status;
            QFile::remove(saved);
            QFile::remove(savedRecord);
            const CliRun run = runUnderFault(false);
            // Where the data phase meets the fault, the module's stack decides by timing whether it
            // took every byte: either end is true, and the two runs may differ for that alone.
            const bool timingDecides = fault.vanishes || QByteArray(fault.name) == "dropped data connection";
            if (!timingDecides) {
                EXPECT_EQ(run.status, withTurnedTexts) << "an exit status changed with the texts";
            }
            const bool stored = !command.file.isEmpty() && Stored(command.file);
            const bool acknowledged = !command.file.isEmpty() && Acknowledged(command.file);

            if (fault.successAllowed) {
                EXPECT_EQ(run.status == ExitDone, fault.successAllowed(command.code)) << run.err.toStdString();
            }
            if (run.status == ExitDone) {
                EXPECT_FALSE(fault.spoilsAll) << "success despite the fault";
                // A command sent without a reply (the restart) takes effect once the module has read it.
                const bool effect = WaitUntil([&] { return command.succeeded(module->State(), run); }, 2000);
                EXPECT_TRUE(effect) << "claimed without the effect: " << run.out.toStdString();
                // A file the module's stack took whole counts as delivered, stored or not: the PC
                // cannot tell them apart; the image's checksum verdict can.
                EXPECT_TRUE(command.file.isEmpty() || fault.vanishes || stored || acknowledged) << "claimed without the file";
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
    EXPECT_EQ(cells, 19 * 16);
}

}  // namespace
}  // namespace zqb::cli::test
