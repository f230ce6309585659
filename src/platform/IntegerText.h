#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace zqb {

// Text to integer the way the platform's converter reads it: optional blanks and sign, then
// decimal digits, or hexadecimal digits after "$", "0x" or "x". Nothing may follow, and the
// value must fit 32 bits (hexadecimal up to FFFFFFFF, read as two's complement).
std::optional<std::int32_t> ParseInteger(const QString& text);

// A decimal integer and nothing else: an optional sign, then decimal digits, fitting 32 bits. No
// blanks, no "$" or "0x": the settings that take decimal numbers (the Modbus port and idle
// time-out) accept only this.
std::optional<std::int32_t> ParseDecimalInteger(const QString& text);

// The converter's complaint: "'<text>' is not a valid integer value".
QString InvalidIntegerText(const QString& text);

}  // namespace zqb
