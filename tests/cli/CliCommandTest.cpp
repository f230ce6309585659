// Each command against the simulated module: what reaches the module, what is printed, plain
// and as JSON, and the exit status when something fails.
#include <thread>


#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include "cli/CliRig.h"
#include "protocol/CommandCodes.h"
#include "setup/ConfigRecordPatch.h"
#include "support/FileSizeLimit.h"
#include "support/HexBytes.h"
#include "protocol/ModuleLock.h"

namespace zqb::cli::test {
namespace {

using zqb::test::HexText;

QByteArray Bytes(const std::array<std::uint8_t, 256>& record)
{
    return QByteArray(reinterpret_cast<const char*>(record.data()), static_cast<qsizetype>(record.size()));
}

// Frames the module received with this command code.
int FramesWithCode(const zqbsim::ModuleSimulator& module, std::uint8_t code)
{
    int n = 0;
    for (const QByteArray& frame : module.Frames()) n += frame.size() > 4 && static_cast<std::uint8_t>(frame[4]) == code ? 1 : 0;
    return n;
}

class CliCommands : public CliRig {
public:
    void SetUp() override { StartModule(); }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(FilePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
};

TEST_F(CliCommands, StatusSaysWhatTheModuleReportsAndNoKey)
{
    module.Update([](zqbsim::ModuleState& s) {
        s.location = "Hall 4";
        s.diBits = 2;
        s.doBits = 1;
        s.dacCode = 2047;
        s.rangeFourToTwenty = 1;
        s.apSecurity = 1;
        s.apKey = "apsecret99";
        s.staticIpEnabled = 1;
        s.staticIp = {192, 168, 1, 20};
        s.staticGateway = {192, 168, 1, 1};
        s.firmwareMajor = 2;
        s.firmwareMinor = 0x0A;
    });
    const CliRun plain = Run({"status"});
    ASSERT_EQ(plain.status, ExitDone) << plain.err.toStdString();
    for (const char* line : {"model: zQB-AO4K DAC Node (184)", "firmware: V02.0A", "MAC: 00:1E:C0:12:34:56", "address: 127.0.0.1",
                             "signal: -45 dBm", "location: Hall 4", "DI: DI0 off, DI1 on", "DO: on",
                             "DAC: 2047 (4.999V, 9.998mA, 50%)", "range: 4-20 mA", "Wi-Fi mode: access point",
                             "AP: SSID zQB-AP-123456, WPA/WPA2", "station: SSID LabNet, WPA/WPA2",
                             "Modbus: port 502, idle time-out 120 s",
                             "fixed address: 192.168.1.20 mask 255.255.255.0 gateway 192.168.1.1"})
        EXPECT_TRUE(plain.out.contains(QLatin1String(line))) << line << "\n" << plain.out.toStdString();

    const CliRun json = Run({"--json", "status"});
    ASSERT_EQ(json.status, ExitDone);
    const QJsonObject o = json.Object();
    EXPECT_EQ(o["model"].toInt(), 184);
    EXPECT_EQ(o["firmware"].toString(), "V02.0A");
    EXPECT_EQ(o["signalDbm"].toInt(), -45);
    EXPECT_EQ(o["di"].toArray(), (QJsonArray{false, true}));
    EXPECT_EQ(o["do"].toBool(), true);
    EXPECT_EQ(o["dacCode"].toInt(), 2047);
    EXPECT_DOUBLE_EQ(o["dacVolts"].toDouble(), 4.999);
    EXPECT_EQ(o["range"].toString(), "4-20");
    EXPECT_EQ(o["apKeyType"].toString(), "wpa");
    EXPECT_EQ(o["staticIp"].toObject()["gateway"].toString(), "192.168.1.1");
    for (const CliRun* run : {&plain, &json}) {
        EXPECT_FALSE(run->out.contains(QLatin1String("apsecret99")));
        EXPECT_FALSE(run->out.contains(QLatin1String("secret-key")));
    }
}

// Module text reaches a terminal with its control characters made visible.
TEST_F(CliCommands, ModuleTextCannotSteerTheTerminal)
{
    module.Update([](zqbsim::ModuleState& s) { s.location = "Lab\x1B[2J%s%n%1%2"; });
    const CliRun plain = Run({"status"});
    EXPECT_TRUE(plain.out.contains(QStringLiteral("location: Lab\u241B[2J%s%n%1%2\n"))) << plain.out.toStdString();
    EXPECT_FALSE(plain.out.contains(QLatin1Char('\x1B')));
    EXPECT_EQ(Run({"--json", "status"}).Object()["location"].toString(), QStringLiteral("Lab\x1B[2J%s%n%1%2"));
}

TEST_F(CliCommands, MainWindowCommandsReachTheModule)
{
    module.Update([](zqbsim::ModuleState& s) { s.diCounters = {7, 9}; });
    const struct {
        QStringList arguments;
        const char* frame;  // the command's frame after the magic
        const char* printed;
        std::function<bool(const zqbsim::ModuleState&)> holds;
        const char* jsonKey;
        QJsonValue jsonValue;
    } cases[] = {
        {{"do", "on"}, "D0 01 01", "DO on (DI0 off, DI1 off)", [](const zqbsim::ModuleState& s) { return s.doBits == 1; }, "do", true},
        {{"do", "off"}, "D0 01 00", "DO off", [](const zqbsim::ModuleState& s) { return s.doBits == 0; }, "do", false},
        {{"ao", "2048"}, "D4 01 08 00", "AO 2048 (5.002V, 10.000mA, 50%)", [](const zqbsim::ModuleState& s) { return s.dacCode == 2048; },
         "dacCode", 2048},
        {{"ao", "5V"}, "D4 01 07 FF", "AO 2047 (4.999V", [](const zqbsim::ModuleState& s) { return s.dacCode == 2047; }, "dacVolts", 4.999},
        {{"ao", "12mA"}, "D4 01 09 99", "AO 2457 (6.000V, 12.000mA, 60%)",
         [](const zqbsim::ModuleState& s) { return s.dacCode == 2457; }, "dacMilliamps", 12.0},
        {{"range", "0-20"}, "D6 00", "range 0-20 mA", [](const zqbsim::ModuleState& s) { return s.rangeFourToTwenty == 0; }, "range", "0-20"},
        {{"locate"}, "1D 00 00", "locator set", [](const zqbsim::ModuleState& s) { return s.locatorCount >= 1; }, "command", "locate"},
        {{"counters"}, "60 00 00", "DI0 7  DI1 9", [](const zqbsim::ModuleState&) { return true; }, "di1", 9},
        {{"counters", "--clear", "1"}, "60 00 00", "DI0 7  DI1 0  (DI1 cleared first)",
         [](const zqbsim::ModuleState& s) { return s.diCounters[1] == 0 && s.diCounters[0] == 7; }, "cleared", 1},
        {{"web-key", "ab12"}, "32 04 61 62 31 32", "web key written", [](const zqbsim::ModuleState& s) { return s.webKey == "ab12"; },
         "command", "web-key"},
        {{"--yes", "wifi-mode", "station"}, "30 00", "Wi-Fi mode set to station",
         [](const zqbsim::ModuleState& s) { return s.wifiModeRequested == 0 && s.resetCount >= 1; }, "wifiMode", "station"},
        {{"--yes", "reset-defaults"}, "5E 01", "stored settings cleared",
         [](const zqbsim::ModuleState& s) { return s.flashClearCount >= 1; }, "command", "reset-defaults"},
        {{"--yes", "reboot"}, "2D", "restart sent", [](const zqbsim::ModuleState& s) { return s.resetCount >= 1; }, "command", "reboot"},
    };
    for (const auto& c : cases) {
        const std::string name = c.arguments.join(' ').toStdString();
        module.ClearFrames();
        const CliRun plain = Run(c.arguments);
        EXPECT_EQ(plain.status, ExitDone) << name << ": " << plain.err.toStdString();
        EXPECT_TRUE(plain.out.contains(QLatin1String(c.printed))) << name << ": " << plain.out.toStdString();
        // A command sent without a reply may still be on its way into the module's log.
        EXPECT_TRUE(WaitUntil([&] { return c.holds(module.State()); })) << name;
        ASSERT_TRUE(module.WaitForFrames(2, 2000)) << name;
        EXPECT_EQ(HexText(module.Frames().back().mid(4)), c.frame) << name;
        EXPECT_FALSE(plain.out.contains(QLatin1String("ab12")) && c.arguments.contains("web-key")) << "a key is never printed";

        const CliRun json = Run(QStringList{"--json"} + c.arguments);
        EXPECT_EQ(json.status, ExitDone) << name;
        const QJsonObject o = json.Object();
        EXPECT_EQ(o[QLatin1String(c.jsonKey)], c.jsonValue) << name << ": " << json.out.toStdString();
        EXPECT_EQ(o["module"].toString(), moduleText) << name;
    }
}

TEST_F(CliCommands, FourToTwentyRaisesALowOutputFirstAsTheWindowDoes)
{
    const struct {
        std::uint16_t dac;
        QStringList frames;
    } cases[] = {
        {100, {"D4 01 03 33", "D6 01"}},
        {2000, {"D6 01"}},
    };
    for (const auto& c : cases) {
        module.Update([&c](zqbsim::ModuleState& s) {
            s.dacCode = c.dac;
            s.rangeFourToTwenty = 0;
        });
        module.ClearFrames();
        const CliRun run = Run({"range", "4-20"});
        EXPECT_EQ(run.status, ExitDone) << run.err.toStdString();
        QStringList sent;
        for (const QByteArray& frame : module.Frames())
            if (static_cast<std::uint8_t>(frame[4]) != GetLink) sent << QString::fromStdString(HexText(frame.mid(4)));
        EXPECT_EQ(sent, c.frames) << c.dac;
        EXPECT_EQ(module.State().rangeFourToTwenty, 1);
    }
}

// Every failure says what failed and ends with its status; nothing is reported done.
TEST_F(CliCommands, ExitStatusesSayWhatFailed)
{
    const struct {
        const char* name;
        QStringList arguments;
        std::function<void(CliCommands&)> arrange;
        int status;
        const char* message;
        int commandFramesSent;  // frames other than GetLink; -1: not looked at
    } cases[] = {
        {"refused command", {"do", "on"}, [](CliCommands& t) { t.SetStatusFor(SetDo, 21); }, ExitRefused, "Set DO refused (status 21)", 1},
        {"refused link", {"status"}, [](CliCommands& t) { t.SetStatusFor(GetLink, 9); }, ExitRefused, "Get Link refused (status 9)", 0},
        {"invalid header", {"locate"}, [](CliCommands& t) { t.Misbehave([](zqbsim::Misbehaviour& b) { b.badMagic = true; }); },
         ExitRefused, "invalid header", 0},
        {"other model", {"status"}, [](CliCommands& t) { t.module.Update([](zqbsim::ModuleState& s) { s.modelCode = 99; }); },
         ExitRefused, "reports model 99", 0},
        {"other address", {"status"},
         [](CliCommands& t) { t.module.Update([](zqbsim::ModuleState& s) { s.reportedAddress = {127, 0, 0, 8}; }); }, ExitRefused,
         "reports itself as 127.0.0.8", 0},
        {"no connection", {"status"},
         [](CliCommands& t) { t.Misbehave([](zqbsim::Misbehaviour& b) { b.refuseConnections = true; }); }, ExitUnreachable,
         "no connection to the module", -1},
        {"silent module", {"--timeout", "150", "status"},
         [](CliCommands& t) { t.Misbehave([](zqbsim::Misbehaviour& b) { b.silentFor = {GetLink}; }); }, ExitUnreachable,
         "did not answer Get Link within 150 ms", 0},
        {"silent command", {"--timeout", "150", "counters"},
         [](CliCommands& t) { t.Misbehave([](zqbsim::Misbehaviour& b) { b.silentFor = {GetDiCounters}; }); }, ExitUnreachable,
         "did not answer Get DI Counter", 1},
        {"not in the network", {"status"}, [](CliCommands& t) { t.host = SimulatedHostNetwork::WifiAt("10.0.0.5"); },
         ExitUnreachable, "no network interface of this PC has an address in 127.0.0.x", 0},
        {"two ways into the network", {"status"}, [](CliCommands& t) { t.host.AddWired("127.0.0.9"); }, ExitUnreachable,
         "more than one network interface", 0},
        {"unreachable range", {"ao", "11V"}, [](CliCommands&) {}, ExitUsage, "the 0-20 mA range reaches codes 0-4095", 0},
        {"restart without --yes", {"wifi-mode", "ap"}, [](CliCommands&) {}, ExitUsage, "give --yes", 0},
        {"bad setting", {"settings", "set", "modbus-port=80"}, [](CliCommands&) {}, ExitUsage, "Port already used", 0},
        {"long web key", {"web-key", "abcdef"}, [](CliCommands&) {}, ExitUsage, "web-key must have 1 to 5", 0},
        {"usage", {"do", "maybe"}, [](CliCommands&) {}, ExitUsage, "say on or off", 0},
        // Settings need the whole settings record, which the link record carries at its end.
        {"backup of a cut record", {"settings", "backup", FilePath("x.cfg")},
         [](CliCommands& t) { t.Misbehave([](zqbsim::Misbehaviour& b) { b.replyLength = 400; }); }, ExitRefused,
         "cut short (400 of 506 bytes)", 0},
        {"set on a cut record", {"settings", "set", "location=X"},
         [](CliCommands& t) { t.Misbehave([](zqbsim::Misbehaviour& b) { b.replyLength = 400; }); }, ExitRefused,
         "cut short (400 of 506 bytes)", 0},
        // A function file is refused as the window refuses it, before anything is sent.
        {"function file header", {"function", "load", Write("header.zcf", "3578010101000305000103330CCC000204010C")},
         [](CliCommands&) {}, ExitUsage, "File Header Error!!", 0},
        {"function file short line", {"function", "load", Write("short.zcf", "3577010101")}, [](CliCommands&) {}, ExitUsage,
         "is not a valid integer value", 0},
        {"function file bad digit", {"function", "load", Write("digit.zcf", "35770G0101000305000103330CCC000204010C")},
         [](CliCommands&) {}, ExitUsage, "'0x0G' is not a valid integer value", 0},
        {"function file empty", {"function", "load", Write("empty.zcf", "")}, [](CliCommands&) {}, ExitUsage,
         "List index out of bounds (0)", 0},
        {"function file a directory", {"function", "load", files.path()}, [](CliCommands&) {}, ExitUsage,
         "It is not a regular file.", 0},
        // Off 50 %, On 0 %: the On bar stops at 5 %, under Off, and Write Device refuses; and Save
        // File, for such a function on the module.
        {"function file Off above On",
         {"function", "load", Write("off.zcf", "3577" + QByteArray(16, '0') + "07FF0000" + QByteArray(10, '0'))},
         [](CliCommands&) {}, ExitUsage, "Off value can not bigger then On value!", 0},
        {"function save Off above On", {"function", "save", FilePath("off-saved.zcf")},
         [](CliCommands& t) {
             t.module.Update([](zqbsim::ModuleState& s) {
                 s.functionRecord.fill(0);
                 s.functionRecord[18] = 0x07;
                 s.functionRecord[19] = 0xFF;
             });
         },
         ExitRefused, "Off value can not bigger then On value!", 0},
        {"empty image", {"firmware", Write("empty.bin", {})}, [](CliCommands&) {}, ExitUsage, "It is empty.", 0},
        {"image over 2 MiB", {"firmware", Write("big.bin", QByteArray(2097153, 'x'))}, [](CliCommands&) {}, ExitUsage,
         "File Lengths > Buffer Size, Abort!", 0},
    };
    for (const auto& c : cases) {
        module.SetBehaviour({});
        module.SetState({});
        host = SimulatedHostNetwork::LoopbackOnly();
        c.arrange(*this);
        module.ClearFrames();
        const CliRun run = Run(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << c.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << c.name << ": " << run.out.toStdString();
        if (c.commandFramesSent >= 0) {
            int sent = 0;
            for (const QByteArray& frame : module.Frames()) sent += static_cast<std::uint8_t>(frame[4]) != GetLink ? 1 : 0;
            EXPECT_EQ(sent, c.commandFramesSent) << c.name;
        }
    }
    for (const char* name : {"x.cfg", "off-saved.zcf"}) EXPECT_FALSE(QFile::exists(FilePath(name))) << name << " written";
}

// Programs share a module for their exchanges; one that writes a file to it holds it alone.
TEST_F(CliCommands, OnlyAFileWriteElsewhereKeepsACommandOff)
{
    const struct {
        const char* holder;
        std::uint16_t port;  // the held module's port; another port is another module
        bool exclusive;
        int status;
    } cases[] = {
        {"a sharer", module.Port(), false, ExitDone},
        {"a file write", module.Port(), true, ExitRefused},
        {"a file write on another port", static_cast<std::uint16_t>(module.Port() + 1), true, ExitDone},
    };
    for (const auto& c : cases) {
        ModuleLock other;
        other.Aim(lockDir.path().toStdString(), "127.0.0.1", c.port);
        ASSERT_EQ(c.exclusive ? other.Exclusive(0) : other.TryShared(), ModuleLock::Attempt::Taken) << c.holder;
        module.ClearFrames();
        const CliRun run = Run({"status"});
        EXPECT_EQ(run.status, c.status) << c.holder << ": " << run.err.toStdString();
        if (c.status != ExitDone) {
            EXPECT_TRUE(run.err.contains(QLatin1String("another program is writing a file"))) << run.err.toStdString();
            EXPECT_TRUE(module.Frames().empty()) << "nothing may reach the module";
        }
    }
}

TEST_F(CliCommands, WatchPrintsALineForEachChange)
{
    std::thread changes([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        module.Update([](zqbsim::ModuleState& s) { s.diBits = 1; });
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        module.Update([](zqbsim::ModuleState& s) { s.dacCode = 1000; });
    });
    const CliRun run = Run({"--json", "watch", "--interval", "20", "--count", "15"});
    changes.join();
    ASSERT_EQ(run.status, ExitDone) << run.err.toStdString();
    const std::vector<QJsonObject> lines = run.Objects();
    ASSERT_GE(lines.size(), 2u) << run.out.toStdString();
    ASSERT_LE(lines.size(), 3u) << run.out.toStdString();
    EXPECT_EQ(lines.front()["di"].toArray(), (QJsonArray{false, false}));
    EXPECT_EQ(lines.front()["dacCode"].toInt(), 0);
    EXPECT_EQ(lines.back()["di"].toArray(), (QJsonArray{true, false}));
    EXPECT_EQ(lines.back()["dacCode"].toInt(), 1000);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        QJsonObject a = lines[i - 1];
        QJsonObject b = lines[i];
        a.remove("time");
        b.remove("time");
        EXPECT_NE(a, b) << "a line only for a change";
    }
    EXPECT_EQ(FramesWithCode(module, GetIoStatus), 15);
}

TEST_F(CliCommands, WatchEndsWhenAskedToStop)
{
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        stop = true;
    });
    const CliRun run = Run({"watch", "--interval", "20"});
    stopper.join();
    EXPECT_EQ(run.status, ExitDone);
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 1) << run.out.toStdString();
}

TEST_F(CliCommands, BackupThenRestoreWritesBackTheSameBytes)
{
    module.Update([](zqbsim::ModuleState& s) { s.location = "Backup bench"; });
    module.Update([](zqbsim::ModuleState& s) {
        for (std::size_t i = 176; i < 192; ++i) s.configRecord[i] = static_cast<std::uint8_t>(i * 7);  // bytes no setting owns
    });
    const QByteArray before = Bytes(module.State().configRecord);
    const QString backup = FilePath(QStringLiteral("module.cfg"));
    const CliRun saved = Run({"--json", "settings", "backup", backup});
    ASSERT_EQ(saved.status, ExitDone) << saved.err.toStdString();
    EXPECT_EQ(saved.Object()["bytes"].toInt(), 256);
    EXPECT_EQ(ReadFile(backup), before);

    ASSERT_EQ(Run({"settings", "set", "location=Changed"}).status, ExitDone);
    ASSERT_TRUE(module.WaitForFile("/local/syscfg.cfg", 3000));
    ASSERT_NE(module.Files().at("/local/syscfg.cfg").data, before);

    const CliRun restored = Run({"--yes", "settings", "restore", backup});
    ASSERT_EQ(restored.status, ExitDone) << restored.err.toStdString();
    ASSERT_TRUE(module.WaitForFile("/local/syscfg.cfg", 3000));
    EXPECT_EQ(module.Files().at("/local/syscfg.cfg").data, before) << "byte for byte";
}

// Files zqb writes: whole or not at all (a write that fails for real, here at the file size limit,
// leaves the old file as it was and ends with status 2), never over what is not a regular file,
// settings backups readable by their owner alone, and a name in any bytes written to that name.
TEST_F(CliCommands, FilesAreWrittenWholeOrNotAtAll)
{
    const QByteArray old = "the old backup, kept";
    const auto writeOld = [&](const QString& path) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(old);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    };
    const QString fifo = FilePath(QStringLiteral("pipe.cfg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        const char* what;
        QStringList arguments;
        std::function<void()> arrange;
        rlim_t sizeLimit;  // RLIM_INFINITY: none
        int status;
        const char* said;
    } cases[] = {
        {"backup on a full disk", {"settings", "backup", FilePath("full.cfg")}, [&] { writeOld(FilePath("full.cfg")); }, 100,
         ExitUsage, "cannot write"},
        {"function on a full disk", {"function", "save", FilePath("full.zcf")}, [&] { writeOld(FilePath("full.zcf")); }, 10,
         ExitUsage, "cannot write"},
        {"backup into a pipe", {"settings", "backup", fifo}, [] {}, RLIM_INFINITY, ExitUsage, "not a regular file"},
        {"backup over a readable file", {"settings", "backup", FilePath("shared.cfg")}, [&] { writeOld(FilePath("shared.cfg")); },
         RLIM_INFINITY, ExitDone, ""},
    };
    for (const auto& c : cases) {
        c.arrange();
        const QString target = c.arguments.last();
        const CliRun run = [&] {
            const zqb::test::FileSizeLimit limit(c.sizeLimit);
            return Run(c.arguments);
        }();
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.said))) << c.what << ": " << run.err.toStdString();
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0) << c.what;
        if (c.status != ExitDone) {
            EXPECT_TRUE(run.out.isEmpty()) << c.what;
            if (S_ISREG(info.st_mode)) {
                EXPECT_EQ(ReadFile(target), old) << c.what << ": the old file stays";
            }
            EXPECT_EQ(S_ISFIFO(info.st_mode), target == fifo) << c.what;
        } else {
            EXPECT_EQ(ReadFile(target).size(), 256) << c.what;
            EXPECT_EQ(info.st_mode & 0777, 0600u) << c.what << ": a backup holds both Wi-Fi keys";
        }
    }
    const QStringList leftovers = QDir(files.path()).entryList(QDir::Hidden | QDir::Files);
    EXPECT_FALSE(leftovers.join(' ').contains(QLatin1String(".full"))) << "no temporary file is left behind";

    // A name that is no valid UTF-8 names that very file.
    const QByteArray name = QFile::encodeName(files.path()) + "/b\xFF\xFE.cfg";
    const CliRun odd = Run({"settings", "backup", QString::fromLocal8Bit(name)}, true, {"settings", "backup", name});
    EXPECT_EQ(odd.status, ExitDone) << odd.err.toStdString();
    struct stat info {};
    EXPECT_EQ(::stat(name.constData(), &info), 0) << "the file has the bytes it was given";
    EXPECT_EQ(info.st_size, 256);
}

TEST_F(CliCommands, RestoreTakesOnlyASettingsRecordAndAsksFirst)
{
    // A record the module could hold: its own, with a new location.
    zqbsim::ModuleState state = module.State();
    QByteArray record(reinterpret_cast<const char*>(state.configRecord.data()), 256);
    record[128] = 4;
    record.replace(129, 4, "Rest");
    const QString good = Write(QStringLiteral("good.cfg"), record);
    const struct {
        const char* name;
        QStringList arguments;
        bool terminalIn;
        QString answer;
        int status;
        const char* message;
    } cases[] = {
        {"short file", {"--yes", "settings", "restore", Write("short.cfg", QByteArray(255, 'x'))}, false, {}, ExitUsage, "holds 255 bytes"},
        {"long file", {"--yes", "settings", "restore", Write("long.cfg", QByteArray(300, 'x'))}, false, {}, ExitUsage,
         "holds more than 256 bytes"},
        {"directory", {"--yes", "settings", "restore", files.path()}, false, {}, ExitUsage, "not a regular file"},
        {"odd name", {"--yes", "settings", "restore", Write("odd%2%1.cfg", QByteArray(10, 'x'))}, false, {}, ExitUsage,
         "odd%2%1.cfg: it is no settings record: it holds 10 bytes"},
        {"missing", {"--yes", "settings", "restore", FilePath("none.cfg")}, false, {}, ExitUsage, "none.cfg: No such file"},
        // Erased flash reads 0xFF throughout: no field of it can be the module's.
        {"erased record", {"--yes", "settings", "restore", Write("erased.cfg", QByteArray(256, '\xFF'))}, false, {}, ExitUsage,
         "AP SSID: its length is 255 bytes, more than its 31-byte field holds"},
        {"nobody to ask", {"settings", "restore", good}, false, {}, ExitUsage, "give --yes"},
        {"answered no", {"settings", "restore", good}, true, "n", ExitUsage, "nothing written"},
        {"no answer", {"settings", "restore", good}, true, {}, ExitUsage, "nothing written"},
    };
    for (const auto& c : cases) {
        terminal.inIsTerminal = c.terminalIn;
        terminal.input.clear();
        if (!c.answer.isNull()) terminal.input.push_back(c.answer);
        const CliRun run = Run(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << c.name << ": " << run.err.toStdString();
        EXPECT_EQ(FramesWithCode(module, BeginFileWrite), 0) << c.name;
    }

    terminal.input = {QStringLiteral("y")};
    const CliRun yes = Run({"settings", "restore", good});
    EXPECT_EQ(yes.status, ExitDone) << yes.err.toStdString();
    EXPECT_TRUE(yes.err.contains(QLatin1String("[y/N]")));
    ASSERT_TRUE(module.WaitForFile("/local/syscfg.cfg", 3000));
    EXPECT_EQ(module.Files().at("/local/syscfg.cfg").data, record);

    // The record is model 184's layout: another model's module is never written.
    module.Update([](zqbsim::ModuleState& s) { s.modelCode = 99; });
    module.ClearFrames();
    EXPECT_EQ(Run({"--yes", "settings", "restore", good}).status, ExitRefused);
    EXPECT_EQ(FramesWithCode(module, BeginFileWrite), 0);
}

TEST_F(CliCommands, SettingsSetWritesOneFileThenTellsTheModuleOfModbus)
{
    DeviceConfigRecord expected;
    const auto stored = module.State().configRecord;
    std::copy(stored.begin(), stored.end(), expected.begin());
    PatchLocation(expected, "Hall 2");
    PatchModbus(expected, 1502, 120);
    PatchStationSettings(expected, "LabNet", StationKeyType::Wpa, "new-secret-1");

    const CliRun run = Run({"--json", "settings", "set", "location=Hall 2", "modbus-port=1502", "sta-key=new-secret-1"});
    ASSERT_EQ(run.status, ExitDone) << run.err.toStdString();
    ASSERT_TRUE(module.WaitForFile("/local/syscfg.cfg", 3000));
    const QByteArray written = module.Files().at("/local/syscfg.cfg").data;
    EXPECT_EQ(written, QByteArray(reinterpret_cast<const char*>(expected.data()), 256));
    EXPECT_EQ(FramesWithCode(module, BeginFileWrite), 1) << "one settings file for all";
    EXPECT_EQ(FramesWithCode(module, ConfigWritten), 1);
    EXPECT_EQ(pauses.pauses.back(), 300) << "ConfigWritten follows the file as in the window";
    EXPECT_EQ(run.Object()["settings"].toObject()["location"].toString(), "Hall 2");
    EXPECT_FALSE(run.out.contains(QLatin1String("new-secret-1")));
    EXPECT_FALSE(run.err.contains(QLatin1String("new-secret-1")));

    module.ClearFrames();
    ASSERT_EQ(Run({"settings", "set", "location=Hall 3"}).status, ExitDone);
    EXPECT_EQ(FramesWithCode(module, ConfigWritten), 0) << "only a Modbus change is announced";
}

TEST_F(CliCommands, FunctionShowSaysWhatTheModuleHolds)
{
    module.Update([](zqbsim::ModuleState& s) {
        const QByteArray example = zqb::test::Hex("01 01 00 00 00 00 00 00 01 00 00 03 00 05 00 00"
                                                  "00 01 03 33 0C CC 00 00 00 02 00 04 00 01 00 0C");
        std::copy(example.begin(), example.end(), s.functionRecord.begin());
    });
    const CliRun plain = Run({"function", "show"});
    ASSERT_EQ(plain.status, ExitDone) << plain.err.toStdString();
    for (const char* line : {"function mode: enabled", "trigger: rising edge (open)",
                             "DO: DI0 triggers yes, DI1 triggers no, delay to on 3 s, hold after DI release 5 s",
                             "DAC: DI0 triggers no (delay 0 s), DI1 triggers yes (delay 12 s)",
                             "waveform: off 819 (20%), on 3276 (80%), Ton 2 s, Thold 4 s, Toff 1 s"})
        EXPECT_TRUE(plain.out.contains(QLatin1String(line))) << line << "\n" << plain.out.toStdString();
    const QJsonObject o = Run({"--json", "function", "show"}).Object();
    EXPECT_EQ(o["dacOnPercent"].toInt(), 80);
    EXPECT_EQ(o["di1DacDelaySeconds"].toInt(), 12);
    EXPECT_EQ(o["risingEdge"].toBool(), true);

    module.Update([](zqbsim::ModuleState& s) { s.hasFunctionRecord = false; });
    const CliRun none = Run({"--json", "function", "show"});
    EXPECT_EQ(none.status, ExitDone);
    EXPECT_EQ(none.Object()["present"].toBool(), false);
}

TEST_F(CliCommands, FirmwareEndsWithTheModulesVerdict)
{
    QByteArray image(5000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13);
    const QString path = Write(QStringLiteral("image.bin"), image);
    firmwareTickMs = 2;
    const struct {
        const char* name;
        std::function<void(zqbsim::Misbehaviour&)> misbehave;
        int status;
        const char* message;
        int checksumRequests;
    } cases[] = {
        {"sums agree", [](zqbsim::Misbehaviour&) {}, ExitDone, "", 1},
        {"sums differ", [](zqbsim::Misbehaviour& b) { b.imageSumOverride = 0x12345678; }, ExitRefused,
         "the module's checksum 12345678 differs from the image's 0009B9AC", 1},
        {"never answered", [](zqbsim::Misbehaviour& b) { b.silentFor = {GetImageChecksum}; }, ExitUnreachable,
         "did not answer Get F/W CheckSum", 4},
        {"check refused", [](zqbsim::Misbehaviour& b) { b.statusFor = {{GetImageChecksum, 4}}; }, ExitRefused,
         "Get F/W CheckSum refused (status 4)", 1},
    };
    for (const auto& c : cases) {
        zqbsim::Misbehaviour behaviour;
        c.misbehave(behaviour);
        module.SetBehaviour(behaviour);
        module.ClearFrames();
        const CliRun run = Run({"--timeout", "200", "--json", "firmware", path});
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << c.name << ": " << run.err.toStdString();
        EXPECT_EQ(FramesWithCode(module, GetImageChecksum), c.checksumRequests) << c.name;
        ASSERT_TRUE(module.WaitForFile("/sys/mcuimg.bin", 3000)) << c.name;
        EXPECT_EQ(module.Files().at("/sys/mcuimg.bin").data, image) << c.name;
        if (c.status == ExitDone) {
            EXPECT_EQ(run.Object()["verdict"].toString(), "match");
        }
    }
}

// A terminal on standard error gets a bar that ends full; a pipe gets none.
TEST_F(CliCommands, ProgressBarOnlyOnATerminal)
{
    const QString path = Write(QStringLiteral("image.bin"), QByteArray(300000, 'z'));
    terminal.errIsTerminal = true;
    const CliRun shown = Run({"firmware", path});
    EXPECT_EQ(shown.status, ExitDone) << shown.err.toStdString();
    EXPECT_TRUE(shown.err.contains(QLatin1String("\r[") + QString(40, QLatin1Char('#')) + QLatin1String("] 100%\n")))
        << shown.err.toStdString();
    terminal.errIsTerminal = false;
    const CliRun piped = Run({"firmware", path});
    EXPECT_EQ(piped.status, ExitDone);
    EXPECT_FALSE(piped.err.contains(QLatin1Char('#')));
}

}  // namespace
}  // namespace zqb::cli::test
