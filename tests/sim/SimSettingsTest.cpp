// The settings file the module stores against the settings it reports: written back with one
// change, only that setting moves; the file shows in the link record as soon as it is stored.
#include "sim/SimTestSupport.h"

namespace zqbsim::test {
namespace {

class SimSettings : public SimTest {
protected:
    QByteArray Link() { return Ask(Frame("21 00 00"), 506); }
};

TEST_F(SimSettings, WritingBackTheOwnRecordMovesOnlyTheChangedSetting)
{
    struct Case {
        int fileAt;            // where the change goes in the file
        const char* bytes;     // what is written there
        int linkFrom, linkTo;  // the link field that moves with it
    };
    const Case cases[] = {
        {128, "04 53 68 65 64", 40, 70},  // location
        {164, "01 05 DE", 179, 180},      // Modbus port
        {168, "01 01", 160, 160},         // station key type
        {96, "01", 181, 181},             // static address in use
        {48, "03 4E 65 74", 128, 158},    // station SSID
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileAt);
        const QByteArray before = Link();
        QByteArray file = before.mid(250);
        file.replace(c.fileAt, Hex(c.bytes).size(), Hex(c.bytes));
        WriteFile("/local/syscfg.cfg", file);
        EXPECT_EQ(Link(), before.left(250) + file);  // stored at once, applied at the restart
        Tell(Frame("2D"));
        const QByteArray after = Link();
        EXPECT_EQ(after.mid(250), file);
        int moved = 0;
        for (int i = 0; i < 250; ++i) {
            if (after[i] == before[i]) continue;
            ++moved;
            EXPECT_TRUE(i >= c.linkFrom && i <= c.linkTo) << "link byte " << i << " moved";
        }
        EXPECT_GT(moved, 0);
    }
}

// Shorter files read as zero past their end, longer ones give their first 256 bytes, and a
// write that broke off changes nothing, not even at the next restart.
TEST_F(SimSettings, StoredFileShowsInTheLinkRecordAtOnce)
{
    QByteArray pattern(300, '\0');
    for (int i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(0xA0 ^ i);
    struct Case {
        int announced, sent;
        QByteArray expected;
    };
    const Case cases[] = {
        {10, 10, pattern.left(10) + QByteArray(246, '\0')},
        {300, 300, pattern.left(256)},
        {256, 256, pattern.left(256)},
        {256, 100, pattern.left(256)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        const QByteArray data = pattern.left(c.sent);
        ASSERT_EQ(Ask(Announcement(95, "/local/syscfg.cfg", static_cast<std::uint32_t>(c.announced), Sum(data), 60), 6).size(), 6);
        ASSERT_TRUE(SendData(sim.Port(), data));
        ASSERT_TRUE(WaitUntil([&] { return sim.Files()["/local/syscfg.cfg"].data.size() == c.sent; }));
        EXPECT_EQ(Link().mid(250), c.expected);
    }
    EXPECT_EQ(sim.State().location, "Lab bench 3");
    Tell(Frame("2D"));
    EXPECT_EQ(Link().mid(250), pattern.left(256));
}

TEST_F(SimSettings, UpdatesPatchOnlyTheSettingsTheyChange)
{
    Ask(Frame("D5 00 0A BC"), 6);  // a calibration point lives in the file too
    QByteArray expected = Link().mid(250);
    sim.Update([](ModuleState& s) {
        s.location = "Hall";
        s.modbusPort = 1502;
    });
    expected.replace(128, 5, Hex("04") + "Hall");  // over "Lab ": the area still ends "bench 3"
    expected.replace(164, 3, Hex("01 05 DE"));
    EXPECT_EQ(HexText(Link().mid(250)), HexText(expected));
    EXPECT_EQ(HexText(expected.mid(192, 3)), "01 0A BC");

    // A file from the network, not yet applied, outlives an update of something else.
    const QByteArray file(256, '\x33');
    WriteFile("/local/syscfg.cfg", file);
    sim.Update([](ModuleState& s) { s.dacCode = 99; });
    EXPECT_EQ(Link().mid(250), file);

    // Writing the record itself wins over the fields changed with it.
    sim.Update([](ModuleState& s) {
        s.location = "Elsewhere";
        s.configRecord.fill(0x42);
    });
    EXPECT_EQ(Link().mid(250), QByteArray(256, '\x42'));
}

}  // namespace
}  // namespace zqbsim::test
