#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "bridge/ModuleView.h"
#include "protocol/Outcome.h"

namespace zqb::bridge {

// Where the bridge publishes and listens, under one base topic.
struct Topics {
    QString base;             // "zqb"
    QString discoveryPrefix;  // "homeassistant"
    QString hostname;

    QString BridgeStatus() const { return base + QStringLiteral("/bridge/") + hostname + QStringLiteral("/status"); }
    QString Module(const QString& id, const char* leaf) const { return base + QLatin1Char('/') + id + QLatin1Char('/') + QLatin1String(leaf); }
    // "zqb/+/do/set" and the like: every command topic, for any module.
    std::vector<QString> CommandFilters() const;
};

// A command topic taken apart: the module's id and what follows it ("do/set").
struct CommandTopic {
    QString id;
    QString command;
};
std::optional<CommandTopic> ParseCommandTopic(const Topics& topics, const QString& topic);

struct Publication {
    QString topic;
    QByteArray payload;
};

// The retained state: di, do, dac, volts, milliamps, percent, range, signal, counters, firmware,
// location, address. Empty while no I/O state was read.
QByteArray StatePayload(const ModuleView& view);
// One retained config per entity, for Home Assistant.
std::vector<Publication> DiscoveryConfigs(const Topics& topics, const ModuleView& view);
// {"command": "do/set", "ok": false, "reason": "refused", "detail": "..."}.
QByteArray ResultPayload(const QString& command, const Outcome& outcome);

}  // namespace zqb::bridge
