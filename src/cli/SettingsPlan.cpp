#include "cli/SettingsPlan.h"

#include <map>

#include "protocol/AnsiText.h"
#include "protocol/Ipv4Text.h"
#include "setup/ConfigRecordPatch.h"
#include "setup/SettingRules.h"
#include "setup/SettingsFile.h"

namespace zqb::cli {

namespace {

const QString HiddenKey = QStringLiteral("(hidden)");
const QString LatinOnly = QStringLiteral("the module stores printable Latin-1 characters only");

// The setting at fault and the rule it breaks.
struct Problem {
    QString field;
    QString rule;
};

bool IsKey(const QString& name) { return name.endsWith(QLatin1String("-key")); }

// A text as the settings record stores it; `reported` (the link record's copy, whose key fields
// hold one byte less than a key may have) when the record's length byte is out of its area.
QString StoredText(const DeviceConfigRecord& record, ConfigField lengthField, ConfigField areaField,
                   const QByteArray& reported)
{
    const std::size_t length = record[SpanOf(lengthField).offset];
    if (length > SpanOf(areaField).width) return FromAnsi(reported);
    return FromAnsi(QByteArray(reinterpret_cast<const char*>(record.data() + SpanOf(areaField).offset),
                               static_cast<qsizetype>(length)));
}

class Planner {
public:
    Planner(const std::vector<SettingAssignment>& assignments, const DeviceSession& session) : session_(session)
    {
        for (const SettingAssignment& a : assignments) {
            given_[a.name] = a.value;
            order_ << a.name;
        }
        plan_.record = session.deviceConfigRecord;
    }

    std::optional<SettingsPlan> Plan(Problem& error)
    {
        // Groups in the setup window's order; each writes only its own fields.
        for (auto step : {&Planner::AccessPoint, &Planner::Station, &Planner::FixedAddress, &Planner::Location,
                          &Planner::Modbus}) {
            if (auto problem = (this->*step)()) {
                error = *problem;
                return std::nullopt;
            }
        }
        for (const QString& name : order_) {
            const QString shown = IsKey(name) ? HiddenKey : PrintableText(ToAnsi(given_[name]));
            plan_.written << name + QLatin1Char('=') + shown;
            if (!IsKey(name)) plan_.json.insert(name, given_[name]);
        }
        return plan_;
    }

private:
    bool Given(const char* name) const { return given_.count(QString::fromLatin1(name)) != 0; }
    QString Value(const char* name) const { return given_.at(QString::fromLatin1(name)); }

    // A key the record cannot hold (erased flash reads 255 for its length) is never sent in its
    // place: the user gives the key.
    static Problem KeyNotKept(const QString& prefix, std::uint8_t length)
    {
        return {prefix + QStringLiteral("-key"),
                QStringLiteral("the module's stored %1 key cannot be kept (its settings record gives it %2 bytes); give %3-key= too")
                    .arg(prefix == QLatin1String("ap") ? QStringLiteral("AP") : QStringLiteral("station"))
                    .arg(length)
                    .arg(prefix)};
    }

    // Why CheckWireless refused: the rule the setup window's box states, for the one part at fault.
    static Problem WirelessProblem(const QString& prefix, const QString& ssid, const QString& key, std::uint8_t type)
    {
        const QString ssidField = prefix + QStringLiteral("-ssid");
        const QString keyField = prefix + QStringLiteral("-key");
        const TextCheck s = CheckText(ssid);
        if (!s.bytes) return {ssidField, LatinOnly};
        if (!s.Fits(1, MaxSsidBytes)) return {ssidField, QStringLiteral("must have 1 to %1 characters").arg(MaxSsidBytes)};
        const TextCheck k = CheckText(key);
        if (!k.bytes) return {keyField, LatinOnly};
        return {keyField, QStringLiteral("must have %1 to %2 characters for a %3 network").arg(MinKeyBytes).arg(MaxKeyBytes).arg(KeyTypeName(type))};
    }

    std::optional<Problem> AccessPoint()
    {
        if (!Given("ap-ssid") && !Given("ap-key") && !Given("ap-key-type")) return std::nullopt;
        std::uint8_t type = session_.apSecured != 0 ? 2 : 0;
        if (Given("ap-key-type")) {
            const QString name = Value("ap-key-type");
            if (name != QLatin1String("open") && name != QLatin1String("wpa"))
                return Problem{QStringLiteral("ap-key-type"), QStringLiteral("must be open or wpa")};
            type = name == QLatin1String("wpa") ? 2 : 0;
        }
        const DeviceConfigRecord& stored = session_.deviceConfigRecord;
        const QString ssid = Given("ap-ssid") ? Value("ap-ssid")
                                              : StoredText(stored, ConfigField::apSsidLength, ConfigField::apSsid, session_.apSsid);
        QString key;
        if (Given("ap-key")) {
            key = Value("ap-key");
        } else if (type != 0) {
            // The key stays as the module stores it, when its record holds one it can keep.
            const std::optional<QByteArray> kept = StoredKey(stored, false);
            if (!kept) return KeyNotKept(QStringLiteral("ap"), stored[SpanOf(ConfigField::apKeyLength).offset]);
            key = FromAnsi(*kept);
        }
        // The window ignores the key of an open network; a key typed here for one is a mistake.
        if (Given("ap-key") && type == 0)
            return Problem{QStringLiteral("ap-key"), QStringLiteral("given for an open access point; add ap-key-type=wpa")};
        const std::optional<WirelessCredentials> credentials = CheckWireless(ssid, key, type);
        if (!credentials) return WirelessProblem(QStringLiteral("ap"), ssid, key, type);
        PatchApSettings(plan_.record, credentials->ssid, credentials->key);
        return std::nullopt;
    }

    std::optional<Problem> Station()
    {
        if (!Given("sta-ssid") && !Given("sta-key") && !Given("sta-key-type")) return std::nullopt;
        std::uint8_t type = std::min<std::uint8_t>(session_.staKeyType, 2);
        if (Given("sta-key-type")) {
            static const std::map<QString, std::uint8_t> types = {
                {QStringLiteral("open"), 0}, {QStringLiteral("wep"), 1}, {QStringLiteral("wpa"), 2}};
            const auto it = types.find(Value("sta-key-type"));
            if (it == types.end()) return Problem{QStringLiteral("sta-key-type"), QStringLiteral("must be open, wep or wpa")};
            type = it->second;
        }
        const DeviceConfigRecord& stored = session_.deviceConfigRecord;
        const QString ssid = Given("sta-ssid") ? Value("sta-ssid")
                                               : StoredText(stored, ConfigField::staSsidLength, ConfigField::staSsid, session_.staSsid);
        QString key;
        if (Given("sta-key")) {
            key = Value("sta-key");
        } else if (type != 0) {
            const std::optional<QByteArray> kept = StoredKey(stored, true);
            if (!kept) return KeyNotKept(QStringLiteral("sta"), stored[SpanOf(ConfigField::staKeyLength).offset]);
            key = FromAnsi(*kept);
        }
        if (Given("sta-key") && type == 0)
            return Problem{QStringLiteral("sta-key"), QStringLiteral("given for an open network; add sta-key-type=wep or wpa")};
        const std::optional<WirelessCredentials> credentials = CheckWireless(ssid, key, type);
        if (!credentials) return WirelessProblem(QStringLiteral("sta"), ssid, key, type);
        PatchStationSettings(plan_.record, credentials->ssid, static_cast<StationKeyType>(type), credentials->key);
        return std::nullopt;
    }

    std::optional<Problem> FixedAddress()
    {
        const bool ip = Given("static-ip");
        const bool mask = Given("static-mask");
        const bool gateway = Given("static-gateway");
        if (!ip && !mask && !gateway) return std::nullopt;
        if (ip && Value("static-ip") == QLatin1String("off")) {
            if (mask || gateway)
                return Problem{QStringLiteral("static-ip"), QStringLiteral("static-mask and static-gateway need static-ip=ADDRESS, not off")};
            PatchStaticAddressDeleted(plan_.record);
            return std::nullopt;
        }
        // Without a fixed address on the module there is nothing to fill the missing parts from.
        if (!session_.staticIpEnabled) {
            if (!ip) return Problem{QStringLiteral("static-ip"), QStringLiteral("the module has no fixed address: give static-ip=ADDRESS as well")};
            if (!mask || !gateway)
                return Problem{QString::fromLatin1(mask ? "static-gateway" : "static-mask"),
                               QStringLiteral("the module has no fixed address yet: give static-mask and static-gateway too")};
        }
        const QString texts[3] = {ip ? Value("static-ip") : DottedText(session_.staticIp),
                                  mask ? Value("static-mask") : DottedText(session_.staticMask),
                                  gateway ? Value("static-gateway") : DottedText(session_.staticGateway)};
        const char* names[3] = {"static-ip", "static-mask", "static-gateway"};
        for (int i = 0; i < 3; ++i) {
            if (!ToModuleText(texts[i]) || !IsValidIpv4Text(texts[i]))
                return Problem{QLatin1String(names[i]),
                               QStringLiteral("'%1' is not an IPv4 address (four numbers 0-255 joined by dots)").arg(texts[i])};
        }
        PatchStaticAddress(plan_.record, Ipv4BytesOf(texts[0]), Ipv4BytesOf(texts[1]), Ipv4BytesOf(texts[2]));
        return std::nullopt;
    }

    std::optional<Problem> Location()
    {
        if (!Given("location")) return std::nullopt;
        const TextCheck location = CheckText(Value("location"));
        if (!location.bytes) return Problem{QStringLiteral("location"), LatinOnly};
        if (!location.Fits(1, MaxLocationBytes))
            return Problem{QStringLiteral("location"), QStringLiteral("must have 1 to %1 characters").arg(MaxLocationBytes)};
        PatchLocation(plan_.record, *location.bytes);
        return std::nullopt;
    }

    std::optional<Problem> Modbus()
    {
        if (!Given("modbus-port") && !Given("modbus-idle-timeout")) return std::nullopt;
        const QString portText = Given("modbus-port") ? Value("modbus-port") : QString::number(session_.modbusPort);
        const QString idleText =
            Given("modbus-idle-timeout") ? Value("modbus-idle-timeout") : QString::number(session_.modbusIdleTimeout);
        std::int32_t port = 0;
        std::int32_t seconds = 0;
        if (const auto error = CheckModbusPort(portText, port)) return Problem{QStringLiteral("modbus-port"), error->text};
        if (const auto error = CheckIdleTimeout(idleText, seconds)) return Problem{QStringLiteral("modbus-idle-timeout"), error->text};
        PatchModbus(plan_.record, static_cast<std::uint16_t>(port), static_cast<std::uint16_t>(seconds));
        plan_.modbusChanged = true;
        return std::nullopt;
    }

    const DeviceSession& session_;
    std::map<QString, QString> given_;
    QStringList order_;
    SettingsPlan plan_;
};

}  // namespace

Result<SettingsPlan> PlanSettings(const std::vector<SettingAssignment>& assignments, const DeviceSession& session)
{
    Problem error;
    std::optional<SettingsPlan> plan = Planner(assignments, session).Plan(error);
    if (!plan) return {Outcome::BadInput(error.field, error.rule), {}};
    return {Outcome::Done(), std::move(*plan)};
}

}  // namespace zqb::cli
