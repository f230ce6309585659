// The console as a program: its options, and a demo run that screenshots the linked window.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "ConsoleOptions.h"
#include "QtPrinters.h"

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
    EXPECT_EQ(PrefixOfAddress(QStringLiteral("10.0.5.20")), QStringLiteral("10.0.5."));
}

TEST(ConsoleOptions, MistakesAreRefusedWithAReason)
{
    for (const QStringList& bad : {QStringList{"--module"}, QStringList{"--module", "10.0.5"},
                                   QStringList{"--module", "10.0.5.20:0"}, QStringList{"--module", "10.0.5.20:70000"},
                                   QStringList{"--module", "host.example:13577"}, QStringList{"--frobnicate"},
                                   QStringList{"--demo", "--module", "127.0.0.1"}, QStringList{"--screenshot"}}) {
        QString error;
        EXPECT_FALSE(Parse(bad, error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(ConsoleProgram, HelpListsTheOptions)
{
    QProcess console;
    console.start(QStringLiteral(ZQB_CONSOLE_PATH), {QStringLiteral("--help")});
    ASSERT_TRUE(console.waitForFinished(10000));
    const QString help = QString::fromLocal8Bit(console.readAllStandardOutput());
    EXPECT_EQ(console.exitCode(), 0);
    for (const char* option : {"--module ADDRESS[:PORT]", "--demo", "--screenshot FILE"})
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
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

}  // namespace
}  // namespace zqb
