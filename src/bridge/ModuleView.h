#pragma once

#include <cstdint>
#include <optional>

#include <QString>

#include "bridge/ModuleClient.h"

namespace zqb::bridge {

// What the bridge knows of one module, as its worker last saw it.
struct ModuleView {
    QString address;
    std::uint16_t port = 13577;

    // From the link record; id empty until one came.
    QString id;       // "001ec0123456"
    QString macText;  // "00:1E:C0:12:34:56"
    QString firmware;
    QString location;
    QString model;

    std::optional<IoState> io;
    std::optional<Counters> counters;
    bool available = false;

    // "127.0.0.1:13577": the module's label in the metrics.
    QString Key() const { return QStringLiteral("%1:%2").arg(address).arg(port); }
};

}  // namespace zqb::bridge
