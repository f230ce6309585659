#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

namespace zqb {

// The module speaks 8-bit text. One byte is one character (Latin-1), both ways, so that a
// text always round-trips and every length limit counts the bytes the module will see.
inline QString FromAnsi(const QByteArray& bytes) { return QString::fromLatin1(bytes); }
inline QByteArray ToAnsi(const QString& text) { return text.toLatin1(); }

// Text typed for the module as the bytes it will store: Latin-1, one byte per character, the
// same code page that reads the module's texts, so that what the console shows it can send back
// unchanged. Nothing when a character has no Latin-1 byte or is a control character: silently
// sent as "?", a key would lock the module out of its network.
inline std::optional<QByteArray> ToModuleText(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u > 0xFF) return std::nullopt;
    }
    return text.toLatin1();
}

// Module text as a label shows it: control characters, which would break a one-line label or
// hide what was sent, appear as their visible symbols (U+2400 block, or U+FFFD).
inline QString PrintableText(const QByteArray& bytes)
{
    QString text = FromAnsi(bytes);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            c = QChar(static_cast<char16_t>(0x2400 + u));
        else if (u == 0x7F)
            c = QChar(char16_t{0x2421});
        else if (u >= 0x80 && u < 0xA0)
            c = QChar(char16_t{0xFFFD});
    }
    return text;
}

// A text field of a reply: its bytes up to the first zero byte or the field's end.
inline QByteArray ReadTextField(const std::uint8_t* field, std::size_t width)
{
    std::size_t n = 0;
    while (n < width && field[n] != 0) ++n;
    return QByteArray(reinterpret_cast<const char*>(field), static_cast<qsizetype>(n));
}

}  // namespace zqb
