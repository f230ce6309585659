#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace zqb {

// A module's address as given on a command line: "ADDRESS[:PORT]".
struct ModuleAddress {
    QString address;  // four decimal numbers 0-255, as the module reports itself
    std::uint16_t port = 13577;
};

// Takes only what can ever link: four decimal parts of 0-255 without leading zeros or blanks
// (the module's link record is compared with this text), a unicast address, and a decimal port
// 1-65535. Anything else gives nothing and a reason in `error`.
std::optional<ModuleAddress> ParseModuleAddress(const QString& text, QString& error);

}  // namespace zqb
