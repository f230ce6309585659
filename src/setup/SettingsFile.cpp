#include "setup/SettingsFile.h"

#include "setup/ConfigRecordLayout.h"
#include "setup/SettingRules.h"

namespace zqb {

namespace {

std::uint8_t At(const DeviceConfigRecord& record, ConfigField field) { return record[SpanOf(field).offset]; }

struct TextRule {
    ConfigField length;
    ConfigField area;
    const char* name;
    bool key;
};

constexpr TextRule TextRules[] = {
    {ConfigField::apSsidLength, ConfigField::apSsid, "AP SSID", false},
    {ConfigField::apKeyLength, ConfigField::apKey, "AP key", true},
    {ConfigField::staSsidLength, ConfigField::staSsid, "station SSID", false},
    {ConfigField::staKeyLength, ConfigField::staKey, "station key", true},
    {ConfigField::locationLength, ConfigField::location, "location", false},
};

struct FlagRule {
    ConfigField field;
    const char* name;
};

constexpr FlagRule FlagRules[] = {
    {ConfigField::staticIpSet, "fixed address flag"},   {ConfigField::wifiModeSet, "Wi-Fi mode marker"},
    {ConfigField::modbusPortSet, "Modbus port marker"}, {ConfigField::staKeyTypeSet, "station key type marker"},
    {ConfigField::idleTimeoutSet, "idle time-out marker"}, {ConfigField::cal10VSet, "10 V calibration marker"},
    {ConfigField::cal4mASet, "4 mA calibration marker"},
};

bool KeyLengthHeld(std::uint8_t length) { return length == 0 || (length >= MinKeyBytes && length <= MaxKeyBytes); }

}  // namespace

Outcome CheckSettingsRecord(const DeviceConfigRecord& record)
{
    for (const TextRule& rule : TextRules) {
        const std::uint8_t length = At(record, rule.length);
        const QString name = QString::fromLatin1(rule.name);
        if (length > SpanOf(rule.area).width)
            return Outcome::BadInput(name, QStringLiteral("its length is %1 bytes, more than its %2-byte field holds")
                                               .arg(length)
                                               .arg(SpanOf(rule.area).width));
        if (rule.key && !KeyLengthHeld(length))
            return Outcome::BadInput(name, QStringLiteral("its length is %1 bytes; a key has none or %2 to %3")
                                               .arg(length)
                                               .arg(MinKeyBytes)
                                               .arg(MaxKeyBytes));
    }
    for (const FlagRule& rule : FlagRules) {
        const std::uint8_t value = At(record, rule.field);
        if (value > 1)
            return Outcome::BadInput(QString::fromLatin1(rule.name), QStringLiteral("it holds %1; only 0 or 1 is used").arg(value));
    }
    if (At(record, ConfigField::staKeyTypeSet) == 1 && At(record, ConfigField::staKeyType) > 2)
        return Outcome::BadInput(QStringLiteral("station key type"),
                                 QStringLiteral("it holds %1; the types are 0 (open), 1 (WEP) and 2 (WPA/WPA2)")
                                     .arg(At(record, ConfigField::staKeyType)));
    const std::uint8_t mode = At(record, ConfigField::wifiMode);
    if (At(record, ConfigField::wifiModeSet) == 1 && mode != 0 && mode != 2)
        return Outcome::BadInput(QStringLiteral("Wi-Fi mode"),
                                 QStringLiteral("it holds %1; the modes are 2 (access point) and 0 (station)").arg(mode));
    return Outcome::Done();
}

std::optional<QByteArray> StoredKey(const DeviceConfigRecord& record, bool station)
{
    const ConfigField lengthField = station ? ConfigField::staKeyLength : ConfigField::apKeyLength;
    const ConfigField areaField = station ? ConfigField::staKey : ConfigField::apKey;
    const std::uint8_t length = At(record, lengthField);
    if (!KeyLengthHeld(length)) return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(record.data() + SpanOf(areaField).offset), length);
}

}  // namespace zqb
