#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

#include "support/QtPrinters.h"

namespace zqb::test {

// "5A 35 77 A5 21" as bytes.
inline QByteArray Hex(const char* spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

// Bytes as "5A 35 77 A5 21", for readable failure messages.
inline std::string HexText(const QByteArray& bytes) { return bytes.toHex(' ').toUpper().toStdString(); }

}  // namespace zqb::test
