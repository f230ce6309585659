// Every command as the module receives it, byte for byte.
#include <functional>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "support/ProtocolRig.h"

namespace zqb::test {
namespace {

struct FrameCase {
    const char* name;
    std::function<std::size_t(CommandFrame&)> build;
    bool sendOnly;
    const char* expected;
};

class FrameEncoding : public ProtocolRig {};

TEST_F(FrameEncoding, EveryCommandArrivesByteForByte)
{
    StartModule();
    const std::vector<FrameCase> cases = {
        {"GetLink", [](CommandFrame& f) { return BuildGetLink(f); }, false, "5A 35 77 A5 21 00 00"},
        {"GetIoStatus", [](CommandFrame& f) { return BuildGetIoStatus(f); }, false, "5A 35 77 A5 D8"},
        {"SetDo on", [](CommandFrame& f) { return BuildSetDo(f, 1, 1); }, false, "5A 35 77 A5 D0 01 01"},
        {"SetDo off", [](CommandFrame& f) { return BuildSetDo(f, 1, 0); }, false, "5A 35 77 A5 D0 01 00"},
        {"SetAnalog 4095", [](CommandFrame& f) { return BuildSetAnalog(f, 1, 4095); }, false, "5A 35 77 A5 D4 01 0F FF"},
        {"SetAnalog cal", [](CommandFrame& f) { return BuildSetAnalog(f, 0, 819); }, false, "5A 35 77 A5 D4 00 03 33"},
        {"SetWebKey empty", [](CommandFrame& f) { return BuildSetWebKey(f, QByteArray()); }, false, "5A 35 77 A5 32 00"},
        {"SetWebKey 5", [](CommandFrame& f) { return BuildSetWebKey(f, "ab12Z"); }, false, "5A 35 77 A5 32 05 61 62 31 32 5A"},
        {"SetLocator", [](CommandFrame& f) { return BuildSetLocator(f, 1, 1); }, false, "5A 35 77 A5 1D 01 01"},
        {"GetImageChecksum", [](CommandFrame& f) { return BuildGetImageChecksum(f, 0x12345678); }, false, "5A 35 77 A5 25 12 34 56 78"},
        {"SetWifiMode AP", [](CommandFrame& f) { return BuildSetWifiMode(f, 2); }, false, "5A 35 77 A5 30 02"},
        {"ClearFlashConfig", [](CommandFrame& f) { return BuildClearFlashConfig(f); }, false, "5A 35 77 A5 5E 01"},
        {"GetDiCounters", [](CommandFrame& f) { return BuildGetDiCounters(f, 0, 0); }, false, "5A 35 77 A5 60 00 00"},
        {"ClearDiCounter 1", [](CommandFrame& f) { return BuildClearDiCounter(f, 1); }, false, "5A 35 77 A5 61 01"},
        {"SetCalibration 10V", [](CommandFrame& f) { return BuildSetCalibration(f, 0, 4000); }, false, "5A 35 77 A5 D5 00 0F A0"},
        {"SetOutputRange 4-20", [](CommandFrame& f) { return BuildSetOutputRange(f, 1); }, false, "5A 35 77 A5 D6 01"},
        {"ConfigWritten", [](CommandFrame& f) { return BuildConfigWritten(f); }, false, "5A 35 77 A5 DC"},
        {"GetFunctionConfig", [](CommandFrame& f) { return BuildGetFunctionConfig(f); }, false, "5A 35 77 A5 DF"},
        {"ResetModule", [](CommandFrame& f) { return BuildResetModule(f); }, true, "5A 35 77 A5 2D"},
        {"SendImageChecksum", [](CommandFrame& f) { return BuildSendImageChecksum(f, 0x1234); }, true, "5A 35 77 A5 26 00 00 12 34"},
        {"SetFunctionConfig",
         [](CommandFrame& f) {
             FunctionRecord record{};
             record[0] = 1;
             record[18] = 0x03;
             record[19] = 0x33;
             return BuildSetFunctionConfig(f, record);
         },
         false,
         "5A 35 77 A5 D7 01 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03 33 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"FileAnnouncement",
         [](CommandFrame& f) {
             return BuildFileAnnouncement(f, BeginFileWrite, FileAnnouncementLength, 256, 0x126, "/local/syscfg.cfg");
         },
         false,
         "5A 35 77 A5 5F 00 00 01 00 00 00 01 26 00 00 00 11 "
         "2F 6C 6F 63 61 6C 2F 73 79 73 63 66 67 2E 63 66 67 "  // the name, then zeros to 60 bytes
         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        module.ClearFrames();
        context.commandFrame.fill(0xEE);  // bytes a command does not write must not travel
        const std::size_t length = c.build(context.commandFrame);
        if (c.sendOnly)
            transport.SendCommandOnly(length);
        else
            transport.ExchangeCommand(length);
        EXPECT_EQ(HexText(LastFrame()), HexText(Hex(c.expected)));
    }
}

TEST_F(FrameEncoding, QueuedCommandsHandedOverShortGoOutWithTheQueuedPair)
{
    StartModule();
    context.session.queuedParam1 = 1;
    context.session.queuedParam2 = 1;
    for (std::uint8_t code : {SetDo, SetLocator, GetLink}) {
        SCOPED_TRACE(code);
        module.ClearFrames();
        context.commandFrame[CodeOffset] = code;
        context.commandFrame[5] = 9;
        context.commandFrame[6] = 9;
        transport.ExchangeCommand(5);
        QByteArray expected = Hex("5A 35 77 A5 00 01 01");
        expected[4] = static_cast<char>(code);
        EXPECT_EQ(HexText(LastFrame()), HexText(expected));
    }
    // Handed over with 7 bytes, the frame's own pair stays.
    module.ClearFrames();
    BuildSetDo(context.commandFrame, 1, 0);
    transport.ExchangeCommand(7);
    EXPECT_EQ(HexText(LastFrame()), "5A 35 77 A5 D0 01 00");
    // Other codes keep their length.
    module.ClearFrames();
    BuildGetIoStatus(context.commandFrame);
    transport.ExchangeCommand(5);
    EXPECT_EQ(HexText(LastFrame()), "5A 35 77 A5 D8");
}

TEST(FrameBuilders, WideValuesAreBigEndianAndNamesAreCutToTheFrame)
{
    CommandFrame frame{};
    const QByteArray longName(80, 'n');
    frame.fill(0xEE);
    EXPECT_EQ(BuildFileAnnouncement(frame, BeginImageWriteLegacy, ImageAnnouncementLength, 2500, 0xA1B2C3D4, longName), 40u);
    EXPECT_EQ(frame[16], 40 - 17);
    EXPECT_EQ(frame[5], 0x00);
    EXPECT_EQ(frame[7], 0x09);
    EXPECT_EQ(frame[8], 0xC4);
    EXPECT_EQ(frame[9], 0xA1);
    EXPECT_EQ(frame[12], 0xD4);
    EXPECT_EQ(frame[13], 0x00) << "cleared before filling";
    EXPECT_EQ(frame[39], 'n');
    EXPECT_EQ(frame[40], 0xEE) << "nothing written past the announced length";

    const QByteArray hugeKey(400, 'k');
    EXPECT_EQ(BuildSetWebKey(frame, hugeKey), MaxWebKeyBytes + 6);
    EXPECT_EQ(frame[5], MaxWebKeyBytes);
}

}  // namespace
}  // namespace zqb::test
