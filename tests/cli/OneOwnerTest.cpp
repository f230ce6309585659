// One module, two programs on one PC: the console polling while zqb writes an image into the
// module, and zqb watching while the console does. The module takes the next connection after
// an announcement as the file's data, whoever opens it; the module lock keeps every other
// connection off it until the image is checked.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

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

// The console polls every few milliseconds while zqb writes the image: with the lock its polls
// wait and the image arrives whole; without it a poll becomes the image, as on a real module.
TEST_F(OneOwner, ConsolePollsWaitWhileZqbWritesAnImage)
{
    for (const bool locks : {true, false}) {
        SCOPED_TRACE(locks ? "with locks" : "without");
        module.ClearConnections();
        const auto console = Console(locks);
        console->Session().linked = 1;
        StartZqb({QStringLiteral("firmware"), files.filePath(QStringLiteral("fw.bin"))});
        int busy = 0;
        int polled = 0;
        while (zqb.state() != QProcess::NotRunning) {
            const Outcome poll =
                console->Transport().Exchange(GetIoStatus, [](CommandFrame& f) { return BuildGetIoStatus(f); });
            polled += poll.Ok() ? 1 : 0;
            busy += poll.kind == OutcomeKind::Busy && poll.busy == BusyWith::OtherProgram ? 1 : 0;
            zqb.waitForFinished(5);
        }
        const QString said = QString::fromUtf8(zqb.readAllStandardError());
        if (locks) {
            EXPECT_EQ(zqb.exitCode(), 0) << said.toStdString();
            EXPECT_EQ(StoredImage(), image) << "the stored image is the file, byte for byte";
            EXPECT_GT(busy, 0) << "the console met the update and waited";
            EXPECT_GT(polled, 0) << "and polled before and after it";
        } else {
            EXPECT_NE(StoredImage(), image) << "without the lock a poll is taken for the image";
            EXPECT_NE(zqb.exitCode(), 0);
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
