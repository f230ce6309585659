// "settings set" planned against what the module reported: the window's rules refuse, the
// window's patches write, and whatever is not named keeps the module's value.
#include <gtest/gtest.h>

#include <QJsonDocument>

#include "setup/ConfigRecordPatch.h"
#include "support/QtPrinters.h"
#include "cli/SettingsPlan.h"

namespace zqb::cli {
namespace {

const QByteArray FullKey = "fifteen-bytes!!";  // the link record's key field holds only 14 of it

// A module in access-point mode with an open AP and a WPA station network, as linked.
DeviceSession Linked(bool fixedAddress = false)
{
    DeviceSession s;
    s.apSsid = "zQB-AP-123456";
    s.apSecured = 0;
    s.staSsid = "LabNet";
    s.staKeyType = 2;
    s.staKey = FullKey.left(14);
    s.modbusPort = 502;
    s.modbusIdleTimeout = 120;
    DeviceConfigRecord& r = s.deviceConfigRecord;
    r.fill(0);
    r[255] = 0xA5;  // a byte no setting owns
    PatchApSettings(r, s.apSsid, {});
    PatchStationSettings(r, s.staSsid, StationKeyType::Wpa, FullKey);
    PatchLocation(r, "Lab bench 3");
    PatchModbus(r, 502, 120);
    if (fixedAddress) {
        s.staticIpEnabled = 1;
        s.staticIp = {10, 0, 0, 5};
        s.staticMask = {255, 0, 0, 0};
        s.staticGateway = {10, 0, 0, 1};
        PatchStaticAddress(r, s.staticIp, s.staticMask, s.staticGateway);
    }
    s.deviceConfigRecordValid = 1;
    return s;
}

std::vector<SettingAssignment> Assignments(const QStringList& words)
{
    std::vector<SettingAssignment> list;
    for (const QString& word : words) list.push_back({word.section(QLatin1Char('='), 0, 0), word.section(QLatin1Char('='), 1)});
    return list;
}

TEST(SettingsPlans, NamedSettingsArePatchedTheWindowsWayAndTheRestKept)
{
    const struct {
        QStringList words;
        bool fixedAddress;
        std::function<void(DeviceConfigRecord&)> patch;
        bool modbus;
    } cases[] = {
        {{"location=Hall 2"}, false, [](DeviceConfigRecord& r) { PatchLocation(r, "Hall 2"); }, false},
        {{"ap-ssid=Bench AP"}, false, [](DeviceConfigRecord& r) { PatchApSettings(r, "Bench AP", {}); }, false},
        {{"ap-key-type=wpa", "ap-key=abcdefgh"}, false,
         [](DeviceConfigRecord& r) { PatchApSettings(r, "zQB-AP-123456", "abcdefgh"); }, false},
        // The station key is taken whole from the settings record, not cut to the link field.
        {{"sta-ssid=Other"}, false, [](DeviceConfigRecord& r) { PatchStationSettings(r, "Other", StationKeyType::Wpa, FullKey); }, false},
        {{"sta-key-type=open"}, false, [](DeviceConfigRecord& r) { PatchStationSettings(r, "LabNet", StationKeyType::Open, {}); }, false},
        {{"sta-key-type=wep", "sta-key=12345678"}, false,
         [](DeviceConfigRecord& r) { PatchStationSettings(r, "LabNet", StationKeyType::Wep, "12345678"); }, false},
        {{"static-ip=off"}, true, [](DeviceConfigRecord& r) { PatchStaticAddressDeleted(r); }, false},
        {{"static-ip=192.168.1.20", "static-mask=255.255.255.0", "static-gateway=192.168.1.1"}, false,
         [](DeviceConfigRecord& r) { PatchStaticAddress(r, {192, 168, 1, 20}, {255, 255, 255, 0}, {192, 168, 1, 1}); }, false},
        {{"static-gateway=10.0.0.254"}, true,
         [](DeviceConfigRecord& r) { PatchStaticAddress(r, {10, 0, 0, 5}, {255, 0, 0, 0}, {10, 0, 0, 254}); }, false},
        {{"modbus-port=1502"}, false, [](DeviceConfigRecord& r) { PatchModbus(r, 1502, 120); }, true},
        {{"modbus-idle-timeout=30", "location=X"}, false,
         [](DeviceConfigRecord& r) {
             PatchLocation(r, "X");
             PatchModbus(r, 502, 30);
         },
         true},
    };
    for (const auto& c : cases) {
        const DeviceSession session = Linked(c.fixedAddress);
        const Result<SettingsPlan> result = PlanSettings(Assignments(c.words), session);
        ASSERT_TRUE(result.Ok()) << c.words.join(' ').toStdString() << ": " << result.outcome.rule.toStdString();
        const SettingsPlan* plan = &result.value;
        DeviceConfigRecord expected = session.deviceConfigRecord;
        c.patch(expected);
        EXPECT_EQ(plan->record, expected) << c.words.join(' ').toStdString();
        EXPECT_EQ(plan->modbusChanged, c.modbus) << c.words.join(' ').toStdString();
        EXPECT_EQ(plan->written.size(), c.words.size());
    }
}

TEST(SettingsPlans, AnyRefusedValueRefusesTheWholeSet)
{
    const struct {
        QStringList words;
        bool fixedAddress;
        const char* field;  // the setting the refusal names
        const char* reason;
    } cases[] = {
        {{"ap-key-type=wpa", "ap-key=abc"}, false, "ap-key", "must have 8 to 15"},
        {{"ap-key-type=wpa"}, false, "ap-key", "must have 8 to 15"},  // the open AP has no key to keep
        {{"ap-key=abcdefgh"}, false, "ap-key", "open access point"},
        {{"ap-ssid="}, false, "ap-ssid", "must have 1 to 31"},
        {{"ap-ssid=" + QString(32, QLatin1Char('s'))}, false, "ap-ssid", "must have 1 to 31"},
        {{QStringLiteral("ap-ssid=caf\u00E9 \u20AC")}, false, "ap-ssid", "printable Latin-1"},
        {{"ap-key-type=wep"}, false, "ap-key-type", "open or wpa"},
        {{"sta-key-type=wpa2"}, false, "sta-key-type", "open, wep or wpa"},
        {{"sta-key=short"}, false, "sta-key", "must have 8 to 15"},
        {{"sta-key=" + QString(16, QLatin1Char('k'))}, false, "sta-key", "must have 8 to 15"},
        {{"sta-key=abcdefgh", "sta-key-type=open"}, false, "sta-key", "open network"},
        {{"static-ip=1.2.3"}, true, "static-ip", "'1.2.3' is not an IPv4"},
        {{"static-ip=256.1.1.1"}, true, "static-ip", "is not an IPv4"},
        {{"static-mask=255.255.0"}, true, "static-mask", "is not an IPv4"},
        {{"static-ip=off", "static-mask=255.0.0.0"}, true, "static-ip", "need static-ip=ADDRESS"},
        {{"static-mask=255.0.0.0"}, false, "static-ip", "no fixed address"},
        {{"static-ip=1.2.3.4"}, false, "static-mask", "give static-mask and static-gateway"},
        {{"static-ip=1.2.3.4", "static-mask=255.0.0.0"}, false, "static-gateway", "give static-mask and static-gateway"},
        {{"location="}, false, "location", "must have 1 to 31"},
        {{"location=" + QString(32, QLatin1Char('l'))}, false, "location", "must have 1 to 31"},
        {{"location=a\tb"}, false, "location", "printable Latin-1"},
        {{"modbus-port=80"}, false, "modbus-port", "Port already used"},
        {{"modbus-port=13577"}, false, "modbus-port", "Port already used"},
        {{"modbus-port=70000"}, false, "modbus-port", "over range"},
        {{"modbus-port=abc"}, false, "modbus-port", "not a valid integer"},
        // Decimal integers only: no hexadecimal, no blanks.
        {{"modbus-port=0x10"}, false, "modbus-port", "'0x10' is not a valid integer"},
        {{"modbus-port=$1F6"}, false, "modbus-port", "'$1F6' is not a valid integer"},
        {{"modbus-port= 502"}, false, "modbus-port", "' 502' is not a valid integer"},
        {{"modbus-idle-timeout=x1E"}, false, "modbus-idle-timeout", "'x1E' is not a valid integer"},
        {{"modbus-idle-timeout=0"}, false, "modbus-idle-timeout", "1 ~ 65000"},
        {{"location=fine", "modbus-port=0"}, false, "modbus-port", "over range"},
    };
    for (const auto& c : cases) {
        const Result<SettingsPlan> result = PlanSettings(Assignments(c.words), Linked(c.fixedAddress));
        EXPECT_EQ(result.outcome.kind, OutcomeKind::InputError) << c.words.join(' ').toStdString();
        EXPECT_EQ(result.outcome.field, QString::fromLatin1(c.field)) << c.words.join(' ').toStdString();
        const QString error = result.outcome.rule;
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << c.words.join(' ').toStdString() << ": " << error.toStdString();
    }
}

TEST(SettingsPlans, KeysAreNeverShown)
{
    const Result<SettingsPlan> result = PlanSettings(
        Assignments({"ap-key-type=wpa", "ap-key=apsecret1", "sta-key=stasecret1", "location=Hall"}), Linked());
    ASSERT_TRUE(result.Ok()) << result.outcome.rule.toStdString();
    const SettingsPlan* plan = &result.value;
    const QString shown = plan->written.join(' ') + QString::fromUtf8(QJsonDocument(plan->json).toJson());
    EXPECT_FALSE(shown.contains(QLatin1String("apsecret1")));
    EXPECT_FALSE(shown.contains(QLatin1String("stasecret1")));
    EXPECT_TRUE(shown.contains(QLatin1String("ap-key=(hidden)")));
    EXPECT_TRUE(shown.contains(QLatin1String("location=Hall")));
}

// Erased flash reads 255 for a key's length: a change that keeps the stored key then has none to
// keep, and the key is asked for instead of sending 14 bytes of 0xFF in its place.
TEST(SettingsPlans, AKeyTheRecordCannotHoldIsAskedFor)
{
    const struct {
        QStringList words;
        std::size_t lengthOffset;
        const char* reason;
    } cases[] = {
        {{"ap-ssid=NewAP", "ap-key-type=wpa"}, 32, "stored AP key cannot be kept (its settings record gives it 255 bytes); give ap-key="},
        {{"sta-ssid=NewNet"}, 80, "stored station key cannot be kept (its settings record gives it 255 bytes); give sta-key="},
    };
    for (const auto& c : cases) {
        DeviceSession session = Linked();
        session.deviceConfigRecord[c.lengthOffset] = 0xFF;
        session.apSecured = 1;
        session.apKey = QByteArray(14, '\xFF');
        session.staKey = QByteArray(14, '\xFF');
        const Result<SettingsPlan> refused = PlanSettings(Assignments(c.words), session);
        EXPECT_EQ(refused.outcome.kind, OutcomeKind::InputError) << c.words.join(' ').toStdString();
        EXPECT_TRUE(refused.outcome.rule.contains(QLatin1String(c.reason))) << refused.outcome.rule.toStdString();
        EXPECT_EQ(refused.outcome.field, c.lengthOffset == 32 ? QStringLiteral("ap-key") : QStringLiteral("sta-key"));
        const QString key = c.lengthOffset == 32 ? QStringLiteral("ap-key=given-key") : QStringLiteral("sta-key=given-key");
        EXPECT_TRUE(PlanSettings(Assignments(c.words + QStringList{key}), session).Ok()) << "with the key given";
    }
}

}  // namespace
}  // namespace zqb::cli
