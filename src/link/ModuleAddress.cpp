#include "link/ModuleAddress.h"

#include <QStringList>

#include "protocol/Ipv4Text.h"

namespace zqb {

namespace {

// Decimal digits without a leading zero (a lone "0" is fine).
bool IsPlainNumber(const QString& text)
{
    return IsDecimalDigits(text) && (text.size() == 1 || text[0] != QLatin1Char('0'));
}

}  // namespace

std::optional<ModuleAddress> ParseModuleAddress(const QString& text, QString& error)
{
    if (text.count(QLatin1Char(':')) > 1 || text.contains(QLatin1Char('['))) {
        error = QStringLiteral("'%1': IPv6 addresses are not supported; give the module's IPv4 address").arg(text);
        return std::nullopt;
    }
    ModuleAddress result;
    QString address = text;
    if (const qsizetype colon = text.indexOf(QLatin1Char(':')); colon >= 0) {
        address = text.left(colon);
        const QString port = text.mid(colon + 1);
        const uint value = IsPlainNumber(port) && port.size() <= 5 ? port.toUInt() : 0;
        if (value == 0 || value > 65535) {
            error = QStringLiteral("'%1' is not a port number (1-65535)").arg(port);
            return std::nullopt;
        }
        result.port = static_cast<std::uint16_t>(value);
    }
    const QStringList parts = address.split(QLatin1Char('.'));
    bool plain = parts.size() == 4;
    for (const QString& part : parts) plain = plain && IsPlainNumber(part) && part.size() <= 3;
    const std::optional<std::uint32_t> value = plain ? ParseDottedDecimal(address) : std::nullopt;
    if (!value) {
        error = QStringLiteral("'%1' is not an IPv4 address (four numbers 0-255 joined by dots, no leading zeros)")
                    .arg(address);
        return std::nullopt;
    }
    const std::uint32_t first = *value >> 24;
    if (first == 0 || first >= 224) {
        error = QStringLiteral("'%1' cannot be a module's address").arg(address);
        return std::nullopt;
    }
    result.address = address;
    return result;
}

}  // namespace zqb
