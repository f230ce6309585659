// Two-step file writes, the image checksum and the configuration file that a restart applies.
#include <tuple>

#include "sim/SimTestSupport.h"

namespace zqbsim::test {
namespace {

using SimFiles = SimTest;

QByteArray Pattern(int n)
{
    QByteArray data(n, '\0');
    for (int i = 0; i < n; ++i) data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return data;
}

QByteArray BigEndian32(std::uint32_t v)
{
    QByteArray b(4, '\0');
    for (int k = 0; k < 4; ++k) b[k] = static_cast<char>(v >> (24 - 8 * k));
    return b;
}

// Sends a 40-byte image announcement (no reply) and the image after it.
void UploadImage(ModuleSimulator& sim, std::uint8_t code, const QByteArray& name, const QByteArray& image)
{
    const auto frames = sim.Frames().size();
    EXPECT_TRUE(Exchange(sim.Port(), Announcement(code, name, static_cast<std::uint32_t>(image.size()), Sum(image), 40), 1, 80)
                    .isEmpty());
    ASSERT_TRUE(sim.WaitForFrames(frames + 1, 2000));
    EXPECT_EQ(sim.Frames().back().size(), 40);
    ASSERT_TRUE(SendData(sim.Port(), image));
}

TEST_F(SimFiles, TwoStepWriteStoresTheFileWithItsSum)
{
    WriteFile("/local/note.txt", "abc");
    // Only the announcement is a frame; the data connection is not.
    const auto frames = sim.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 60);
    EXPECT_EQ(HexText(frames[0].mid(4, 13)), "5F 00 00 00 03 00 00 01 26 00 00 00 0F");
    EXPECT_EQ(sim.ConnectionCount(), 2);
    // Back to commands once the data connection is over.
    EXPECT_EQ(Ask(Frame("D8"), 13).size(), 13);

    WriteFile("/local/big.bin", Pattern(2500));  // across chunks
    for (const auto& [name, data, sum] : {std::tuple{"/local/note.txt", QByteArray("abc"), 0x126u},
                                          std::tuple{"/local/big.bin", Pattern(2500), Sum(Pattern(2500))}}) {
        SCOPED_TRACE(name);
        const StoredFile file = sim.Files().at(name);
        EXPECT_EQ(file.data, data);
        EXPECT_EQ(file.announcedLength, static_cast<std::uint32_t>(data.size()));
        EXPECT_EQ(file.announcedSum, sum);
        EXPECT_EQ(file.byteSum, sum);
        EXPECT_TRUE(file.complete);
    }
}

// A long announcement split by the network is still one 60-byte frame with one reply.
TEST_F(SimFiles, AnnouncementInTwoPiecesIsOneFrame)
{
    const QByteArray frame = Announcement(95, "/local/syscfg.cfg", 256, 0x1234, 60);
    QTcpSocket socket;
    ASSERT_TRUE(Connect(socket, sim.Port()));
    Send(socket, frame.left(40));
    QThread::msleep(5);
    Send(socket, frame.mid(40));
    EXPECT_EQ(HexText(ReadReply(socket, 6, 1000, 30)), "5A 35 77 A5 5F 06");
    ASSERT_TRUE(sim.WaitForFrames(1, 1000));
    EXPECT_EQ(sim.Frames().front(), frame);
    EXPECT_EQ(sim.Files().at("/local/syscfg.cfg").announcedSum, 0x1234u);
}

TEST_F(SimFiles, DataConnectionClosedEarlyKeepsWhatCame)
{
    const QByteArray data = Pattern(100);
    EXPECT_EQ(Ask(Announcement(95, "/local/part.bin", 100, Sum(data), 60), 6).size(), 6);
    ASSERT_TRUE(sim.WaitForFrames(1, 2000));
    ASSERT_TRUE(SendData(sim.Port(), data.left(40)));
    ASSERT_TRUE(WaitUntil([&] { return sim.Files()["/local/part.bin"].data.size() == 40; }));
    const StoredFile file = sim.Files().at("/local/part.bin");
    EXPECT_FALSE(file.complete);
    EXPECT_EQ(file.data, data.left(40));
    EXPECT_EQ(file.byteSum, Sum(data.left(40)));
    EXPECT_FALSE(sim.WaitForFile("/local/part.bin", 50));
}

TEST_F(SimFiles, ImageChecksumAnswersTheStoredImage)
{
    auto askSum = [&] { return Ask(Frame("25 00 00 00 00"), 10); };
    EXPECT_EQ(HexText(askSum()), "5A 35 77 A5 25 06 00 00 00 00");  // nothing stored yet

    // The legacy announcement always means the short image name.
    const QByteArray legacy = Pattern(1500);
    UploadImage(sim, 90, "ignored", legacy);
    ASSERT_TRUE(sim.WaitForFile("mcuimg.bin", 2000));
    EXPECT_EQ(askSum().mid(6), BigEndian32(Sum(legacy)));

    // The image under /sys wins over the legacy one.
    const QByteArray image = Pattern(3000).mid(7);
    UploadImage(sim, 95, "/sys/mcuimg.bin", image);
    ASSERT_TRUE(sim.WaitForFile("/sys/mcuimg.bin", 2000));
    EXPECT_EQ(sim.Files().at("/sys/mcuimg.bin").data, image);
    EXPECT_EQ(askSum().mid(6), BigEndian32(Sum(image)));

    Misbehaviour wrongSum;
    wrongSum.imageSumOverride = 0xDEADBEEF;
    sim.SetBehaviour(wrongSum);
    EXPECT_EQ(HexText(askSum().mid(6)), "DE AD BE EF");
}

// A record laid out by hand from the configuration file's layout table.
QByteArray ConfigRecord()
{
    QByteArray r(256, '\0');
    auto text = [&](int lengthAt, const QByteArray& t) {
        r[lengthAt] = static_cast<char>(t.size());
        r.replace(lengthAt + 1, t.size(), t);
    };
    text(0, "NewAP");
    text(32, "password1");
    text(48, "HomeNet");
    text(80, "stationkey");
    r.replace(96, 13, Hex("01 C0 A8 01 0A FF FF FF 00 C0 A8 01 01"));
    text(128, "Shed");
    r.replace(160, 2, Hex("01 00"));  // station
    r.replace(164, 3, Hex("01 05 DE"));  // Modbus port 1502
    r.replace(168, 2, Hex("01 02"));  // WPA/WPA2
    r.replace(172, 3, Hex("01 00 1E"));  // idle 30 s
    r[250] = 0x77;  // a byte no field uses still travels
    return r;
}

TEST_F(SimFiles, ConfigurationFileTakesEffectOnlyAfterRestart)
{
    const QByteArray record = ConfigRecord();
    WriteFile("/local/syscfg.cfg", record);
    EXPECT_EQ(sim.State().location, "Lab bench 3");  // not before the restart
    EXPECT_EQ(Ask(Frame("21 00 00"), 506).mid(250), record);  // the flash holds it already

    Tell(Frame("2D"));
    const ModuleState s = sim.State();
    EXPECT_EQ(s.resetCount, 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(s.configRecord.data()), 256), record);
    EXPECT_EQ(s.apSsid, "NewAP");
    EXPECT_EQ(s.apSecurity, 1);
    EXPECT_EQ(s.apKey, "password1");
    EXPECT_EQ(s.staSsid, "HomeNet");
    EXPECT_EQ(s.staKey, "stationkey");
    EXPECT_EQ(s.staKeyType, 2);
    EXPECT_EQ(s.staticIpEnabled, 1);
    EXPECT_EQ(s.staticIp, (std::array<std::uint8_t, 4>{192, 168, 1, 10}));
    EXPECT_EQ(s.staticMask, (std::array<std::uint8_t, 4>{255, 255, 255, 0}));
    EXPECT_EQ(s.staticGateway, (std::array<std::uint8_t, 4>{192, 168, 1, 1}));
    EXPECT_EQ(s.location, "Shed");
    EXPECT_EQ(s.wifiModeAp, 0);
    EXPECT_EQ(s.modbusPort, 1502);
    EXPECT_EQ(s.modbusIdleTimeout, 30);

    const QByteArray link = Ask(Frame("21 00 00"), 506);
    EXPECT_EQ(link.mid(250), record);
    EXPECT_EQ(link.mid(40, 5), QByteArray("Shed\0", 5));
    EXPECT_EQ(HexText(link.mid(176, 5)), "00 00 00 05 DE");

    // The file is applied once: a later restart leaves later changes alone.
    sim.Update([](ModuleState& st) { st.location = "Moved"; });
    Tell(Frame("2D"));
    EXPECT_EQ(sim.State().location, "Moved");
    EXPECT_EQ(sim.State().resetCount, 2);
}

TEST_F(SimFiles, WifiModeCommandRestartsAndOutlivesTheFile)
{
    WriteFile("/local/syscfg.cfg", ConfigRecord());  // says station
    EXPECT_EQ(HexText(Ask(Frame("30 02"), 6)), "5A 35 77 A5 30 06");
    const ModuleState s = sim.State();
    EXPECT_EQ(s.location, "Shed");  // the restart applied the file
    EXPECT_EQ(s.wifiModeAp, 1);     // the command asked for the access point
    EXPECT_EQ(s.wifiModeRequested, 2);
    EXPECT_EQ(s.configRecord[160], 1);
    EXPECT_EQ(s.configRecord[161], 2);
}

TEST_F(SimFiles, ClearFlashDropsThePendingFileAndRestoresDefaults)
{
    WriteFile("/local/syscfg.cfg", ConfigRecord());
    EXPECT_EQ(HexText(Ask(Frame("5E 01"), 6)), "5A 35 77 A5 5E 06");
    const ModuleState s = sim.State();
    EXPECT_EQ(s.flashClearCount, 1);
    EXPECT_EQ(s.resetCount, 1);
    EXPECT_EQ(s.apSsid, "zQB-AP-123456");
    EXPECT_EQ(s.apSecurity, 0);
    EXPECT_EQ(s.location, "");
    EXPECT_EQ(s.wifiModeAp, 1);
    EXPECT_EQ(s.modbusPort, 502);
    EXPECT_EQ(s.staticIpEnabled, 0);
    const QByteArray cfg = Ask(Frame("21 00 00"), 506).mid(250);
    EXPECT_EQ(HexText(cfg.left(14)), "0D 7A 51 42 2D 41 50 2D 31 32 33 34 35 36");
    EXPECT_EQ(HexText(cfg.mid(160, 7)), "01 02 00 00 01 01 F6");

    Tell(Frame("2D"));  // the cleared file stays cleared
    EXPECT_EQ(sim.State().location, "");
}

}  // namespace
}  // namespace zqbsim::test
