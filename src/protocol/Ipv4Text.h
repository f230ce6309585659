#pragma once

#include <array>
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
// "a.b.c.d" of an address held as its four bytes, first part first.
QString DottedText(const std::array<std::uint8_t, 4>& bytes);

// The module's network is the /24 its address lies in: the first three of its four numbers.
// The host check's prefix, the scan's range and the finder's range all follow from this.
inline constexpr int ModuleNetworkBits = 24;

// The prefix an interface's address must begin with to be in the network of the module at
// `address`: the text up to and including its third full stop ("10.0.5." for 10.0.5.20).
QString NetworkPrefixOf(const QString& address);
// The first address of the module network that `address` lies in (10.0.5.0 for 10.0.5.20).
std::uint32_t ModuleNetworkOf(std::uint32_t address);

}  // namespace zqb
