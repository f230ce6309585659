// The setup window: what it shows, the exact boxes of each action, the bytes that reach the
// module, and no completion box after any failure.
#include <gtest/gtest.h>

#include "support/CaptionFit.h"
#include "protocol/CommandCodes.h"
#include "setup/ConfigRecordLayout.h"
#include "mainwindow/MainWindowRig.h"
#include "setup/SettingRules.h"
#include "setup/Setup.h"

namespace zqb::test {
namespace {

class SetupWindow : public MainWindowRig {
protected:
    SetupWindow() : setup(form->SetupWindow())
    {
        pauses.realMs = 20;  // the module takes an announcement before its data comes
        StartModule();
        LinkUp();
        setup.ShowSessionSettings();
    }

    void ExpectConfirm(const QString& text, MessageAnswer answer = MessageAnswer::Yes)
    {
        dialogs.ExpectMessage(text, ConfirmCaption, MessageIcon::Question, answer);
    }
    void ExpectComplete(const QString& text) { dialogs.ExpectMessage(text, CompletionCaption, MessageIcon::Information); }
    void ExpectInputError(const QString& text) { dialogs.ExpectMessage(text, InputErrorCaption, MessageIcon::Error); }
    void ExpectFailure(const QString& start) { dialogs.ExpectMessageStartingWith(start); }

    QByteArray StoredRecord()
    {
        if (!module.WaitForFile("/local/syscfg.cfg", 3000)) return {};
        return module.Files().at("/local/syscfg.cfg").data;
    }
    QByteArray RecordBytes(ConfigField field)
    {
        const FieldSpan span = SpanOf(field);
        return StoredRecord().mid(static_cast<qsizetype>(span.offset), static_cast<qsizetype>(span.width));
    }
    TForm2& setup;
};

TEST_F(SetupWindow, OpeningBeforeAnyLinkShowsTheDefaults)
{
    SessionContext& c = context;
    c.session = DeviceSession{};
    setup.ShowSessionSettings();
    EXPECT_EQ(setup.Edit1->text(), QString()) << "the design text never stays";
    EXPECT_EQ(setup.Edit3->text(), QString());
    EXPECT_EQ(setup.Edit5->text(), QString());
    EXPECT_EQ(setup.Edit7->text(), QStringLiteral("502"));
    EXPECT_EQ(setup.Edit11->text(), QStringLiteral("120"));
    EXPECT_TRUE(setup.RadioButton1->isChecked());
    EXPECT_TRUE(setup.RadioButton3->isChecked());
    EXPECT_TRUE(setup.RadioButton7->isChecked());
    EXPECT_FALSE(setup.CheckBox1->isChecked());
    EXPECT_FALSE(setup.Edit8->isEnabled());
    EXPECT_EQ(setup.Edit9->text(), QStringLiteral("255.255.255.0"));
    EXPECT_EQ(setup.windowTitle(), SetupCaption);
    EXPECT_EQ(setup.size(), QSize(701, 367));
}

TEST_F(SetupWindow, ShowsWhatTheModuleReportedButNeverItsKeys)
{
    module.Update([](zqbsim::ModuleState& s) {
        s.apSecurity = 1;
        s.apKey = "apkey-123";
        s.staKeyType = 1;
        s.staticIpEnabled = 1;
        s.staticIp = {10, 0, 5, 20};
        s.staticMask = {255, 255, 0, 0};
        s.staticGateway = {10, 0, 5, 1};
        s.modbusPort = 1502;
        s.wifiModeAp = 0;
    });
    link.Supervisor().RequestLinkNow();
    setup.Edit2->setText(QStringLiteral("typed before"));
    setup.ShowSessionSettings();
    EXPECT_TRUE(setup.RadioButton2->isChecked());
    EXPECT_EQ(setup.Edit2->text(), QStringLiteral("typed before")) << "a secured network's key box is left alone";
    EXPECT_TRUE(setup.RadioButton4->isChecked());
    EXPECT_TRUE(setup.CheckBox1->isChecked());
    EXPECT_TRUE(setup.Edit8->isEnabled());
    EXPECT_EQ(setup.Edit8->text(), QStringLiteral("10.0.5.20"));
    EXPECT_EQ(setup.Edit9->text(), QStringLiteral("255.255.0.0"));
    EXPECT_EQ(setup.Edit7->text(), QStringLiteral("1502"));
    EXPECT_TRUE(setup.RadioButton7->isChecked());
    EXPECT_FALSE(setup.Edit2->text().contains(QStringLiteral("apkey")));
}

TEST(SettingRules, AddressTextsAreCheckedPartByPart)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"192.168.1.10", true},  {"010.0.0.1", true},     {"0.0.0.0", true},        {"255.255.255.255", true},
        {"192.168.1", false},    {"192.168.1.256", false}, {"192.168..1", false},   {"1.2.3.4.", false},
        {"1.2.3. 4", false},     {"1.2.3.x", false},       {"4294967297.0.0.1", false},  // must not wrap to 1
        {"00000000000000000001.2.3.4", true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidIpv4Text(QString::fromLatin1(c.text)), c.valid) << c.text;
    EXPECT_EQ(Ipv4BytesOf(QStringLiteral("010.0.0.1")), (Ipv4Bytes{10, 0, 0, 1}));
}

// The limits of every text, counted in the bytes the module stores.
TEST_F(SetupWindow, WirelessInputsAreRefusedOutsideTheirLimits)
{
    const QString error = WirelessErrorText;
    const struct {
        QString ssid;
        QString key;
        bool secured;
        bool accepted;
    } cases[] = {
        {QString(31, 'S'), {}, false, true},
        {QString(32, 'S'), {}, false, false},
        {{}, {}, false, false},
        {QStringLiteral("Lab"), QString(7, 'k'), true, false},
        {QStringLiteral("Lab"), QString(16, 'k'), true, false},
        {QStringLiteral("Lab"), QString(8, 'k'), true, true},
        {QStringLiteral("Lab"), QString(15, 'k'), true, true},
        {QStringLiteral("Lab"), QString(40, 'k'), false, true},  // an open network ignores its key
    };
    for (const auto& c : cases) {
        setup.Edit1->setText(c.ssid);
        setup.Edit2->setText(c.key);
        setup.RadioButton2->setChecked(c.secured);
        setup.RadioButton1->setChecked(!c.secured);
        if (c.accepted)
            dialogs.ExpectMessageStartingWith(QStringLiteral("Modify AP SSID, execute?"), MessageAnswer::No);
        else
            ExpectInputError(error);
        EXPECT_EQ(setup.Image2Click(), c.accepted ? ActionOutcome::Declined : ActionOutcome::BadInput)
            << c.ssid.size() << "/" << c.key.size();
    }
    setup.Edit1->setText(QStringLiteral("Caf\u00E9 \u20AC"));
    ExpectInputError(UnstorableTextError);
    EXPECT_EQ(setup.Image2Click(), ActionOutcome::BadInput) << "a character the module cannot store is never sent as ?";
}

TEST_F(SetupWindow, ApAndStationWritesPatchTheirFieldsAndSayComplete)
{
    setup.Edit1->setText(QStringLiteral("NewAP"));
    setup.RadioButton1->setChecked(true);
    setup.Edit2->setText(QString(20, 'x'));
    ExpectConfirm(QStringLiteral("Modify AP SSID, execute?\n    . SSID: NewAP\n    . Type: [0] OPEN\n    . KEY: "));
    ExpectComplete(QStringLiteral("AP SSID write complete,\n    . Manual Reboot to take effect!"));
    EXPECT_EQ(setup.Image2Click(), ActionOutcome::Done);
    EXPECT_EQ(RecordBytes(ConfigField::apKeyLength) + RecordBytes(ConfigField::apKey), QByteArray(16, '\0'));
    EXPECT_EQ(RecordBytes(ConfigField::apSsid).left(5), QByteArray("NewAP"));

    setup.Edit3->setText(QStringLiteral("Plant-5"));
    setup.RadioButton4->setChecked(true);
    setup.Edit4->setText(QStringLiteral("wepkey-12"));
    ExpectConfirm(QStringLiteral("Modify STA SSID, execute?\n    . SSID: Plant-5\n    . Type: [1] WEP\n    . KEY: wepkey-12"));
    ExpectComplete(QStringLiteral("STA SSID write complete,\n    . Manual Reboot to take effect!"));
    EXPECT_EQ(setup.Image3Click(), ActionOutcome::Done);
    EXPECT_EQ(RecordBytes(ConfigField::staKeyTypeSet) + RecordBytes(ConfigField::staKeyType), Hex("01 01"));
    EXPECT_EQ(RecordBytes(ConfigField::staKey).left(9), QByteArray("wepkey-12"));
    EXPECT_EQ(pauses.pauses, (std::vector<int>{200, 1500, 200, 200, 1500}));

    // The diagnostic log never holds a key in clear.
    for (const QString& line : form->Memo1->toPlainText().split(QLatin1Char('\n')))
        EXPECT_FALSE(line.contains(QStringLiteral("wepkey"))) << line.toStdString();
    EXPECT_TRUE(form->Memo1->toPlainText().contains(QStringLiteral("STA_KEY =*********")));
}

TEST_F(SetupWindow, StaticAddressWriteAndDelete)
{
    setup.SetStaticIpControls(true);
    setup.Edit8->setText(QStringLiteral("010.0.0.1"));
    setup.Edit9->setText(QStringLiteral("255.255.255.0"));
    setup.Edit10->setText(QStringLiteral("10.0.0.254"));
    ExpectConfirm(QStringLiteral("Modify Station Static IP, Mask, Gateway, execute?\n    . IP: 010.0.0.1\n"
                                 "    . Mask: 255.255.255.0\n    . Gateway: 10.0.0.254"));
    ExpectComplete(QStringLiteral("Station Static IP write complete,\n    . Manual Reboot to take effect!"));
    EXPECT_EQ(setup.Image10Click(), ActionOutcome::Done);
    EXPECT_EQ(StoredRecord().mid(96, 13), Hex("01 0A 00 00 01 FF FF FF 00 0A 00 00 FE"));

    setup.Edit8->setText(QStringLiteral("192.168..1"));
    ExpectInputError(QStringLiteral("    . IP, Mask, Gateway input error.\n"));
    EXPECT_EQ(setup.Image10Click(), ActionOutcome::BadInput);

    // Unticked, it deletes the fixed address whatever the boxes hold.
    setup.SetStaticIpControls(false);
    ExpectConfirm(QStringLiteral("Delete Station Static IP config, execute?\n"));
    ExpectComplete(QStringLiteral("Station Static IP delete complete,\n    . Manual Reboot to take effect!"));
    EXPECT_EQ(setup.Image10Click(), ActionOutcome::Done);
    EXPECT_EQ(StoredRecord().mid(96, 16), QByteArray(16, '\0'));
}

TEST_F(SetupWindow, WebKeyGoesOutInItsOwnFrame)
{
    for (const char* bad : {"", "123456"}) {
        setup.Edit6->setText(QString::fromLatin1(bad));
        ExpectInputError(QStringLiteral("    . WEB Key must be 5 chars."));
        EXPECT_EQ(setup.Image5Click(), ActionOutcome::BadInput);
    }
    setup.Edit6->setText(QStringLiteral("ab12Z"));
    ExpectConfirm(QStringLiteral("Modify WEB Key, execute?\n    . WEB Key: ab12Z.\n"));
    ExpectComplete(QStringLiteral("WEB Key write complete,\n    .Take effect immediately."));
    module.ClearFrames();
    EXPECT_EQ(setup.Image5Click(), ActionOutcome::Done);
    ASSERT_EQ(FramesWithCode(SetWebKey).size(), 1u);
    EXPECT_EQ(HexText(FramesWithCode(SetWebKey)[0]), "5A 35 77 A5 32 05 61 62 31 32 5A");
    EXPECT_FALSE(form->Memo1->toPlainText().contains(QStringLiteral("ab12Z")));
}

TEST_F(SetupWindow, LocationOfThirtyOneBytesGoesInto129)
{
    setup.Edit5->setText(QString(32, 'L'));
    ExpectInputError(QStringLiteral("    . Location string must less then 31 chars."));
    EXPECT_EQ(setup.Image6Click(), ActionOutcome::BadInput);
    setup.Edit5->setText(QString(31, 'L'));
    ExpectConfirm(QStringLiteral("Modify Location string, execute?\n    . Location: ") + QString(31, 'L') + QStringLiteral(".\n"));
    ExpectComplete(QStringLiteral("Location string write complete,\n    . Manual Reboot to take effect!"));
    EXPECT_EQ(setup.Image6Click(), ActionOutcome::Done);
    EXPECT_EQ(StoredRecord().mid(128, 32), Hex("1F") + QByteArray(31, 'L'));
}

TEST_F(SetupWindow, ModbusFieldsAreCheckedPortFirst)
{
    const struct {
        const char* port;
        const char* idle;
        const char* text;
        const char* caption;
    } refusals[] = {
        {"", "30", "'' is not a valid integer value", "Modbus port input Error"},
        {"abc", "30", "'abc' is not a valid integer value", "Modbus port input Error"},
        // Decimal integers: a hexadecimal form or a blank is no port.
        {"0x10", "30", "'0x10' is not a valid integer value", "Modbus port input Error"},
        {" 502", "30", "' 502' is not a valid integer value", "Modbus port input Error"},
        {"-1", "30", "Port number over range!", "Modbus port range Error"},
        {"502", "$1E", "'$1E' is not a valid integer value", "Modbus Idle Timeout input Error"},
        {"80", "x", "Port already used!", "Modbus port input Error"},
        {"13577", "30", "Port already used!", "Modbus port input Error"},
        {"0", "30", "Port number over range!", "Modbus port range Error"},
        {"65536", "30", "Port number over range!", "Modbus port range Error"},
        {"65535", "0", "Timeout range must in 1 ~ 65000 Sec! Recommend 30 Sec.", "Modbus Idle Timeout input Error"},
        {"65535", "65001", "Timeout range must in 1 ~ 65000 Sec! Recommend 30 Sec.", "Modbus Idle Timeout input Error"},
    };
    for (const auto& r : refusals) {
        setup.Edit7->setText(QString::fromLatin1(r.port));
        setup.Edit11->setText(QString::fromLatin1(r.idle));
        dialogs.ExpectMessage(QString::fromLatin1(r.text), QString::fromLatin1(r.caption), MessageIcon::None);
        EXPECT_EQ(setup.Image9Click(), ActionOutcome::BadInput) << r.port << "/" << r.idle;
    }

    // The file, 300 ms, then ConfigWritten: in that order, with nothing between.
    setup.Edit7->setText(QStringLiteral("65535"));
    setup.Edit11->setText(QStringLiteral("0030"));
    ExpectConfirm(QStringLiteral("Modify Modbus Port & Idle Timeout, execute?\n    . Port: 65535, Idle Timeout: 30."));
    ExpectComplete(QStringLiteral("Modify Modbus Port, Timeout write complete,\n    . Manual Reboot to take effect!"));
    module.ClearConnections();
    pauses.pauses.clear();
    EXPECT_EQ(setup.Image9Click(), ActionOutcome::Done);
    EXPECT_EQ(RecordBytes(ConfigField::modbusPortSet) + RecordBytes(ConfigField::modbusPort), Hex("01 FF FF"));
    EXPECT_EQ(RecordBytes(ConfigField::idleTimeoutSet) + RecordBytes(ConfigField::idleTimeout), Hex("01 00 1E"));
    const auto log = module.Connections();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].code, std::optional<std::uint8_t>(BeginFileWrite));
    EXPECT_EQ(log[1].kind, zqbsim::ConnectionRecord::Kind::Data);
    EXPECT_EQ(log[2].code, std::optional<std::uint8_t>(ConfigWritten));
    EXPECT_EQ(pauses.pauses, (std::vector<int>{1500, 300}));
}

TEST_F(SetupWindow, DeviceCommandsSendTheirFrames)
{
    struct Case {
        std::function<ActionOutcome()> click;
        QString confirm;
        QString complete;
        const char* frame;
    };
    const Case cases[] = {
        {[&] { setup.RadioButton6->setChecked(true); return setup.Image4Click(); },
         QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: AP Mode.\n    . Device will Reboot immediately!"),
         QStringLiteral("Wi-Fi Mode write complete,\n    . Reboot complete."), "5A 35 77 A5 30 02"},
        {[&] { setup.RadioButton7->setChecked(true); return setup.Image4Click(); },
         QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: Station Mode.\n    . Device will Reboot immediately!"),
         QStringLiteral("Wi-Fi Mode write complete,\n    . Reboot complete."), "5A 35 77 A5 30 00"},
        {[&] { return setup.Image7Click(); },
         QStringLiteral("Reset to default setting, execute?\n    . Device will Reboot immediately!"),
         QStringLiteral("Reset default complete,\n    . Reboot complete."), "5A 35 77 A5 5E 01"},
        {[&] { return setup.Image8Click(); }, QStringLiteral("Reboot device, execute?"), QStringLiteral("Reboot complete."),
         "5A 35 77 A5 2D"},
    };
    for (const Case& c : cases) {
        module.ClearFrames();
        ExpectConfirm(c.confirm);
        ExpectComplete(c.complete);
        EXPECT_EQ(c.click(), ActionOutcome::Done) << c.frame;
        ASSERT_TRUE(module.WaitForFrames(1, 2000));
        EXPECT_EQ(HexText(module.Frames().back()), c.frame);
    }
    EXPECT_EQ(context.session.deviceConfigRecord[SpanOf(ConfigField::wifiModeSet).offset], 1);
    EXPECT_EQ(context.session.deviceConfigRecordValid, 0) << "after the reset the copy is no longer the module's";
}

}  // namespace
}  // namespace zqb::test
