#include "protocol/Ipv4Text.h"

#include <QString>

namespace zqb {

bool IsDecimalDigits(const QString& text)
{
    if (text.isEmpty()) return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

std::optional<std::uint32_t> ParseDottedDecimal(const QString& text)
{
    // Read in one pass, without splitting: every exchange parses the module's address.
    std::uint32_t address = 0;
    int parts = 0;
    qsizetype at = 0;
    const qsizetype size = text.size();
    while (parts < 4) {
        uint value = 0;
        qsizetype digits = 0;
        for (; at < size; ++at, ++digits) {
            const QChar c = text.at(at);
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
            // More than three digits can only be a zero-padded small number; a long run must not wrap.
            if (digits == 8) return std::nullopt;
            value = value * 10 + static_cast<uint>(c.unicode() - '0');
        }
        if (digits == 0 || value > 255) return std::nullopt;
        address = (address << 8) | value;
        ++parts;
        if (at == size) break;
        if (text.at(at) != QLatin1Char('.') || parts == 4) return std::nullopt;
        ++at;
    }
    if (parts != 4) return std::nullopt;
    return address;
}

QString DottedText(std::uint32_t address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

QString DottedText(const std::array<std::uint8_t, 4>& bytes)
{
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

QString NetworkPrefixOf(const QString& address)
{
    constexpr int parts = ModuleNetworkBits / 8;
    return address.section(QLatin1Char('.'), 0, parts - 1) + QLatin1Char('.');
}

std::uint32_t ModuleNetworkOf(std::uint32_t address)
{
    return address & ~((std::uint32_t{1} << (32 - ModuleNetworkBits)) - 1);
}

}  // namespace zqb
