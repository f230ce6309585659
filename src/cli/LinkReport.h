#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "protocol/LinkRecord.h"

namespace zqb::cli {

// What tells a module apart (model, firmware, MAC, location), plain and as JSON.
QString IdentityLine(const LinkRecord& record);
QJsonObject IdentityJson(const LinkRecord& record);

// The DAC code as the window's analog panel shows it: "2047 (4.999V, 9.998mA, 50%)".
QString DacText(std::int32_t code);
QJsonObject DacJson(std::int32_t code);

}  // namespace zqb::cli
