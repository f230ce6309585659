// The module's settings record: each patch writes only its own bytes, and the record is written
// back only when it is the module's own.
#include <random>

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "setup/ConfigRecordPatch.h"
#include "setup/SettingsFile.h"
#include "transfer/TransferRig.h"

namespace zqb::test {
namespace {

DeviceConfigRecord RandomRecord(unsigned seed)
{
    std::mt19937 random(seed);
    DeviceConfigRecord record{};
    for (auto& byte : record) byte = static_cast<std::uint8_t>(random());
    return record;
}

QByteArray Bytes(const DeviceConfigRecord& record, std::size_t from, std::size_t count)
{
    return QByteArray(reinterpret_cast<const char*>(record.data()) + from, static_cast<qsizetype>(count));
}

// Each patch over a record of random bytes: the bytes it names take the listed values, every
// other byte stays as it was.
TEST(SettingsRecordPatches, EachWritesOnlyItsOwnBytes)
{
    struct Write {
        std::size_t offset;
        QByteArray bytes;
    };
    struct Case {
        const char* what;
        std::function<void(DeviceConfigRecord&)> patch;
        std::vector<Write> writes;
    };
    const QByteArray ssid31(31, 'S');
    const Case cases[] = {
        {"AP, WPA/WPA2, 31-byte SSID, 15-byte key",
         [&](auto& r) { PatchApSettings(r, ssid31, QByteArray(15, 'k')); },
         {{32, Hex("0F") + QByteArray(15, 'k')}, {0, Hex("1F") + ssid31}}},
        {"AP, open: key area zeroed, SSID after it", [](auto& r) { PatchApSettings(r, "xy", {}); },
         {{32, QByteArray(16, '\0')}, {0, Hex("02") + "xy"}}},
        {"station, open", [](auto& r) { PatchStationSettings(r, "LabNet", StationKeyType::Open, "ignored"); },
         {{80, QByteArray(16, '\0')}, {168, Hex("01 00")}, {48, Hex("06") + "LabNet"}}},
        {"station, WEP", [](auto& r) { PatchStationSettings(r, "Lab", StationKeyType::Wep, "12345678"); },
         {{80, Hex("08") + "12345678"}, {168, Hex("01 01")}, {48, Hex("03") + "Lab"}}},
        {"fixed address", [](auto& r) { PatchStaticAddress(r, {192, 168, 1, 10}, {255, 255, 255, 0}, {192, 168, 1, 1}); },
         {{96, Hex("01 C0 A8 01 0A FF FF FF 00 C0 A8 01 01")}}},
        {"fixed address deleted", [](auto& r) { PatchStaticAddressDeleted(r); }, {{96, QByteArray(16, '\0')}}},
        {"location", [](auto& r) { PatchLocation(r, "Pump house"); }, {{128, Hex("0A") + "Pump house"}}},
        {"Modbus 502, 30 s", [](auto& r) { PatchModbus(r, 502, 30); }, {{164, Hex("01 01 F6")}, {172, Hex("01 00 1E")}}},
        {"Wi-Fi mode AP", [](auto& r) { PatchWifiMode(r, 2); }, {{160, Hex("01 02")}}},
        {"10 V calibration", [](auto& r) { PatchCalibrationPoint(r, 0, 4000); }, {{192, Hex("01 0F A0")}}},
        {"4 mA calibration", [](auto& r) { PatchCalibrationPoint(r, 1, 819); }, {{200, Hex("01 03 33")}}},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        const DeviceConfigRecord before = RandomRecord(seed++);
        DeviceConfigRecord record = before;
        c.patch(record);
        DeviceConfigRecord expected = before;
        for (const Write& w : c.writes) std::copy(w.bytes.begin(), w.bytes.end(), expected.begin() + w.offset);
        for (std::size_t i = 0; i < record.size(); ++i)
            EXPECT_EQ(record[i], expected[i]) << c.what << ", byte " << i;
    }
}

TEST(SettingsRecordPatches, ShorterTextKeepsTheOldTailAndWritingTheAddressKeepsTheSpareBytes)
{
    DeviceConfigRecord record{};
    PatchApSettings(record, "abcdef", {});
    PatchApSettings(record, "xy", {});
    EXPECT_EQ(Bytes(record, 0, 7), Hex("02") + "xycdef");

    record.fill(0x77);
    PatchStaticAddressDeleted(record);
    PatchStaticAddress(record, {10, 0, 5, 20}, {255, 255, 255, 0}, {10, 0, 5, 1});
    EXPECT_EQ(record[96], 1);
    EXPECT_EQ(Bytes(record, 109, 3), QByteArray(3, '\0')) << "left as the deletion made them";
}

// A file is taken as a settings record only when every field could be the module's: a refusal
// names the first field at fault.
TEST(SettingsRecordChecks, AnImplausibleFieldIsNamed)
{
    struct Byte {
        std::size_t offset;
        std::uint8_t value;
    };
    struct Case {
        std::vector<Byte> bytes;
        const char* field;  // empty: plausible
    };
    std::vector<Case> cases = {
        {{}, ""},
        {{{0, 31}}, ""},
        {{{0, 32}}, "AP SSID"},
        {{{0, 255}}, "AP SSID"},
        {{{48, 255}}, "station SSID"},
        {{{128, 32}}, "location"},
        {{{32, 8}, {80, 15}}, ""},
        {{{32, 16}}, "AP key"},
        {{{32, 64}}, "AP key"},
        {{{80, 64}}, "station key"},
        {{{80, 255}}, "station key"},
        {{{96, 2}}, "fixed address flag"},
        {{{160, 2}}, "Wi-Fi mode marker"},
        {{{164, 2}}, "Modbus port marker"},
        {{{168, 2}}, "station key type marker"},
        {{{172, 255}}, "idle time-out marker"},
        {{{192, 2}}, "10 V calibration marker"},
        {{{200, 2}}, "4 mA calibration marker"},
        {{{168, 1}, {169, 2}}, ""},
        {{{168, 1}, {169, 3}}, "station key type"},
        {{{168, 0}, {169, 3}}, ""},  // a type never set is not read
        {{{160, 1}, {161, 0}}, ""},
        {{{160, 1}, {161, 2}}, ""},
        {{{160, 1}, {161, 1}}, "Wi-Fi mode"},
        {{{160, 1}, {161, 3}}, "Wi-Fi mode"},
        {{{160, 0}, {161, 9}}, ""},
    };
    for (std::uint8_t length = 1; length <= 7; ++length) {
        cases.push_back({{{32, length}}, "AP key"});
        cases.push_back({{{80, length}}, "station key"});
    }
    for (const Case& c : cases) {
        DeviceConfigRecord record{};
        QString written;
        for (const Byte& b : c.bytes) {
            record[b.offset] = b.value;
            written += QStringLiteral("[%1]=%2 ").arg(b.offset).arg(b.value);
        }
        const Outcome checked = CheckSettingsRecord(record);
        if (*c.field == '\0') {
            EXPECT_TRUE(checked.Ok()) << written.toStdString() << DescribeOutcome(checked).toStdString();
        } else {
            EXPECT_EQ(checked.kind, OutcomeKind::InputError) << written.toStdString();
            EXPECT_EQ(checked.field, QString::fromLatin1(c.field)) << written.toStdString();
        }
    }
    DeviceConfigRecord erased;
    erased.fill(0xFF);
    const Outcome checked = CheckSettingsRecord(erased);
    EXPECT_EQ(checked.field, QStringLiteral("AP SSID"));
    EXPECT_EQ(checked.rule, QStringLiteral("its length is 255 bytes, more than its 31-byte field holds"));
}

class SettingsFileWrites : public TransferRig {
protected:
    void ExchangeGetLink()
    {
        ASSERT_TRUE(BeginCommand(context, GetLink));
        transport.ExchangeCommand(BuildGetLink(context.commandFrame));
    }
};

TEST_F(SettingsFileWrites, TheModulesOwnRecordGoesBackWithOnlyThePatchChanged)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) {
        for (std::size_t i = 0; i < s.configRecord.size(); ++i) s.configRecord[i] = static_cast<std::uint8_t>(i * 7);
    });
    ExchangeGetLink();
    ASSERT_EQ(context.session.deviceConfigRecordValid, 1);
    DeviceConfigRecord expected = module.State().configRecord;
    PatchLocation(context.session.deviceConfigRecord, "Bay 4");
    PatchLocation(expected, "Bay 4");
    ASSERT_TRUE(link.Settings().WriteRecord(context.session.deviceConfigRecord).Ok());
    EXPECT_EQ(Stored(SettingsFileName), Bytes(expected, 0, 256));
}

// A record that never came whole is never written: it would replace every setting of the module
// with zeros, or with bytes of an earlier reply.
TEST_F(SettingsFileWrites, NoWriteUntilAWholeRecordCame)
{
    StartModule();
    EXPECT_EQ(link.Settings().WriteRecord({}).kind, OutcomeKind::NotReadYet) << "before any link record";

    zqbsim::Misbehaviour cut;
    cut.replyLength = 300;  // the record would start at 250 and end at 505
    module.SetBehaviour(cut);
    ExchangeGetLink();
    EXPECT_EQ(context.session.linked, 0) << "a record cut short is taken not at all";
    EXPECT_EQ(context.session.deviceConfigRecord, DeviceConfigRecord{});
    const Outcome refused = link.Settings().WriteRecord(context.session.deviceConfigRecord);
    EXPECT_EQ(refused.kind, OutcomeKind::NotReadYet);
    EXPECT_EQ(FailureReason(refused), SettingsNotReadText);
    EXPECT_EQ(module.Files().count(SettingsFileName), 0u);
}

// Once a reset frame went out at all, whatever the module made of it, its settings may be the
// defaults: no settings file goes out until a whole link record of the module asked for came. A
// reset that never left the PC changes nothing.
TEST_F(SettingsFileWrites, AResetThatWentOutStopsWritesUntilTheModuleSentItsRecord)
{
    StartModule();
    const struct {
        const char* what;
        std::function<void(zqbsim::Misbehaviour&)> misbehave;
        OutcomeKind reset;
        bool wentOut;
    } cases[] = {
        {"acknowledged", [](auto&) {}, OutcomeKind::Delivered, true},
        {"refused", [](auto& b) { b.statusFor[ClearFlashConfig] = 3; }, OutcomeKind::Refused, true},
        {"answered with a bad magic", [](auto& b) { b.badMagicFor = {ClearFlashConfig}; }, OutcomeKind::InvalidReply, true},
        {"closed without a reply", [](auto& b) { b.closeWithoutReply = true; }, OutcomeKind::Delivered, true},
        {"never connected", [](auto& b) { b.refuseConnections = true; }, OutcomeKind::Unreachable, false},
    };
    for (const auto& c : cases) {
        module.SetBehaviour({});
        ExchangeGetLink();
        ASSERT_EQ(context.session.deviceConfigRecordValid, 1) << c.what;
        zqbsim::Misbehaviour b;
        c.misbehave(b);
        module.SetBehaviour(b);
        EXPECT_EQ(link.Settings().SendClearFlashConfig().kind, c.reset) << c.what;
        module.SetBehaviour({});
        module.ClearFrames();
        DeviceConfigRecord patched = context.session.deviceConfigRecord;
        PatchLocation(patched, "After reset");
        if (!c.wentOut) {
            EXPECT_TRUE(link.Settings().WriteRecord(patched).Ok()) << c.what;
            continue;
        }
        EXPECT_EQ(link.Settings().WriteRecord(patched).kind, OutcomeKind::NotReadYet) << c.what;
        EXPECT_TRUE(module.Frames().empty()) << c.what << ": nothing goes out over the defaults";
        // A record from a module that reports another address is not this module's.
        module.Update([](zqbsim::ModuleState& s) { s.reportedAddress = {127, 0, 0, 2}; });
        ExchangeGetLink();
        EXPECT_EQ(link.Settings().WriteRecord(patched).kind, OutcomeKind::NotReadYet) << c.what;
        module.Update([](zqbsim::ModuleState& s) { s.reportedAddress = {127, 0, 0, 1}; });
        ExchangeGetLink();
        EXPECT_TRUE(link.Settings().WriteRecord(patched).Ok()) << c.what;
    }
}

}  // namespace
}  // namespace zqb::test
