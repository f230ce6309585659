#include "setup/SettingRules.h"

#include <QStringList>

#include "protocol/AnsiText.h"
#include "platform/IntegerText.h"

namespace zqb {

bool IsValidIpv4Text(const QString& text)
{
    if (text.count(QLatin1Char('.')) != 3) return false;
    int parts = 0;
    int digits = 0;
    int value = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        const QChar c = end ? QLatin1Char('.') : text[i];
        if (c == QLatin1Char('.')) {
            if (digits == 0) return false;
            ++parts;
            digits = 0;
            value = 0;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ++digits;
            value = value * 10 + (c.unicode() - u'0');
            if (value > 255) return false;  // checked at every digit, so nothing wraps
        } else {
            return false;
        }
    }
    return parts == 4;
}

Ipv4Bytes Ipv4BytesOf(const QString& text)
{
    Ipv4Bytes bytes{};
    const QStringList parts = text.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < 4 && i < parts.size(); ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(parts[i].toUInt());
    return bytes;
}

TextCheck CheckText(const QString& text) { return {ToModuleText(text)}; }

std::optional<WirelessCredentials> CheckWireless(const QString& ssid, const QString& key, std::uint8_t type)
{
    const TextCheck s = CheckText(ssid);
    if (!s.Fits(1, MaxSsidBytes)) return std::nullopt;
    WirelessCredentials credentials{*s.bytes, {}, type};
    if (type == 0) return credentials;  // an open network's key is not looked at
    const TextCheck k = CheckText(key);
    if (!k.Fits(MinKeyBytes, MaxKeyBytes)) return std::nullopt;
    credentials.key = *k.bytes;
    return credentials;
}

QString KeyTypeName(std::uint8_t type)
{
    switch (type) {
    case 0: return QStringLiteral("OPEN");
    case 1: return QStringLiteral("WEP");
    default: return QStringLiteral("WPA/WPA2");
    }
}

std::optional<FieldError> CheckModbusPort(const QString& text, std::int32_t& port)
{
    const QString inputError = QStringLiteral("Modbus port input Error");
    const std::optional<std::int32_t> value = ParseDecimalInteger(text);
    if (!value) return FieldError{InvalidIntegerText(text), inputError};
    if (*value == 13577 || *value == 80) return FieldError{QStringLiteral("Port already used!"), inputError};
    if (*value < 1 || *value > 65535)
        return FieldError{QStringLiteral("Port number over range!"), QStringLiteral("Modbus port range Error")};
    port = *value;
    return std::nullopt;
}

std::optional<FieldError> CheckIdleTimeout(const QString& text, std::int32_t& seconds)
{
    const QString caption = QStringLiteral("Modbus Idle Timeout input Error");
    const std::optional<std::int32_t> value = ParseDecimalInteger(text);
    if (!value) return FieldError{InvalidIntegerText(text), caption};
    if (*value < 1 || *value > 65000)
        return FieldError{QStringLiteral("Timeout range must in 1 ~ 65000 Sec! Recommend 30 Sec."), caption};
    seconds = *value;
    return std::nullopt;
}

}  // namespace zqb
