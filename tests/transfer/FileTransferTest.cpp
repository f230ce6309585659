// Writing a file into the module: the announcement, the data connection, the gauge, and every
// way it can fail short of the module holding the file.
#include <QThread>
#include <QTimer>

#include "protocol/AnsiText.h"
#include "protocol/CommandCodes.h"
#include "transfer/TransferRig.h"

namespace zqb::test {
namespace {

class FileTransfers : public TransferRig {};

TEST_F(FileTransfers, SettingsFileArrivesByteForByteAfterAnExactAnnouncement)
{
    StartModule();
    const QByteArray record = Pattern(256, 7);
    Fill(record);
    const Outcome result = transfer.SendFileToModule("/local/syscfg.cfg", 256);
    ASSERT_TRUE(result.Ok()) << DescribeOutcome(result).toStdString();
    EXPECT_EQ(Stored("/local/syscfg.cfg"), record);

    std::uint32_t sum = 0;
    for (const char c : record) sum += static_cast<std::uint8_t>(c);
    const QByteArray announcement = module.Frames().at(0);
    ASSERT_EQ(announcement.size(), 60);
    QByteArray head = Hex("5A 35 77 A5 5F 00 00 01 00 00 00 00 00 00 00 00 11");
    head[11] = static_cast<char>(sum >> 8);
    head[12] = static_cast<char>(sum & 0xFF);
    EXPECT_EQ(HexText(announcement.left(17)), HexText(head));
    EXPECT_EQ(announcement.mid(17, 17), QByteArray("/local/syscfg.cfg"));
    EXPECT_EQ(announcement.mid(34), QByteArray(26, '\0'));
    EXPECT_EQ(display.panelHistory.front(), QStringLiteral("Send FileName: /local/syscfg.cfg"));
    EXPECT_EQ(display.Message(), QStringLiteral("Transfer Length => 256"));
    EXPECT_EQ(pauses.pauses, std::vector<int>{1500});
    EXPECT_FALSE(context.ExchangeBusy);
}

// Gauge maximum: the start of the last chunk, or the whole length for one chunk or less.
TEST_F(FileTransfers, GaugeFollowsTheChunks)
{
    StartModule();
    const struct {
        std::uint32_t length;
        std::uint32_t maximum;
        std::vector<std::uint32_t> positions;
    } cases[] = {
        {256, 256, {256}},
        {2500, 1476, {1024, 2048, 2500}},
        {1024, 1024, {1024}},
        {1, 1, {1}},
    };
    for (const auto& c : cases) {
        Fill(Pattern(static_cast<int>(c.length)));
        ASSERT_TRUE(transfer.SendFileToModule("/local/g.bin", c.length).Ok()) << c.length;
        EXPECT_EQ(progress.maximums.back(), c.maximum) << c.length;
        EXPECT_EQ(progress.positions, c.positions) << c.length;
        EXPECT_EQ(Stored("/local/g.bin"), Pattern(static_cast<int>(c.length))) << c.length;
    }
    EXPECT_TRUE(progress.busyWhileSending) << "no other exchange may start while the data goes out";
    EXPECT_EQ(progress.repaints, 4) << "a repaint at offset 0 of every transfer";
}

// Raw bytes after an announcement that did not land would be read by the module as a command.
TEST_F(FileTransfers, NoDataGoesOutUnlessTheAnnouncementLanded)
{
    StartModule();
    Fill(Pattern(256));
    const auto behave = [&](auto change) {
        zqbsim::Misbehaviour b;
        change(b);
        module.SetBehaviour(b);
    };
    struct Case {
        const char* what;
        QByteArray name;
        std::function<void()> arrange;
        OutcomeKind kind;
    };
    const QByteArray name = "/local/x.bin";
    const Case cases[] = {
        {"refused connection", name, [&] { behave([](auto& b) { b.refuseConnections = true; }); }, OutcomeKind::Unreachable},
        {"status 3", name, [&] { behave([](auto& b) { b.status = 3; }); }, OutcomeKind::Refused},
        {"bad magic", name, [&] { behave([](auto& b) { b.badMagic = true; }); }, OutcomeKind::InvalidReply},
        {"another exchange running", name, [&] { context.ExchangeBusy = true; }, OutcomeKind::Busy},
        {"empty name", QByteArray(), [] {}, OutcomeKind::InputError},
        {"44-byte name", QByteArray(44, 'n'), [] {}, OutcomeKind::InputError},
    };
    for (const Case& c : cases) {
        // A fresh module each time: one that took an announcement waits for its data.
        module.Stop();
        module.SetBehaviour({});
        ASSERT_TRUE(module.Start(context.session.hostPort));
        const int connectionsBefore = module.ConnectionCount();
        c.arrange();
        const Outcome result = transfer.SendFileToModule(c.name, 256);
        context.ExchangeBusy = false;
        EXPECT_EQ(result.kind, c.kind) << c.what << ": " << DescribeOutcome(result).toStdString();
        EXPECT_LE(module.ConnectionCount() - connectionsBefore, 1) << c.what << ": no data connection";
        const auto files = module.Files();
        EXPECT_TRUE(files.count(name) == 0 || files.at(name).data.isEmpty()) << c.what;
        EXPECT_EQ(context.session.replyOverdue, 0) << c.what;
    }
}

// The 60-byte announcement may go unanswered: the transfer goes on, and leaves no overdue reply
// behind for the transfer timer to re-issue every 4 s.
TEST_F(FileTransfers, SilentAnnouncementIsToleratedAndLeavesNothingOverdue)
{
    StartModule();
    zqbsim::Misbehaviour silent;
    silent.silent = true;
    module.SetBehaviour(silent);
    transport.SetTiming({3000, 20, 5});
    Fill(Pattern(256));
    const Outcome result = transfer.SendFileToModule("/local/s.bin", 256);
    EXPECT_TRUE(result.Ok()) << DescribeOutcome(result).toStdString();
    EXPECT_EQ(Stored("/local/s.bin"), Pattern(256));
    EXPECT_EQ(context.session.replyOverdue, 0);
    for (int i = 0; i < 200; ++i) replies.OverdueTick();
    EXPECT_FALSE(display.Message().startsWith(QStringLiteral("Retry transfer")));
}

// Announced but not taken whole is a failure, never a success, and taken whole is a success
// however the module ends the connection; the next transfer works.
TEST_F(FileTransfers, DataPhaseFaultsAreFailures)
{
    StartModule();
    struct Case {
        const char* what;
        std::uint32_t length;
        std::function<void(zqbsim::Misbehaviour&)> misbehave;
        OutcomeKind kind;
        const char* told;  // the message panel afterwards
    };
    const Case cases[] = {
        {"data connection refused", 256, [](auto& b) { b.refuseDataMs = 300; }, OutcomeKind::Unreachable, "Connect Timeout"},
        // A reset is a failure only while data is still unacknowledged: a module that took every
        // byte may end the connection either way.
        {"every byte taken, then a reset", 256, [](auto& b) { b.resetDataAfterAll = true; }, OutcomeKind::Delivered,
         "Transfer Length => 256"},
        {"every byte of 300000 taken, then a reset", 300000, [](auto& b) { b.resetDataAfterAll = true; },
         OutcomeKind::Delivered, "Transfer Length => 300000"},
        {"dropped after 100 of 300000 bytes", 300000, [](auto& b) { b.dropDataAfterBytes = 100; },
         OutcomeKind::CutShort, "Transfer cut short"},
        {"reader stalls after 4096 bytes", 2097152, [](auto& b) { b.stallDataAfterBytes = 4096; },
         OutcomeKind::CutShort, "Transfer cut short"},
    };
    for (const Case& c : cases) {
        zqbsim::Misbehaviour b;
        c.misbehave(b);
        module.SetBehaviour(b);
        Fill(Pattern(static_cast<int>(c.length)));
        const Outcome result = transfer.SendFileToModule("/local/cut.bin", c.length);
        EXPECT_EQ(result.kind, c.kind) << c.what << ": " << DescribeOutcome(result).toStdString();
        EXPECT_EQ(display.Message(), QString::fromLatin1(c.told)) << c.what << ": the user is told";
        if (c.kind == OutcomeKind::Delivered) {
            EXPECT_EQ(Stored("/local/cut.bin"), Pattern(static_cast<int>(c.length))) << c.what;
        }
        EXPECT_FALSE(context.ExchangeBusy);
        module.SetBehaviour({});
        QThread::msleep(350);  // a refused data connection is listened for again
        Fill(Pattern(256));
        EXPECT_TRUE(transfer.SendFileToModule("/local/next.bin", 256).Ok()) << "after " << c.what;
    }
}

// While the data goes out, a tick or click that sends a command waits: the module would take
// its connection for the data.
TEST_F(FileTransfers, NoCommandConnectionComesBetweenTheAnnouncementAndTheEndOfItsData)
{
    StartModule();
    zqbsim::Misbehaviour slowReader;
    slowReader.stallDataAfterBytes = 1024 * 1024;
    slowReader.stallDataCloseMs = 0;
    context.session.queuedCommand = SetDo;
    QTimer ticks;
    int ticked = 0;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        ++ticked;
        supervisor.LinkTimerTick();
    });
    ticks.start(5);
    Fill(Pattern(3 * 1024 * 1024));
    const Outcome result = transfer.SendFileToModule("/local/big.bin", 3 * 1024 * 1024);
    ticks.stop();
    ASSERT_TRUE(result.Ok()) << DescribeOutcome(result).toStdString();
    supervisor.LinkTimerTick();  // the queued command goes out now
    ASSERT_TRUE(module.WaitForFrames(2, 2000));

    const auto log = module.Connections();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].code, std::optional<std::uint8_t>(BeginFileWrite));
    EXPECT_EQ(log[1].kind, zqbsim::ConnectionRecord::Kind::Data);
    for (std::size_t i = 2; i < log.size(); ++i)
        EXPECT_GT(log[i].openedSeq, log[1].closedSeq) << "connection " << i << " opened during the data";
    EXPECT_EQ(log.back().code, std::optional<std::uint8_t>(SetDo));
    EXPECT_GT(ticked, 0) << "the timer did tick during the transfer";
}

TEST(ModuleText, OnlyWhatTheModuleCanStoreIsTaken)
{
    const struct {
        QString typed;
        bool taken;
    } cases[] = {
        {QStringLiteral("LabNet-2.4G"), true},
        {QStringLiteral("Caf\u00E9 \u00FCber"), true},   // Latin-1 letters: one byte each
        {QStringLiteral("Price \u20AC5"), false},        // no Latin-1 byte
        {QStringLiteral("\u6E2C\u8A66"), false},
        {QStringLiteral("tab\there"), false},            // control characters
        {QString(QChar(0)) + QStringLiteral("x"), false},
    };
    for (const auto& c : cases) {
        const std::optional<QByteArray> bytes = ToModuleText(c.typed);
        EXPECT_EQ(bytes.has_value(), c.taken) << c.typed.toStdString();
        if (bytes) {
            EXPECT_EQ(FromAnsi(*bytes), c.typed);
        }
    }
}

}  // namespace
}  // namespace zqb::test
