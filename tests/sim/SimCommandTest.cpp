// The module's answers to each command, checked byte for byte against the reply layouts.
#include <thread>

#include "sim/SimTestSupport.h"

namespace zqbsim::test {
namespace {

using SimCommands = SimTest;

TEST_F(SimCommands, LinkRecordPutsEveryFieldAtItsOffset)
{
    sim.Update([](ModuleState& s) {
        s.modelCode = 184;
        s.reportedAddress = {10, 20, 30, 40};
        s.mac = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
        s.firmwareMajor = 2;
        s.firmwareMinor = 0x31;
        s.modbusIdleTimeout = 0x1234;
        s.location = QByteArray(40, 'L');  // longer than its field: cut, no terminator
        s.apSsid = "ap-net";
        s.apSecurity = 1;
        s.apKey = "apkey12345";
        s.staSsid = "station";
        s.staKeyType = 1;
        s.staKey = "stakey";
        s.wifiModeAp = 0;
        s.doBits = 1;
        s.diBits = 2;
        s.modbusPort = 0x01F6;
        s.staticIpEnabled = 1;
        s.staticIp = {192, 168, 1, 10};
        s.staticMask = {255, 255, 0, 0};
        s.staticGateway = {192, 168, 1, 1};
        s.rssiWord = 0xFFD3;
        s.dacCode = 0x0ABC;
        s.rangeFourToTwenty = 1;
        for (int i = 0; i < 32; ++i) s.functionRecord[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x80 + i);
        for (int i = 0; i < 256; ++i) s.configRecord[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i ^ 0x5A);
    });

    const QByteArray r = Ask(Frame("21 00 00"), 506, 30);
    ASSERT_EQ(r.size(), 506);

    QByteArray expected(506, '\0');
    auto put = [&](int at, const QByteArray& bytes) { expected.replace(at, bytes.size(), bytes); };
    put(0, Hex("5A 35 77 A5 21 06 B8 0A 14 1E 28 A1 A2 A3 A4 A5 A6"));
    put(24, Hex("02 31"));
    put(36, Hex("12 34"));
    put(40, QByteArray(31, 'L'));
    put(80, "ap-net");
    put(112, Hex("01") + "apkey12345");
    put(128, "station");
    put(160, Hex("01") + "stakey");
    put(176, Hex("00 01 02 01 F6 01 C0 A8 01 0A FF FF 00 00 C0 A8 01 01 FF D3 0A BC 00 01"));
    for (int i = 0; i < 32; ++i) expected[200 + i] = static_cast<char>(0x80 + i);
    for (int i = 0; i < 256; ++i) expected[250 + i] = static_cast<char>(i ^ 0x5A);

    for (int i = 0; i < 506; ++i)
        EXPECT_EQ(Byte(r, i), Byte(expected, i)) << "link record byte " << i;
}

// Every command gets a reply of the length its layout gives, echo and status 6, or none at all.
TEST_F(SimCommands, ReplyLengthsFollowTheCommandTable)
{
    struct Case {
        const char* frame;  // after the magic
        int replyLength;    // 0 = no reply
    };
    const Case cases[] = {
        {"1D 00 00", 6},                               // SetLocator
        {"25 00 00 00 00", 10},                        // GetImageChecksum
        {"30 02", 6},                                  // SetWifiMode
        {"32 03 6B 65 79", 6},                         // SetWebKey "key"
        {"5E 01", 6},                                  // ClearFlashConfig
        {"60 00 00", 14},                              // GetDiCounters
        {"61 00", 6},                                  // ClearDiCounter
        {"D0 01 01", 8},                               // SetDo
        {"D4 01 0F FF", 6},                            // SetAnalog
        {"D5 00 0F FF", 6},                            // SetCalibration
        {"D6 01", 6},                                  // SetOutputRange
        {"D8", 13},                                    // GetIoStatus
        {"DC", 6},                                     // ConfigWritten
        {"DF", 39},                                    // GetFunctionConfig
        {"77", 6},                                     // unknown code
        {"26 00 00 00 00", 0},                         // SendImageChecksum
        {"2D", 0},                                     // ResetModule
    };
    for (const Case& c : cases) {
        const QByteArray frame = Frame(c.frame);
        SCOPED_TRACE(HexText(frame));
        const QByteArray r = c.replyLength ? Ask(frame, c.replyLength, 20) : Exchange(sim.Port(), frame, 1, 80);
        ASSERT_EQ(r.size(), c.replyLength);
        if (c.replyLength) {
            EXPECT_EQ(HexText(r.left(6)), HexText(Frame("") + frame.mid(4, 1) + Hex("06")));
        }
    }
    const QByteArray setFunction = Frame("D7 01") + QByteArray(32, '\x11');
    EXPECT_EQ(Ask(setFunction, 6, 30).size(), 6);
}

TEST_F(SimCommands, SetDoChangesOnlySelectedOutputAndIoStatusShowsIt)
{
    sim.Update([](ModuleState& s) {
        s.diBits = 0x02;
        s.doBits = 0x04;
        s.rssiWord = 0xFFC4;
        s.dacCode = 4095;
        s.rangeFourToTwenty = 1;
    });
    EXPECT_EQ(HexText(Ask(Frame("D0 01 01"), 8)), "5A 35 77 A5 D0 06 05 02");
    EXPECT_EQ(HexText(Ask(Frame("D8"), 13)), "5A 35 77 A5 D8 06 05 02 FF C4 0F FF 01");
    EXPECT_EQ(HexText(Ask(Frame("D0 00 00"), 8)), "5A 35 77 A5 D0 06 05 02");  // nothing selected
    EXPECT_EQ(HexText(Ask(Frame("D0 01 00"), 8)), "5A 35 77 A5 D0 06 04 02");
    EXPECT_EQ(sim.State().doBits, 0x04);
}

TEST_F(SimCommands, AnalogRangeAndCalibrationAreKept)
{
    Ask(Frame("D4 00 0A BC"), 6);
    Ask(Frame("D6 01"), 6);
    Ask(Frame("D5 01 01 23"), 6);
    const ModuleState s = sim.State();
    EXPECT_EQ(s.analogMode, 0);
    EXPECT_EQ(s.dacCode, 0x0ABC);
    EXPECT_EQ(s.rangeFourToTwenty, 1);
    EXPECT_EQ(s.calibrationPoint, 1);
    EXPECT_EQ(s.calibrationCode, 0x0123);
    EXPECT_EQ(HexText(Ask(Frame("D8"), 13).mid(10)), "0A BC 01");
    // The 4 mA point goes into the configuration file the link record carries.
    EXPECT_EQ(HexText(Ask(Frame("21 00 00"), 506).mid(250 + 200, 3)), "01 01 23");
}

TEST_F(SimCommands, CountersAreReadAndClearedOneByOne)
{
    sim.Update([](ModuleState& s) { s.diCounters = {0x01020304, 70000, 5, 0, 0, 0, 0, 9}; });
    EXPECT_EQ(HexText(Ask(Frame("60 00 00"), 14)), "5A 35 77 A5 60 06 01 02 03 04 00 01 11 70");
    Ask(Frame("61 01"), 6);
    Ask(Frame("61 08"), 6);  // no such counter: nothing changes
    Ask(Frame("61 07"), 6);
    const auto counters = sim.State().diCounters;
    EXPECT_EQ(counters[0], 0x01020304u);
    EXPECT_EQ(counters[1], 0u);
    EXPECT_EQ(counters[2], 5u);
    EXPECT_EQ(counters[7], 0u);
}

TEST_F(SimCommands, FunctionRecordSetThenReadBack)
{
    sim.Update([](ModuleState& s) {
        s.hasFunctionRecord = false;
        s.functionRecord.fill(0xEE);
    });
    EXPECT_EQ(Ask(Frame("DF"), 39), Frame("DF 06") + QByteArray(33, '\0'));

    QByteArray record;
    for (int i = 0; i < 32; ++i) record.append(static_cast<char>(i + 1));
    EXPECT_EQ(HexText(Ask(Frame("D7 01") + record, 6)), "5A 35 77 A5 D7 06");
    EXPECT_TRUE(sim.State().hasFunctionRecord);
    EXPECT_EQ(Ask(Frame("DF"), 39), Frame("DF 06 01") + record);
    EXPECT_EQ(Ask(Frame("21 00 00"), 506).mid(200, 32), record);
}

TEST_F(SimCommands, WebKeyLocatorAndWifiModeTakeEffect)
{
    Ask(Frame("32 08") + "abcd1234", 6);
    EXPECT_EQ(sim.State().webKey, "abcd1234");
    Ask(Frame("32 00"), 6);
    EXPECT_EQ(sim.State().webKey, "");

    Ask(Frame("1D 00 00"), 6);
    Ask(Frame("1D 00 00"), 6);
    EXPECT_EQ(sim.State().locatorCount, 2);

    Ask(Frame("DC"), 6);
    EXPECT_EQ(sim.State().configWrittenCount, 1);

    // Station mode, with its restart (the way back to the access point is in
    // SimFiles.WifiModeCommandRestartsAndOutlivesTheFile).
    Ask(Frame("30 00"), 6);
    const ModuleState s = sim.State();
    EXPECT_EQ(s.wifiModeRequested, 0);
    EXPECT_EQ(s.wifiModeAp, 0);
    EXPECT_EQ(s.resetCount, 1);
    EXPECT_EQ(Byte(Ask(Frame("21 00 00"), 506), 176), 0);
}

TEST_F(SimCommands, FramesAreRecordedExactlyAsTheyArrived)
{
    // Over-long: answered, and the extra bytes are kept in the record.
    EXPECT_EQ(Ask(Frame("21 00 00 AA BB"), 506).size(), 506);
    // Wrong magic: recorded, never answered.
    EXPECT_TRUE(Exchange(sim.Port(), Hex("5A 35 77 A6 21 00 00"), 1, 100).isEmpty());
    // Short: recorded once the peer gives up, never acted on.
    {
        QTcpSocket socket;
        ASSERT_TRUE(Connect(socket, sim.Port()));
        Send(socket, Frame("D0 01"));
        EXPECT_FALSE(socket.waitForReadyRead(100));
    }
    // Bytes sent after the reply still belong to the frame.
    {
        QTcpSocket socket;
        ASSERT_TRUE(Connect(socket, sim.Port()));
        Send(socket, Frame("D8"));
        EXPECT_EQ(ReadReply(socket, 13).size(), 13);
        Send(socket, Hex("EE"));
    }
    ASSERT_TRUE(WaitUntil([&] { return sim.Frames().size() == 4 && sim.Frames()[3].size() == 6; }));
    const auto frames = sim.Frames();
    EXPECT_EQ(HexText(frames[0]), "5A 35 77 A5 21 00 00 AA BB");
    EXPECT_EQ(HexText(frames[1]), "5A 35 77 A6 21 00 00");
    EXPECT_EQ(HexText(frames[2]), "5A 35 77 A5 D0 01");
    EXPECT_EQ(HexText(frames[3]), "5A 35 77 A5 D8 EE");
    EXPECT_EQ(sim.State().doBits, 0);
    EXPECT_EQ(sim.ConnectionCount(), 4);

    sim.ClearFrames();
    EXPECT_TRUE(sim.Frames().empty());
    EXPECT_FALSE(sim.WaitForFrames(1, 50));
    Ask(Frame("D8"), 13);
    ASSERT_TRUE(sim.WaitForFrames(1, 2000));
    EXPECT_EQ(HexText(sim.Frames().front()), "5A 35 77 A5 D8");
}

// A connection that never finishes its frame must not hold up anybody else.
TEST_F(SimCommands, AStalledConnectionDoesNotBlockOthers)
{
    QTcpSocket stalled;
    ASSERT_TRUE(Connect(stalled, sim.Port()));
    Send(stalled, Frame("21"));
    EXPECT_EQ(Ask(Frame("D8"), 13).size(), 13);

    // Several clients at once, from other threads.
    std::vector<std::thread> clients;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t)
        clients.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                if (Exchange(sim.Port(), Frame("D8"), 13).size() == 13) ++good;
        });
    for (auto& c : clients) c.join();
    EXPECT_EQ(good, 100);
}

TEST(SimLifecycle, StartStopAndRestartOnTheSamePort)
{
    ModuleSimulator sim;
    EXPECT_EQ(Exchange(sim.Port(), Frame("D8"), 13, 200).size(), 0);  // not started yet
    ASSERT_TRUE(sim.Start());
    const std::uint16_t port = sim.Port();
    EXPECT_NE(port, 0);
    EXPECT_FALSE(sim.Start());  // already running

    ModuleSimulator other;
    EXPECT_FALSE(other.Start(port));  // port taken

    EXPECT_EQ(Exchange(port, Frame("D8"), 13).size(), 13);
    // A connection left open across Stop must not keep the thread or leak.
    QTcpSocket open;
    ASSERT_TRUE(Connect(open, port));
    Send(open, Frame("21"));
    sim.Stop();
    QTcpSocket refused;
    refused.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(refused.waitForConnected(500));

    ASSERT_TRUE(sim.Start(port));
    EXPECT_EQ(Exchange(port, Frame("D8"), 13).size(), 13);
    EXPECT_EQ(sim.Frames().size(), 2u);  // what was recorded before the stop is kept
}

}  // namespace
}  // namespace zqbsim::test
