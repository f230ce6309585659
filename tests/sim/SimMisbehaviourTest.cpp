// Each way of misbehaving does what it says, and only that.
#include "SimTestSupport.h"

namespace zqbsim::test {
namespace {

using SimMisbehaviour = SimTest;

bool Refused(std::uint16_t port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return !socket.waitForConnected(500) && socket.error() == QAbstractSocket::ConnectionRefusedError;
}

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

TEST_F(SimMisbehaviour, DelayedReplyComesLate)
{
    Misbehaviour slow;
    slow.replyDelayMs = 250;
    sim.SetBehaviour(slow);
    QTcpSocket socket;
    ASSERT_TRUE(Connect(socket, sim.Port()));
    Send(socket, Frame("D8"));
    EXPECT_FALSE(socket.waitForReadyRead(150));
    EXPECT_EQ(ReadReply(socket, 13).size(), 13);
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

}  // namespace
}  // namespace zqbsim::test
