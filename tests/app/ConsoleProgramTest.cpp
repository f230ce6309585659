// The console as a program: its options, and a demo run that screenshots the linked window.
#include <gtest/gtest.h>

#include <sys/resource.h>


#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include "app/Screenshot.h"
#include "link/ConsoleOptions.h"
#include "support/FileSizeLimit.h"
#include "support/QtPrinters.h"

namespace zqb {
namespace {

std::optional<ConsoleOptions> Parse(QStringList arguments, QString& error)
{
    arguments.prepend(QStringLiteral("zqb-console"));
    return ParseConsoleOptions(arguments, error);
}

TEST(ConsoleOptions, ModuleAddressWithOrWithoutPort)
{
    QString error;
    auto options = Parse({"--module", "10.0.5.20"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->moduleAddress, QStringLiteral("10.0.5.20"));
    EXPECT_EQ(options->modulePort, 13577);
    options = Parse({"--module", "127.0.0.1:4000", "--screenshot", "x.png"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->modulePort, 4000);
    EXPECT_EQ(options->screenshotFile, QStringLiteral("x.png"));
}

// Only an address that can ever link is taken: the module's link record is compared as text.
TEST(ConsoleOptions, MistakesAreRefusedWithAReason)
{
    const struct {
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {{"--module"}, "needs a value"},
        {{"--module", "10.0.5"}, "not an IPv4 address"},
        {{"--module", "127.0.0.01"}, "not an IPv4 address"},
        {{"--module", "127.0.0.1 "}, "not an IPv4 address"},
        {{"--module", "0x7f.0.0.1"}, "not an IPv4 address"},
        {{"--module", "127.0.0.256"}, "not an IPv4 address"},
        {{"--module", "0.0.0.0"}, "cannot be a module's address"},
        {{"--module", "224.0.0.1"}, "cannot be a module's address"},
        {{"--module", "10.0.5.20:0"}, "not a port number"},
        {{"--module", "10.0.5.20:70000"}, "not a port number"},
        {{"--module", "127.0.0.1:+13590"}, "not a port number"},
        {{"--module", "127.0.0.1: 13590"}, "not a port number"},
        {{"--module", "127.0.0.1:013590"}, "not a port number"},
        {{"--module", "::1"}, "IPv6 addresses are not supported"},
        {{"--module", "[::1]:13577"}, "IPv6 addresses are not supported"},
        {{"--module", "host.example:13577"}, "not an IPv4 address"},
        {{"--frobnicate"}, "unknown option"},
        {{"--demo", "--module", "127.0.0.1"}, "cannot be combined"},
        {{"--screenshot"}, "needs a value"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(Parse(c.arguments, error)) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

// Help, version and mistakes are answered before any window system is needed.
TEST(ConsoleProgram, HelpVersionAndMistakesNeedNoDisplay)
{
    const struct {
        QStringList arguments;
        int exitCode;
        const char* output;
    } cases[] = {
        {{"--help"}, 0, "--module ADDRESS[:PORT]"},
        {{"--version"}, 0, "zqb-console 1.10"},
        {{"--module", "::1"}, 2, "IPv6 addresses are not supported"},
        {{"--nonsense"}, 2, "unknown option"},
    };
    for (const auto& c : cases) {
        QProcess console;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        console.setProcessEnvironment(environment);
        console.start(QStringLiteral(ZQB_CONSOLE_PATH), c.arguments);
        ASSERT_TRUE(console.waitForFinished(10000));
        const QString output = QString::fromLocal8Bit(console.readAllStandardOutput() + console.readAllStandardError());
        EXPECT_EQ(console.exitStatus(), QProcess::NormalExit) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(console.exitCode(), c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(output.contains(QLatin1String(c.output))) << output.toStdString();
    }
}

TEST(ConsoleProgram, DemoScreenshotShowsTheLinkedModule)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("demo.png"));
    QProcess console;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    console.setProcessEnvironment(environment);
    console.start(QStringLiteral(ZQB_CONSOLE_PATH), {QStringLiteral("--demo"), QStringLiteral("--screenshot"), png});
    ASSERT_TRUE(console.waitForFinished(30000));
    EXPECT_EQ(console.exitCode(), 0) << console.readAllStandardError().toStdString();

    const QImage shot(png);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(420, 551));
    // The model name is written in navy across Label4 only once the module is linked.
    int navy = 0;
    for (int y = 20; y < 43; ++y)
        for (int x = 10; x < 300; ++x) navy += shot.pixelColor(x, y) == QColor(0, 0, 128) ? 1 : 0;
    EXPECT_GT(navy, 50);
}

// The picture is written whole or not at all: a full disk or a folder in the way leaves what was
// there, and says so.
TEST(ConsoleProgram, AScreenshotIsWrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    QLabel window(QStringLiteral("zQB"));
    window.resize(200, 100);
    const QByteArray old = "the picture before";
    const auto writeOld = [&](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    };
    const struct {
        const char* what;
        QString path;
        std::function<void()> arrange;
        rlim_t sizeLimit;  // RLIM_INFINITY: none
        bool written;
    } cases[] = {
        {"a full disk", dir.filePath(QStringLiteral("full.png")), [&] { writeOld(dir.filePath(QStringLiteral("full.png"))); }, 100,
         false},
        {"a folder in the way", dir.filePath(QStringLiteral("folder.png")), [&] { QDir(dir.path()).mkdir(QStringLiteral("folder.png")); },
         RLIM_INFINITY, false},
        {"room for it", dir.filePath(QStringLiteral("fine.png")), [&] { writeOld(dir.filePath(QStringLiteral("fine.png"))); },
         RLIM_INFINITY, true},
    };
    for (const auto& c : cases) {
        c.arrange();
        const FileWrite saved = [&] {
            const zqb::test::FileSizeLimit limit(c.sizeLimit);
            return SaveScreenshot(window, c.path);
        }();
        EXPECT_EQ(saved.written, c.written) << c.what;
        EXPECT_EQ(saved.reason.isEmpty(), c.written) << c.what << ": " << saved.reason.toStdString();
        if (c.written) {
            EXPECT_EQ(QImage(c.path).size(), QSize(200, 100)) << c.what;
        } else if (QFileInfo(c.path).isFile()) {
            QFile file(c.path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), old) << c.what << ": the old file stays";
        } else {
            EXPECT_TRUE(QFileInfo(c.path).isDir()) << c.what;
        }
    }
}

}  // namespace
}  // namespace zqb
