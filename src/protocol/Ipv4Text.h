#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace zqb {

// Dotted-decimal IPv4 text: exactly four parts of one to eight decimal digits, each at most 255.
// Leading zeros read as decimal ("010" is 10). Nothing else passes: no host names, no hexadecimal
// or octal forms, no signs or blanks, so no text ever goes to name resolution.
std::optional<std::uint32_t> ParseDottedDecimal(const QString& text);

// True when every character is a decimal digit and there is at least one.
bool IsDecimalDigits(const QString& text);

// "a.b.c.d" of an address held as a 32-bit number, first part in the high byte.
QString DottedText(std::uint32_t address);

}  // namespace zqb
