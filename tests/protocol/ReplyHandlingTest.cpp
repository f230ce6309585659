// What each reply does to the session and the windows, by the command in flight.
#include <QFontMetrics>

#include "protocol/CommandCodes.h"
#include "support/ProtocolRig.h"
#include "platform/WindowLook.h"

namespace zqb::test {
namespace {

QByteArray Reply(std::uint8_t code, std::uint8_t status, const QByteArray& data = {})
{
    QByteArray bytes = Hex("5A 35 77 A5");
    bytes.append(static_cast<char>(code));
    bytes.append(static_cast<char>(status));
    return bytes + data;
}

void Put(QByteArray& bytes, int offset, const QByteArray& value)
{
    if (bytes.size() < offset + value.size()) bytes.resize(offset + value.size(), '\0');
    bytes.replace(offset, value.size(), value);
}

// A link record as a model-184 module at 127.0.0.1 sends it.
QByteArray LinkRecord(std::uint8_t model = 184, const char* address = "7F 00 00 01")
{
    QByteArray r = Reply(GetLink, 6);
    r.resize(506, '\0');
    r[6] = static_cast<char>(model);
    Put(r, 7, Hex(address));
    Put(r, 11, Hex("00 1E C0 AB 0C 0F"));
    Put(r, 24, Hex("01 0A"));
    Put(r, 36, Hex("00 1E"));
    Put(r, 40, "Lab bench");
    Put(r, 80, "zQB-AP");
    r[112] = 1;
    Put(r, 113, "apkey1234");
    Put(r, 128, "LabNet");
    r[160] = 0;
    Put(r, 161, "never-read");
    r[176] = 1;
    r[177] = static_cast<char>(0xFF);
    r[178] = static_cast<char>(0xFF);
    Put(r, 179, Hex("01 F6"));
    r[181] = 2;
    Put(r, 182, Hex("0A 00 05 14 FF FF FF 00 0A 00 05 01"));
    Put(r, 194, Hex("FF D3"));
    Put(r, 196, Hex("0B B8"));
    r[199] = 1;
    for (int i = 0; i < 32; ++i) r[200 + i] = static_cast<char>(i + 1);
    for (int i = 0; i < 256; ++i) r[250 + i] = static_cast<char>(255 - i);
    return r;
}

class ReplyHandling : public ProtocolRig {
protected:
    // As the transport calls it: after the connection closed, while the exchange still holds the flag.
    void Handle(std::uint8_t inFlight, const QByteArray& reply)
    {
        context.session.commandInFlight = inFlight;
        Receive(reply);
        context.ExchangeBusy = true;
        replies.HandleReply(static_cast<std::size_t>(reply.size()));
        context.ExchangeBusy = false;
    }
};

TEST_F(ReplyHandling, LinkRecordOfTheSupportedModelIsTakenWhole)
{
    Handle(GetLink, LinkRecord());
    const DeviceSession& s = context.session;
    EXPECT_EQ(display.modelText, QStringLiteral("zQB-AO4K DAC Node"));
    EXPECT_EQ(display.modelColour, ColourNavy);
    EXPECT_EQ(display.enabledModels, std::vector<std::uint8_t>{184});
    EXPECT_EQ(display.PanelText(StatusPanel::LinkState), QStringLiteral("Dev MAC: 00:1E:C0:AB:0C:0F"));
    EXPECT_EQ(display.PanelText(StatusPanel::Firmware), QStringLiteral("FW: V01.0A"));
    EXPECT_EQ(display.locationText, QStringLiteral("Locate: Lab bench"));
    EXPECT_EQ(display.locationColour, ColourLocation);
    EXPECT_EQ(display.rssiText, QStringLiteral("RSSI: -45dBm"));
    EXPECT_TRUE(display.rangeTicked);
    EXPECT_EQ(display.applyFunctionRecordCalls, 1);
    EXPECT_EQ(s.linked, 1);
    EXPECT_EQ(s.DeviceEverLinked, 1);
    EXPECT_EQ(s.modelKnown, 1);
    EXPECT_EQ(s.commandInFlight, 0);
    EXPECT_EQ(s.modbusIdleTimeout, 30);
    EXPECT_EQ(s.apSsid, QByteArray("zQB-AP"));
    EXPECT_EQ(s.apSecured, 1);
    EXPECT_EQ(s.apKey, QByteArray("apkey1234"));
    EXPECT_EQ(s.staSsid, QByteArray("LabNet"));
    EXPECT_EQ(s.staKey, QByteArray()) << "an open station's key is not read";
    EXPECT_EQ(s.wifiModeAp, 1);
    EXPECT_EQ(s.doState, 1) << "masked to the one output";
    EXPECT_EQ(s.diState, 3) << "masked to the two inputs";
    EXPECT_EQ(s.modbusPort, 502);
    EXPECT_EQ(s.staticIpEnabled, 1);
    EXPECT_EQ(s.staticIp, (Ipv4Bytes{10, 0, 5, 20}));
    EXPECT_EQ(s.staticMask, (Ipv4Bytes{255, 255, 255, 0}));
    EXPECT_EQ(s.staticGateway, (Ipv4Bytes{10, 0, 5, 1}));
    EXPECT_EQ(s.dacCode, 3000);
    EXPECT_EQ(s.functionRecord[0], 1);
    EXPECT_EQ(s.functionRecord[31], 32);
    EXPECT_EQ(s.deviceConfigRecord[0], 255);
    EXPECT_EQ(s.deviceConfigRecord[255], 0);
}

TEST_F(ReplyHandling, LinkRecordOfAnotherModelNamesItUnknownButTakesTheFields)
{
    context.session.deviceConfigRecord.fill(7);
    Handle(GetLink, LinkRecord(12));
    EXPECT_EQ(display.modelText, QStringLiteral("Unknow Device??"));
    EXPECT_TRUE(display.enabledModels.empty());
    EXPECT_EQ(context.session.deviceConfigRecord[0], 7) << "the record is kept";
    EXPECT_EQ(context.session.modelKnown, 0);
    EXPECT_EQ(context.session.linked, 1);
    EXPECT_EQ(display.locationText, QStringLiteral("Locate: Lab bench"));
    EXPECT_EQ(context.session.diState, 0) << "no model, no inputs";
}

TEST_F(ReplyHandling, LinkRecordFromAnotherAddressShowsOnlyTheModel)
{
    Handle(GetLink, LinkRecord(184, "7F 00 00 02"));
    EXPECT_EQ(display.modelText, QStringLiteral("zQB-AO4K DAC Node"));
    EXPECT_EQ(display.PanelText(StatusPanel::LinkState), QStringLiteral("Reports IP: 127.0.0.2"))
        << "not linked, and said so";
    EXPECT_EQ(context.session.deviceConfigRecord, DeviceConfigRecord{}) << "another module's settings are not taken";
    EXPECT_EQ(context.session.deviceConfigRecordValid, 0);
    EXPECT_EQ(context.session.linked, 0);
    EXPECT_EQ(display.locationText, QString());
    EXPECT_EQ(context.session.modbusPort, 502);
    EXPECT_EQ(display.applyFunctionRecordCalls, 0);
    EXPECT_EQ(context.session.commandInFlight, 0);

    // The text comparison is exact: a typed address with a leading zero never links.
    link.AimAt(QStringLiteral("127.000.0.1"), context.session.hostPort);
    Handle(GetLink, LinkRecord());
    EXPECT_EQ(context.session.linked, 0);
}

TEST_F(ReplyHandling, SignalStrengthIsShownOnlyWhenReported)
{
    display.rssiText = QStringLiteral("RSSI: -60dBm");
    QByteArray status = Reply(GetIoStatus, 6, Hex("01 02 00 00 0F FF 00"));
    Handle(GetIoStatus, status);
    EXPECT_EQ(display.rssiText, QStringLiteral("RSSI: -60dBm"));
    EXPECT_EQ(context.session.dacCode, 4095);

    Handle(GetIoStatus, Reply(GetIoStatus, 6, Hex("00 00 FF D3 00 10 01")));
    EXPECT_EQ(display.rssiText, QStringLiteral("RSSI: -45dBm"));
    EXPECT_TRUE(display.rangeTicked);
    EXPECT_EQ(context.session.dacCode, 16);
    EXPECT_EQ(context.session.commandInFlight, 0);
    EXPECT_EQ(display.showDigitalIoCalls, 2);
}

TEST_F(ReplyHandling, LocationFillingItsWholeFieldKeepsAll31Characters)
{
    QByteArray record = LinkRecord();
    Put(record, 40, QByteArray(31, 'L'));
    record[71] = 'X';  // the byte after the field is not part of it
    Handle(GetLink, record);
    EXPECT_EQ(context.session.locationText, QByteArray(31, 'L'));
}

TEST_F(ReplyHandling, NegativeStatusReQueuesLocatorAndLinkAndNothingElse)
{
    Handle(SetLocator, Reply(SetLocator, 0));
    EXPECT_EQ(context.session.queuedCommand, SetLocator);
    EXPECT_EQ(display.Message(), QString());

    context.session.queuedCommand = 0;
    Handle(GetLink, Reply(GetLink, 2));
    EXPECT_EQ(Scans(), 1);
    EXPECT_EQ(context.session.queuedCommand, GetLink);
    EXPECT_EQ(context.session.linked, 0);

    // Every other refusal is said in the message panel, short enough for it.
    context.session.queuedCommand = 0;
    const struct {
        std::uint8_t code;
        const char* text;
    } refusals[] = {
        {SetDo, "Set DO refused (status 0)"},
        {SetAnalog, "Set Analog val refused (status 0)"},
        {GetIoStatus, "Get IO Status refused (status 0)"},
        {GetFunctionConfig, "Get Function Cfg. refused (status 0)"},
        {SetFunctionConfig, "Set Function Cfg. refused (status 0)"},
        {GetDiCounters, "Get DI Counter refused (status 0)"},
        {SetCalibration, "Set DAC Cal. refused (status 0)"},
        {SetOutputRange, "Set DA Range refused (status 0)"},
        {ClearFlashConfig, "Clear Flash Cfg. refused (status 0)"},
    };
    const QFont panelFont = TahomaFont(11);
    for (const auto& refusal : refusals) {
        Handle(refusal.code, Reply(refusal.code, 0));
        EXPECT_EQ(context.session.commandInFlight, refusal.code) << "kept until the link timer gives it up";
        EXPECT_EQ(display.Message(), QString::fromLatin1(refusal.text));
        EXPECT_LE(QFontMetrics(panelFont).horizontalAdvance(display.Message()), 196) << refusal.text;
    }
    EXPECT_EQ(context.session.queuedCommand, 0);
}

TEST_F(ReplyHandling, AcknowledgementsClearTheCommandAndSayWhatWasDone)
{
    // Before any model the masks are empty: everything reads as off.
    Handle(SetDo, Reply(SetDo, 6, Hex("01 03")));
    EXPECT_EQ(display.Message(), QStringLiteral("Set DO Done! DI:00"));
    EXPECT_EQ(context.session.doState, 0);

    context.session.doMask = 1;
    context.session.diMask = 3;
    Handle(SetDo, Reply(SetDo, 6, Hex("01 02")));
    EXPECT_EQ(display.Message(), QStringLiteral("Set DO Done! DI:02"));
    EXPECT_EQ(context.session.doState, 1);

    const struct {
        std::uint8_t code;
        const char* said;
    } acknowledged[] = {
        {SetLocator, "Set Locator done!"},
        {SetAnalog, "Set Analog val done!"},
        {SetFunctionConfig, "Set Function Cfg. done!"},
        {ClearFlashConfig, "Flash Config been kill!"},
    };
    for (const auto& c : acknowledged) {
        Handle(c.code, Reply(c.code, 6));
        EXPECT_EQ(display.Message(), QLatin1String(c.said));
        EXPECT_EQ(context.session.commandInFlight, 0) << c.said;
    }

    Handle(GetDiCounters, Reply(GetDiCounters, 6, Hex("FF FF FF FF 00 01 00 02")));
    EXPECT_EQ(context.session.diCount0, 4294967295u);
    EXPECT_EQ(context.session.diCount1, 65538u);
    EXPECT_EQ(display.showCountersCalls, 1);
    EXPECT_EQ(context.session.commandInFlight, 0);
}

TEST_F(ReplyHandling, CodesWithoutARowAreReadButChangeNothing)
{
    for (std::uint8_t code : {SetWifiMode, SetWebKey, ClearDiCounter, SetCalibration, SetOutputRange, ConfigWritten}) {
        Handle(code, Reply(code, 6));
        EXPECT_EQ(context.session.commandInFlight, code);
        EXPECT_EQ(context.session.replyOverdue, 0);
    }
    EXPECT_TRUE(display.panelHistory.empty());
}

TEST_F(ReplyHandling, StatusWithNothingInFlightIsTakenOnlyWhenItIsAnIoStatus)
{
    context.session.doMask = 1;
    Handle(NoCommand, Reply(GetIoStatus, 6, Hex("01 00 00 00 01 00")));
    EXPECT_EQ(context.session.doState, 1);
    EXPECT_EQ(context.session.dacCode, 256);
    EXPECT_EQ(display.showDigitalIoCalls, 1);

    Handle(NoCommand, Reply(BeginFileWrite, 6));
    EXPECT_EQ(display.showDigitalIoCalls, 1);
}

TEST_F(ReplyHandling, BadMagicIsReportedAndNothingElseChanges)
{
    context.session.replyOverdue = 1;
    Handle(GetLink, Hex("5A 35 77 A6 21 06 B8"));
    EXPECT_EQ(display.Message(), QStringLiteral("InValid Header package!"));
    EXPECT_EQ(context.session.commandInFlight, GetLink);
    EXPECT_EQ(context.session.replyOverdue, 0);
    EXPECT_EQ(display.modelText, QString());
    EXPECT_EQ(Scans(), 0);
}

TEST_F(ReplyHandling, FunctionConfigReplyFillsOrClearsTheRecord)
{
    QByteArray data = Hex("01");
    for (int i = 0; i < 32; ++i) data.append(static_cast<char>(0x40 + i));
    Handle(GetFunctionConfig, Reply(GetFunctionConfig, 6, data));
    EXPECT_EQ(display.Message(), QStringLiteral("Get Function Cfg. done!"));
    EXPECT_EQ(context.session.functionRecord[0], 0x40);
    EXPECT_EQ(context.session.functionRecord[31], 0x5F);
    EXPECT_EQ(display.applyFunctionRecordCalls, 1);

    Handle(GetFunctionConfig, Reply(GetFunctionConfig, 6, Hex("00")));
    EXPECT_EQ(display.Message(), QStringLiteral("No Function Cfg. Exist!"));
    EXPECT_EQ(context.session.functionRecord, FunctionRecord{});
    EXPECT_EQ(display.untickFunctionEnableCalls, 1);
    EXPECT_EQ(display.applyFunctionRecordCalls, 1);
    EXPECT_EQ(context.session.commandInFlight, 0);
}

TEST_F(ReplyHandling, ImageChecksumVerdictComparesTheLow32BitsOfTheSum)
{
    context.imageSum = 0x1'0000'1234ull;
    Handle(GetImageChecksum, Reply(GetImageChecksum, 6, Hex("00 00 12 34")));
    EXPECT_EQ(display.Message(), QStringLiteral("F/W update Complete! Reboot to take effect"));
    EXPECT_EQ(display.verdicts, std::vector<bool>{true});
    EXPECT_EQ(Scans(), 1) << "the restart is asked for, and meets the running exchange";
    EXPECT_EQ(context.session.commandInFlight, 0);

    Handle(GetImageChecksum, Reply(GetImageChecksum, 6, Hex("00 00 12 35")));
    EXPECT_EQ(display.Message(), QStringLiteral("Update F/W fail with Error! Please retry again."));
    EXPECT_EQ(display.verdicts, (std::vector<bool>{true, false}));

    // Another echo is not the answer: it is said, and the check is asked again on its schedule.
    Handle(GetImageChecksum, Reply(GetLink, 6, Hex("00 00 12 34")));
    EXPECT_EQ(display.Message(), QStringLiteral("Get F/W CheckSum invalid reply"));
    EXPECT_EQ(display.verdicts.size(), 2u);
    EXPECT_EQ(context.session.replyOverdue, 1);
    EXPECT_EQ(context.session.commandInFlight, GetImageChecksum);
    // A refusal is the module's answer: the check ends as failed, with no sums compared.
    Handle(GetImageChecksum, Reply(GetImageChecksum, 3, Hex("00 00 12 34")));
    EXPECT_EQ(display.verdicts, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(display.verdictKinds.back(), OutcomeKind::Refused);
    EXPECT_EQ(display.Message(), QStringLiteral("Get F/W CheckSum refused (status 3)"));
    EXPECT_EQ(context.session.commandInFlight, 0);
}

// A reply that ends before the fields read changes nothing: zeros where the module sent nothing
// are no values. A link record in two pieces is read with its first piece only.
TEST_F(ReplyHandling, CutShortLinkRecordChangesNothing)
{
    StartModule();
    context.session.commandInFlight = GetLink;
    context.commandFrame[CodeOffset] = GetLink;
    transport.ExchangeCommand(7);
    ASSERT_EQ(context.session.linked, 1);
    const DeviceSession before = context.session;
    const QString firmware = display.PanelText(StatusPanel::Firmware);
    context.session.linked = 0;

    const struct {
        int cut;
        const char* detail;
    } cuts[] = {{17, "cut short (17 of 506 bytes)"}, {120, "cut short (120 of 506 bytes)"}, {505, "cut short (505 of 506 bytes)"}};
    for (const auto& [cut, detail] : cuts) {
        zqbsim::Misbehaviour split;
        split.splitPieces = {cut};
        split.pieceDelayMs = 40;
        module.SetBehaviour(split);
        context.session.commandInFlight = GetLink;
        transport.ExchangeCommand(7);
        EXPECT_EQ(context.session.replyLength, cut);
        EXPECT_EQ(context.session.linked, 0) << cut << ": a cut record links nothing";
        EXPECT_EQ(context.session.locationText, before.locationText) << cut;
        EXPECT_EQ(context.session.modbusPort, before.modbusPort) << cut;
        EXPECT_EQ(context.session.staSsid, before.staSsid) << cut;
        EXPECT_EQ(context.session.staKeyType, before.staKeyType) << cut;
        EXPECT_EQ(context.session.staticIpEnabled, before.staticIpEnabled) << cut;
        EXPECT_EQ(context.session.deviceConfigRecord, before.deviceConfigRecord) << cut;
        EXPECT_EQ(display.PanelText(StatusPanel::Firmware), firmware) << cut;
        EXPECT_EQ(display.Message(), QStringLiteral("Get Link invalid reply")) << cut;
        EXPECT_TRUE(display.details[StatusPanel::Message].contains(QLatin1String(detail)))
            << display.details[StatusPanel::Message].toStdString();
    }
}

}  // namespace
}  // namespace zqb::test
