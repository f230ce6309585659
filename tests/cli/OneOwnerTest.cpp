// One module, two programs on one PC: the console polling while zqb writes an image into the
// module, and zqb watching while the console does. The module takes the next connection after
// an announcement as the file's data, whoever opens it; the module lock keeps every other
// connection off it until the image is checked.
#include <gtest/gtest.h>

#include <string>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "cli/CliProgram.h"
#include "cli/CliRig.h"
#include "link/ModuleLink.h"
#include "link/SimulatedHostNetwork.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/QuietDisplay.h"
#include "sim/ModuleSimulator.h"
#include "support/ScriptedDialogs.h"

namespace zqb::test {
namespace {

class OneOwner : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.Start());
        ASSERT_TRUE(QDir(runtime.path()).mkdir(QStringLiteral("zqb")));
        image = QByteArray(5000, '\0');
        for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 1);
        QFile file(files.filePath(QStringLiteral("fw.bin")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(image);
    }

    // zqb as a program of its own, with its locks in $XDG_RUNTIME_DIR/zqb.
    void StartZqb(const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZQB_LOOPBACK_ONLY"), QStringLiteral("1"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        zqb.setProcessEnvironment(environment);
        zqb.start(QStringLiteral(ZQB_PROGRAM),
                  QStringList{QStringLiteral("--module"), QStringLiteral("127.0.0.1:%1").arg(module.Port())} + arguments);
        ASSERT_TRUE(zqb.waitForStarted());
    }

    // The console's link, in this process, with its locks where zqb keeps them (or none).
    std::unique_ptr<ModuleLink> Console(bool locks)
    {
        auto link = std::make_unique<ModuleLink>(display, hostNetwork, dialogs, pauses,
                                                 locks ? (runtime.path() + QStringLiteral("/zqb")).toStdString() : std::string());
        link->AimAt(QStringLiteral("127.0.0.1"), module.Port());
        return link;
    }

    QByteArray StoredImage() const
    {
        const auto files = module.Files();
        const auto it = files.find("/sys/mcuimg.bin");
        return it == files.end() ? QByteArray() : it->second.data;
    }

    zqbsim::ModuleSimulator module;
    QTemporaryDir runtime;
    QTemporaryDir files;
    QByteArray image;
    QProcess zqb;
    QuietDisplay display;
    ScriptedDialogs dialogs;
    RecordingPauses pauses;
    SimulatedHostNetwork hostBackend = SimulatedHostNetwork::LoopbackOnly();
    HostNetwork hostNetwork{hostBackend, [](const std::string&) {}};
};

// The console's display, counting the times its link timer found the module held by another
// program and left it alone.
class WatchingDisplay : public QuietDisplay {
public:
    void SetPanelText(StatusPanel panel, const QString& text) override
    {
        QuietDisplay::SetPanelText(panel, text);
        if (panel == StatusPanel::Message && text == ModuleInUseText) ++keptOff;
    }
    int keptOff = 0;
};

// zqb's firmware update as the program runs it, on a thread of its own beside the console, with
// its locks in `lockDirectory` and its pauses cut short. The exit status and standard error.
std::pair<int, QByteArray> ZqbFirmwareBesideTheConsole(ModuleLink& console, std::uint16_t port, const QString& image,
                                                        const QString& lockDirectory)
{
    int status = -1;
    QByteArray said;
    std::unique_ptr<QThread> zqb(QThread::create([&] {
        cli::test::CapturedTerminal terminal;
        RecordingPauses pauses;
        pauses.realMs = 20;
        cli::CliServices services{terminal, pauses,
                                  [] { return std::make_unique<SimulatedHostNetwork>(SimulatedHostNetwork::LoopbackOnly()); },
                                  lockDirectory, nullptr, 2};
        status = cli::RunCli({QStringLiteral("--module"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("firmware"), image},
                             services);
        said = terminal.err;
    }));
    zqb->start();
    // The console's link timer ticks on meanwhile; every 31st tick polls.
    while (!zqb->isFinished()) {
        console.Supervisor().LinkTimerTick();
        QThread::yieldCurrentThread();
    }
    zqb->wait();
    return {status, said};
}

// The console's link timer polls while zqb writes an image: with the lock its polls wait and the
// image arrives whole, run after run; without it a poll becomes the image, as on a real module.
TEST_F(OneOwner, ConsolePollsWaitWhileZqbWritesAnImage)
{
    const QString locks = runtime.path() + QStringLiteral("/zqb");
    hostNetwork.SetCountWiredAdapters(true);  // as for a module named on the console's command line
    for (int run = 0; run < 6; ++run) {
        const bool locked = run < 5;
        SCOPED_TRACE(locked ? "with locks, run " + std::to_string(run) : std::string("without locks"));
        QByteArray runImage(5000, '\0');
        for (int i = 0; i < runImage.size(); ++i) runImage[i] = static_cast<char>(i * 7 + run + 1);
        QFile file(files.filePath(QStringLiteral("fw.bin")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(runImage);
        file.close();

        WatchingDisplay shown;
        ModuleLink console(shown, hostNetwork, dialogs, pauses, locked ? locks.toStdString() : std::string());
        console.AimAt(QStringLiteral("127.0.0.1"), module.Port());
        console.Session().LinkPollEnabled = 1;  // as the main window starts
        for (int tick = 0; tick <= PeriodicCheckTick && !console.Session().linked; ++tick) console.Supervisor().LinkTimerTick();
        ASSERT_EQ(console.Session().linked, 1) << "the console links through its link timer";
        module.ClearFrames();

        const auto [status, said] = ZqbFirmwareBesideTheConsole(console, module.Port(), file.fileName(), locks);
        if (locked) {
            EXPECT_EQ(status, 0) << said.toStdString();
            EXPECT_EQ(StoredImage(), runImage) << "the stored image is the file, byte for byte";
            EXPECT_GT(shown.keptOff, 0) << "the console met the update and left the module alone";
            // Once the update ended the poll goes on: a poll kept off leaves its command to the
            // next check, which gives it up; the one after polls.
            module.ClearFrames();
            for (int tick = 0; tick < 3 * (PeriodicCheckTick + 1); ++tick) console.Supervisor().LinkTimerTick();
            int polls = 0;
            for (const QByteArray& frame : module.Frames()) polls += frame.size() > 4 && static_cast<std::uint8_t>(frame[4]) == GetIoStatus;
            EXPECT_GT(polls, 0) << "the console polls again after the update";
        } else {
            EXPECT_NE(StoredImage(), runImage) << "without the lock a poll is taken for the image";
            EXPECT_NE(status, 0);
        }
    }
}

// zqb watches while the console writes an image: zqb's poll meets the update, is kept off the
// module and says why; the image arrives whole.
TEST_F(OneOwner, ZqbWatchIsTurnedAwayWhileTheConsoleWritesAnImage)
{
    const auto console = Console(true);
    console->Session().modelKnown = 1;
    pauses.realMs = 400;  // the pauses around the data, shortened but long enough to meet a poll
    StartZqb({QStringLiteral("watch"), QStringLiteral("--interval"), QStringLiteral("10")});
    QThread::msleep(300);  // zqb links and starts polling
    ASSERT_EQ(zqb.state(), QProcess::Running) << QString::fromUtf8(zqb.readAllStandardError()).toStdString();
    const Outcome uploaded = console->Firmware().UploadImageFile(QFile::encodeName(files.filePath(QStringLiteral("fw.bin"))));
    EXPECT_TRUE(uploaded.Ok()) << DescribeOutcome(uploaded).toStdString();
    ASSERT_TRUE(console->Context().imageVerdict);
    EXPECT_TRUE(console->Context().imageVerdict->Ok());
    EXPECT_EQ(StoredImage(), image);
    zqb.waitForFinished(3000);
    ASSERT_EQ(zqb.state(), QProcess::NotRunning) << "watch ends at the poll the update kept off";
    EXPECT_EQ(zqb.exitCode(), 1);
    EXPECT_TRUE(zqb.readAllStandardError().contains("another program is writing a file to this module"));
}

}  // namespace
}  // namespace zqb::test
