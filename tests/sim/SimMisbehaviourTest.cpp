// Each way of misbehaving does what it says, and only that.
#include <sys/socket.h>

#include <tuple>

#include "sim/SimTestSupport.h"

namespace zqbsim::test {
namespace {

using SimMisbehaviour = SimTest;

TEST_F(SimMisbehaviour, RefusedConnectsUntilSwitchedBackOnTheSamePort)
{
    const std::uint16_t port = sim.Port();
    Misbehaviour refuse;
    refuse.refuseConnections = true;
    sim.SetBehaviour(refuse);
    EXPECT_TRUE(Refused(port));
    EXPECT_EQ(sim.ConnectionCount(), 0);

    sim.SetBehaviour({});
    EXPECT_EQ(sim.Port(), port);
    EXPECT_EQ(Exchange(port, Frame("D8"), 13).size(), 13);

    // Asked for before the start: it comes up refusing, on a port it keeps.
    ModuleSimulator other;
    other.SetBehaviour(refuse);
    ASSERT_TRUE(other.Start());
    EXPECT_NE(other.Port(), 0);
    EXPECT_TRUE(Refused(other.Port()));
    other.SetBehaviour({});
    EXPECT_EQ(Exchange(other.Port(), Frame("D8"), 13).size(), 13);
}

TEST_F(SimMisbehaviour, SilentReadsAndActsButNeverAnswers)
{
    Misbehaviour silent;
    silent.silent = true;
    sim.SetBehaviour(silent);
    QTcpSocket socket;
    ASSERT_TRUE(Connect(socket, sim.Port()));
    Send(socket, Frame("D0 01 01"));
    EXPECT_FALSE(socket.waitForReadyRead(200));
    EXPECT_EQ(socket.state(), QAbstractSocket::ConnectedState);  // held open, not closed
    ASSERT_TRUE(sim.WaitForFrames(1, 1000));
    EXPECT_EQ(sim.State().doBits, 1);
}

TEST_F(SimMisbehaviour, CloseWithoutReplyHangsUpAtOnce)
{
    Misbehaviour hangUp;
    hangUp.closeWithoutReply = true;
    sim.SetBehaviour(hangUp);
    QTcpSocket socket;
    ASSERT_TRUE(Connect(socket, sim.Port()));
    Send(socket, Frame("D8"));
    EXPECT_TRUE(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(1000));
    EXPECT_EQ(socket.bytesAvailable(), 0);
    EXPECT_EQ(sim.Frames().size(), 1u);
}

TEST_F(SimMisbehaviour, SplitReplyArrivesInPiecesWithPauses)
{
    Misbehaviour split;
    split.splitPieces = {3, 4};
    split.pieceDelayMs = 80;
    sim.SetBehaviour(split);
    QTcpSocket socket;
    ASSERT_TRUE(Connect(socket, sim.Port()));
    QElapsedTimer elapsed;
    elapsed.start();
    Send(socket, Frame("D8"));
    std::vector<qsizetype> pieces;
    QByteArray all;
    while (all.size() < 13 && socket.waitForReadyRead(1000)) {
        const QByteArray piece = socket.readAll();
        pieces.push_back(piece.size());
        all += piece;
    }
    EXPECT_EQ(pieces, (std::vector<qsizetype>{3, 4, 6}));
    EXPECT_GE(elapsed.elapsed(), 150);
    EXPECT_EQ(HexText(all.left(6)), "5A 35 77 A5 D8 06");
}

TEST_F(SimMisbehaviour, ReplyLengthPadsPastTheBufferOrCuts)
{
    Misbehaviour longer;
    longer.replyLength = 5000;
    sim.SetBehaviour(longer);
    const QByteArray r = Ask(Frame("D8"), 5000, 30);
    ASSERT_EQ(r.size(), 5000);
    EXPECT_EQ(HexText(r.left(6)), "5A 35 77 A5 D8 06");
    EXPECT_EQ(r.mid(13), QByteArray(5000 - 13, '\0'));

    Misbehaviour shorter;
    shorter.replyLength = 4;
    sim.SetBehaviour(shorter);
    EXPECT_EQ(HexText(Ask(Frame("21 00 00"), 4, 50)), "5A 35 77 A5");
}

TEST_F(SimMisbehaviour, HeaderOverridesChangeOnlyTheirByte)
{
    Misbehaviour b;
    b.badMagic = true;
    sim.SetBehaviour(b);
    EXPECT_EQ(HexText(Ask(Frame("D0 01 01"), 8)), "5A 35 77 A6 D0 06 01 00");

    b = {};
    b.status = 3;
    b.statusFor[0xD8] = 2;  // wins for its own command only
    sim.SetBehaviour(b);
    EXPECT_EQ(HexText(Ask(Frame("D8"), 13)), "5A 35 77 A5 D8 02 01 00 FF D3 00 00 00");
    EXPECT_EQ(HexText(Ask(Frame("D0 01 00"), 8)), "5A 35 77 A5 D0 03 00 00");

    b = {};
    b.echoOverride = 0x21;
    sim.SetBehaviour(b);
    EXPECT_EQ(HexText(Ask(Frame("25 00 00 00 00"), 10)), "5A 35 77 A5 21 06 00 00 00 00");
}

TEST_F(SimMisbehaviour, DroppedDataConnectionLeavesAPartialFile)
{
    Misbehaviour drop;
    drop.dropDataAfterBytes = 1024;
    sim.SetBehaviour(drop);
    QByteArray data(2500, 'z');
    EXPECT_EQ(Ask(Announcement(95, "/local/cut.bin", 2500, Sum(data), 60), 6).size(), 6);
    ASSERT_TRUE(sim.WaitForFrames(1, 2000));

    QTcpSocket socket;
    ASSERT_TRUE(Connect(socket, sim.Port()));
    for (int at = 0; at < data.size(); at += 1024) socket.write(data.mid(at, 1024));
    socket.waitForBytesWritten(1000);
    EXPECT_TRUE(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(1000));

    const StoredFile file = sim.Files().at("/local/cut.bin");
    EXPECT_EQ(file.data.size(), 1024);
    EXPECT_FALSE(file.complete);
    EXPECT_EQ(file.announcedLength, 2500u);
}

// A delay holds back every reply; silence and delay asked for one command leave the others as
// they were.
TEST_F(SimMisbehaviour, SilenceAndDelayPerCommandTouchOnlyThatCommand)
{
    Misbehaviour silent37, late37, late, lateButStatus;
    silent37.silentFor = {37};
    late37.replyDelayFor[37] = 250;
    late.replyDelayMs = 250;
    lateButStatus.replyDelayMs = 250;
    lateButStatus.replyDelayFor[0xD8] = 0;
    const QByteArray checksum = Frame("25 00 00 00 00"), status = Frame("D8");
    struct Case {
        Misbehaviour behaviour;
        QByteArray frame;
        int replyLength;  // 0 = none
        bool late;
    };
    const Case cases[] = {
        {silent37, checksum, 0, false}, {silent37, status, 13, false},     {late37, checksum, 10, true},
        {late37, status, 13, false},    {late, status, 13, true},            {lateButStatus, checksum, 10, true},
        {lateButStatus, status, 13, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(HexText(c.frame) + (c.late ? " late" : ""));
        sim.SetBehaviour(c.behaviour);
        const auto frames = sim.Frames().size();
        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_EQ(Exchange(sim.Port(), c.frame, std::max(c.replyLength, 1), c.replyLength ? 2000 : 300).size(), c.replyLength);
        if (c.replyLength) {
            EXPECT_EQ(elapsed.elapsed() >= 240, c.late) << elapsed.elapsed() << " ms";
        }
        EXPECT_TRUE(sim.WaitForFrames(frames + 1, 1000));  // read and acted on, answered or not
    }
}

// A restart takes the module off the network for the downtime: its reply still goes out, every
// connection closes, connects are refused, then it is back on the same port.
TEST_F(SimMisbehaviour, RestartsRefuseConnectsForTheDowntime)
{
    Misbehaviour slowBoot;
    slowBoot.restartDowntimeMs = 200;
    sim.SetBehaviour(slowBoot);
    int restarts = 0;
    for (const auto& [frame, replyLength] : {std::pair{"2D", 0}, std::pair{"30 02", 6}, std::pair{"5E 01", 6}}) {
        SCOPED_TRACE(frame);
        QTcpSocket bystander, cause;
        ASSERT_TRUE(Connect(bystander, sim.Port()));
        Send(bystander, Frame("21"));
        ASSERT_TRUE(Connect(cause, sim.Port()));
        Send(cause, Frame(frame));
        EXPECT_EQ(ReadReply(cause, replyLength, 1000).left(6), replyLength ? Frame(frame).left(5) + Hex("06") : "");
        EXPECT_TRUE(cause.state() == QAbstractSocket::UnconnectedState || cause.waitForDisconnected(1000));
        QElapsedTimer down;
        down.start();
        EXPECT_TRUE(Refused(sim.Port()));
        EXPECT_TRUE(bystander.state() == QAbstractSocket::UnconnectedState || bystander.waitForDisconnected(1000));
        EXPECT_EQ(sim.State().resetCount, ++restarts);
        EXPECT_TRUE(WaitUntil([&] { return !Refused(sim.Port()); }));
        EXPECT_GE(down.elapsed(), 150);
        EXPECT_EQ(Exchange(sim.Port(), Frame("D8"), 13).size(), 13);
    }
}

// Refused: the data connection fails, the file stays empty, and commands work after the refusal.
TEST_F(SimMisbehaviour, RefusedDataConnectionLeavesTheFileEmpty)
{
    Misbehaviour refuse;
    refuse.refuseDataMs = 200;
    sim.SetBehaviour(refuse);
    EXPECT_EQ(HexText(Ask(Announcement(95, "/local/f.bin", 300, 0, 60), 6)), "5A 35 77 A5 5F 06");
    EXPECT_TRUE(Refused(sim.Port()));
    EXPECT_TRUE(WaitUntil([&] { return !Refused(sim.Port()); }));
    EXPECT_EQ(Ask(Frame("D8"), 13).size(), 13);  // a command again, not the data
    EXPECT_TRUE(sim.Files().at("/local/f.bin").data.isEmpty());
}

// Stalled: reading stops, the peer's writes back up, and the connection ends after its time or
// when the peer is seen to give up.
TEST_F(SimMisbehaviour, StalledReaderHoldsThePeerUntilItClosesOrThePeerGivesUp)
{
    const QByteArray data(8 << 20, 's');  // a loopback sender buffers megabytes itself
    for (const int closeMs : {400, 0}) {  // 0 = only when the peer gives up
        SCOPED_TRACE(closeMs);
        Misbehaviour stall;
        stall.stallDataAfterBytes = 1000;
        stall.stallDataCloseMs = closeMs;
        sim.SetBehaviour(stall);
        sim.ClearConnections();
        ASSERT_EQ(Ask(Announcement(95, "/sys/mcuimg.bin", static_cast<std::uint32_t>(data.size()), Sum(data), 60), 6).size(), 6);
        QTcpSocket peer;
        ASSERT_TRUE(Connect(peer, sim.Port()));
        QElapsedTimer elapsed;
        elapsed.start();
        peer.write(data);
        ASSERT_TRUE(WaitUntil([&] { return peer.waitForBytesWritten(5), sim.Files()["/sys/mcuimg.bin"].data.size() == 1000; }));
        peer.waitForBytesWritten(50);
        EXPECT_GT(peer.bytesToWrite(), 0) << "the peer's writes should back up";
        auto closed = [&] { return sim.Connections().size() == 2 && sim.Connections()[1].closedSeq != 0; };
        EXPECT_FALSE(closed());
        if (closeMs == 0) {
            const linger reset{1, 0};
            ::setsockopt(static_cast<int>(peer.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            peer.abort();
        }
        EXPECT_TRUE(WaitUntil(closed, 1500));
        EXPECT_GE(elapsed.elapsed(), closeMs - 20);
        EXPECT_EQ(sim.Connections()[1].bytesReceived, 1000);
        EXPECT_FALSE(sim.Files().at("/sys/mcuimg.bin").complete);
    }
}

}  // namespace
}  // namespace zqbsim::test
