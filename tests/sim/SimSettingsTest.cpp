// The settings file the module stores against the settings it reports: written back with one
// change, only that setting moves; the file shows in the link record as soon as it is stored.
#include "SimTestSupport.h"

namespace zqbsim::test {
namespace {

using SimSettings = SimTest;

QByteArray LinkOf(ModuleSimulator& sim) { return Exchange(sim.Port(), Frame("21 00 00"), 506); }

// Offsets of the link record where `a` and `b` differ.
std::vector<int> Differences(const QByteArray& a, const QByteArray& b)
{
    std::vector<int> out;
    for (int i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) out.push_back(i);
    return out;
}

// The module's own record, read back and written with one change, moves only that setting (in
// the link fields after the restart, and in the file) and nothing else.
TEST(SimSettingsWriteBack, OneChangedSettingIsAllThatMoves)
{
    struct Case {
        const char* name;
        int fileAt;            // where the change goes in the file
        const char* bytes;     // what is written there
        int linkFrom, linkTo;  // the link field that must change with it
    };
    const Case cases[] = {
        {"location", 128, "04 53 68 65 64", 40, 70},
        {"Modbus port", 164, "01 05 DE", 179, 180},
        {"station key type", 168, "01 01", 160, 160},
        {"static address", 96, "01", 181, 181},
        {"station SSID", 48, "03 4E 65 74", 128, 158},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModuleSimulator sim;
        ASSERT_TRUE(sim.Start());
        const QByteArray before = LinkOf(sim);
        ASSERT_EQ(before.size(), 506);
        QByteArray file = before.mid(250);
        const QByteArray change = Hex(c.bytes);
        file.replace(c.fileAt, change.size(), change);

        ASSERT_TRUE(Exchange(sim.Port(), Announcement(95, "/local/syscfg.cfg", 256, Sum(file), 60), 6).size() == 6);
        ASSERT_TRUE(sim.WaitForFrames(1, 2000));
        ASSERT_TRUE(SendData(sim.Port(), file));
        ASSERT_TRUE(sim.WaitForFile("/local/syscfg.cfg", 2000));
        {
            QTcpSocket reset;
            ASSERT_TRUE(Connect(reset, sim.Port()));
            Send(reset, Frame("2D"));
        }
        ASSERT_TRUE(WaitUntil([&] { return sim.State().resetCount == 1; }));

        const QByteArray after = LinkOf(sim);
        ASSERT_EQ(after.size(), 506);
        EXPECT_EQ(after.mid(250), file);
        for (const int at : Differences(before, after)) {
            const bool inField = at >= c.linkFrom && at <= c.linkTo;
            const bool inFile = at >= 250 + c.fileAt && at < 250 + c.fileAt + change.size();
            EXPECT_TRUE(inField || inFile) << "link byte " << at << " moved";
        }
        EXPECT_NE(after.mid(c.linkFrom, c.linkTo - c.linkFrom + 1), before.mid(c.linkFrom, c.linkTo - c.linkFrom + 1));
    }
}

// The link record carries the stored file at once, whatever its length; the settings wait.
TEST(SimSettingsFile, LinkRecordShowsTheStoredFileBeforeTheRestart)
{
    QByteArray pattern(300, '\0');
    for (int i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(0xA0 ^ i);
    struct Case {
        int length;
        QByteArray expected;
    };
    const Case cases[] = {
        {256, pattern.left(256)},
        {10, pattern.left(10) + QByteArray(246, '\0')},  // past its end the file reads as zero
        {300, pattern.left(256)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        ModuleSimulator sim;
        ASSERT_TRUE(sim.Start());
        const QByteArray data = pattern.left(c.length);
        ASSERT_EQ(Exchange(sim.Port(), Announcement(95, "/local/syscfg.cfg", static_cast<std::uint32_t>(c.length), Sum(data), 60), 6).size(), 6);
        ASSERT_TRUE(sim.WaitForFrames(1, 2000));
        ASSERT_TRUE(SendData(sim.Port(), data));
        ASSERT_TRUE(sim.WaitForFile("/local/syscfg.cfg", 2000));
        const QByteArray link = LinkOf(sim);
        EXPECT_EQ(link.mid(250), c.expected);
        EXPECT_EQ(link.mid(40, 12), QByteArray("Lab bench 3\0", 12));  // the reported settings wait
        EXPECT_EQ(sim.State().resetCount, 0);
    }
}

TEST_F(SimSettings, BrokenOffFileChangesNothing)
{
    const QByteArray stored = Exchange(sim.Port(), Frame("21 00 00"), 506).mid(250);
    QByteArray file(256, '\x11');
    ASSERT_EQ(Ask(Announcement(95, "/local/syscfg.cfg", 256, Sum(file), 60), 6).size(), 6);
    ASSERT_TRUE(sim.WaitForFrames(1, 2000));
    ASSERT_TRUE(SendData(sim.Port(), file.left(100)));
    ASSERT_TRUE(WaitUntil([&] { return sim.Files()["/local/syscfg.cfg"].data.size() == 100; }));
    EXPECT_EQ(Ask(Frame("21 00 00"), 506).mid(250), stored);
    Tell(Frame("2D"));
    EXPECT_EQ(sim.State().location, "Lab bench 3");
    EXPECT_EQ(Ask(Frame("21 00 00"), 506).mid(250), stored);
}

// Settings changed by hand follow into the file, byte for byte where they live; anything else,
// and a file written over the network and still waiting for its restart, stays.
TEST_F(SimSettings, UpdatesPatchOnlyTheSettingsTheyChange)
{
    Ask(Frame("D5 00 0A BC"), 6);  // a calibration point lives in the file too
    const QByteArray start = Ask(Frame("21 00 00"), 506).mid(250);
    EXPECT_EQ(HexText(start.mid(128, 12)), "0B 4C 61 62 20 62 65 6E 63 68 20 33");  // "Lab bench 3"

    sim.Update([](ModuleState& s) {
        s.location = "Hall";
        s.modbusPort = 1502;
    });
    QByteArray expected = start;
    expected.replace(128, 5, Hex("04") + "Hall");  // over "Lab ": the area still ends "bench 3"
    expected.replace(164, 3, Hex("01 05 DE"));
    EXPECT_EQ(HexText(Ask(Frame("21 00 00"), 506).mid(250)), HexText(expected));
    EXPECT_EQ(HexText(expected.mid(192, 3)), "01 0A BC");

    // A file from the network outlives an update of something else...
    QByteArray file = expected;
    file.replace(48, 4, Hex("03") + "Cab");
    WriteFile("/local/syscfg.cfg", file);
    sim.Update([](ModuleState& s) { s.dacCode = 99; });
    EXPECT_EQ(Ask(Frame("21 00 00"), 506).mid(250), file);

    // ...and takes an update of a setting, which the restart then applies with the file.
    sim.Update([](ModuleState& s) { s.location = "Yard"; });
    file.replace(128, 5, Hex("04") + "Yard");
    EXPECT_EQ(Ask(Frame("21 00 00"), 506).mid(250), file);
    Tell(Frame("2D"));
    EXPECT_EQ(sim.State().staSsid, "Cab");
    EXPECT_EQ(sim.State().location, "Yard");

    // Writing the record itself wins over the fields changed with it.
    sim.Update([](ModuleState& s) {
        s.location = "Elsewhere";
        s.configRecord.fill(0x42);
    });
    EXPECT_EQ(Ask(Frame("21 00 00"), 506).mid(250), QByteArray(256, '\x42'));
}

}  // namespace
}  // namespace zqbsim::test
