// The zqb-sim program: starts on a free port, says which, answers, quits on SIGTERM, and will not
// listen anywhere but loopback.
#include <QProcess>
#include <QRegularExpression>

#include "sim/SimTestSupport.h"

namespace zqbsim::test {
namespace {

// Starts the program and returns the port it printed for `host`, or 0.
std::uint16_t StartProgram(QProcess& process, const QStringList& options, const QString& host = QStringLiteral("127.0.0.1"))
{
    process.start(QStringLiteral(ZQB_SIM_PROGRAM), QStringList{QStringLiteral("--listen"), host + QStringLiteral(":0")} + options);
    if (!process.waitForStarted(3000) || !process.waitForReadyRead(5000)) return 0;
    while (!process.canReadLine() && process.waitForReadyRead(1000)) {
    }
    const QString line = QString::fromLatin1(process.readLine()).trimmed();
    const auto match = QRegularExpression(QStringLiteral("^zqb-sim listening on ") + QRegularExpression::escape(host) +
                                          QStringLiteral(":(\\d+)$"))
                           .match(line);
    return match.hasMatch() ? static_cast<std::uint16_t>(match.captured(1).toUInt()) : 0;
}

TEST(SimProgram, PrintsItsPortAnswersAndQuitsOnTerm)
{
    QProcess process;
    const std::uint16_t port =
        StartProgram(process, {"--model", "99", "--address", "10.1.2.3", "--location", "Hall", "--firmware", "3.7"});
    ASSERT_NE(port, 0);
    const QByteArray link = Exchange(port, Frame("21 00 00"), 506);
    ASSERT_EQ(link.size(), 506);
    EXPECT_EQ(HexText(link.mid(4, 7)), "21 06 63 0A 01 02 03");
    EXPECT_EQ(HexText(link.mid(24, 2)), "03 07");
    EXPECT_EQ(link.mid(40, 5), QByteArray("Hall\0", 5));
    EXPECT_EQ(link.mid(250 + 128, 5), QByteArray("\x04Hall", 5));  // the settings file agrees

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(3000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST(SimProgram, SilentOptionReadsButNeverAnswers)
{
    QProcess process;
    const std::uint16_t port = StartProgram(process, {"--silent"});
    ASSERT_NE(port, 0);
    EXPECT_TRUE(Exchange(port, Frame("21 00 00"), 1, 200).isEmpty());
    process.terminate();
    EXPECT_TRUE(process.waitForFinished(3000));
}

// Another loopback address, reported as the module's own; restarts keep it away for a while.
TEST(SimProgram, ListensOnAnotherLoopbackAddressAndRestartsSlowly)
{
    QProcess process;
    const QHostAddress second(QStringLiteral("127.0.0.2"));
    const std::uint16_t port = StartProgram(process, {"--restart-ms", "200"}, second.toString());
    ASSERT_NE(port, 0);
    EXPECT_EQ(HexText(ExchangeAt(second, port, Frame("21 00 00"), 506).mid(7, 4)), "7F 00 00 02");
    EXPECT_TRUE(Refused(port));  // nothing on 127.0.0.1

    QTcpSocket reset;
    ASSERT_TRUE(Connect(reset, port, second));
    Send(reset, Frame("2D"));
    EXPECT_TRUE(reset.state() == QAbstractSocket::UnconnectedState || reset.waitForDisconnected(1000));
    EXPECT_TRUE(Refused(port, second));
    EXPECT_TRUE(WaitUntil([&] { return !Refused(port, second); }, 2000));

    process.terminate();
    EXPECT_TRUE(process.waitForFinished(3000));
}

TEST(SimProgram, RefusesToListenAnywhereButLoopback)
{
    for (const char* listen : {"192.168.77.1:13577", "0.0.0.0:0", "10.0.0.5:0", "10.0.0.1:0", "128.0.0.1:0", "::1:0",
                               "nonsense", "127.0.0.2:x"}) {
        SCOPED_TRACE(listen);
        QProcess process;
        process.start(QStringLiteral(ZQB_SIM_PROGRAM), {QStringLiteral("--listen"), QString::fromLatin1(listen)});
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
        EXPECT_FALSE(process.readAllStandardError().isEmpty());
    }
}

}  // namespace
}  // namespace zqbsim::test
