// The connection log, in the order things happened, and listening on other loopback addresses.
#include "sim/SimTestSupport.h"

namespace zqbsim::test {
namespace {

using SimConnections = SimTest;

std::string Describe(const ConnectionRecord& r)
{
    QByteArray out = r.kind == ConnectionRecord::Kind::Data ? "data " + r.fileName : "command";
    if (r.code) out += " " + QByteArray::number(*r.code);
    return (out + " " + QByteArray::number(r.bytesReceived)).toStdString();
}

// One client after another: each connection is logged closed before the next one opens, which is
// what a test of "nothing between an announcement and its data" relies on.
TEST_F(SimConnections, LogKeepsEveryConnectionInOrderWithWhatItCarried)
{
    Ask(Frame("D8"), 13);
    WriteFile("/local/a.txt", "hello");
    {
        QTcpSocket partial;  // gives up after two bytes: no code to log
        ASSERT_TRUE(Connect(partial, sim.Port()));
        Send(partial, Hex("5A 35"));
    }
    const QByteArray image(3000, 'i');
    ASSERT_TRUE(Exchange(sim.Port(), Announcement(90, "x", 3000, Sum(image), 40), 1, 80).isEmpty());
    ASSERT_TRUE(SendData(sim.Port(), image + "extra"));

    std::vector<ConnectionRecord> log;
    ASSERT_TRUE(WaitUntil([&] {
        log = sim.Connections();
        return log.size() == 6 && log.back().closedSeq != 0;
    }));
    std::vector<std::string> seen;
    for (const ConnectionRecord& r : log) seen.push_back(Describe(r));
    EXPECT_EQ(seen, (std::vector<std::string>{"command 216 5", "command 95 60", "data /local/a.txt 5", "command 2",
                                              "command 90 40", "data mcuimg.bin 3005"}));
    for (std::size_t i = 0; i + 1 < log.size(); ++i) {
        EXPECT_LT(log[i].openedSeq, log[i].closedSeq) << i;
        EXPECT_LT(log[i].closedSeq, log[i + 1].openedSeq) << i;
    }
}

TEST_F(SimConnections, OverlappingConnectionsAreNumberedAsTheyHappened)
{
    QTcpSocket outer;
    ASSERT_TRUE(Connect(outer, sim.Port()));
    Send(outer, Frame("21"));
    Ask(Frame("D8"), 13);
    ASSERT_TRUE(WaitUntil([&] { return sim.Connections().size() == 2 && sim.Connections()[1].closedSeq != 0; }));
    EXPECT_EQ(sim.Connections()[0].closedSeq, 0u);  // still open
    EXPECT_EQ(sim.Connections()[0].code, 0x21);
    outer.abort();
    ASSERT_TRUE(WaitUntil([&] { return sim.Connections()[0].closedSeq != 0; }));
    const auto log = sim.Connections();
    EXPECT_LT(log[0].openedSeq, log[1].openedSeq);
    EXPECT_LT(log[1].closedSeq, log[0].closedSeq);

    // Numbering goes on across a clear, so old and new numbers never meet.
    sim.ClearConnections();
    EXPECT_TRUE(sim.Connections().empty());
    Ask(Frame("D8"), 13);
    ASSERT_TRUE(WaitUntil([&] { return sim.Connections().size() == 1; }));
    EXPECT_GT(sim.Connections()[0].openedSeq, log[0].closedSeq);
}

TEST(SimLoopback, ListensOnAnyLoopbackAddressAndNowhereElse)
{
    const QHostAddress second(QStringLiteral("127.0.0.2"));
    ModuleSimulator sim;
    ASSERT_TRUE(sim.Start(0, second));
    EXPECT_EQ(sim.Address(), second);
    EXPECT_EQ(ExchangeAt(second, sim.Port(), Frame("D8"), 13).size(), 13);
    EXPECT_TRUE(Refused(sim.Port()));  // not on 127.0.0.1

    for (const char* address : {"10.0.0.1", "0.0.0.0", "::1", "::ffff:127.0.0.1"}) {
        SCOPED_TRACE(address);
        ModuleSimulator other;
        EXPECT_FALSE(other.Start(0, QHostAddress(QString::fromLatin1(address))));
    }
}

}  // namespace
}  // namespace zqbsim::test
