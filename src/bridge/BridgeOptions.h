#pragma once

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include <QString>
#include <QStringList>

#include "link/ModuleAddress.h"
#include "link/ModuleScan.h"

namespace zqb::bridge {

struct Endpoint {
    QString host;
    std::uint16_t port = 0;
};

// One run of the bridge: its options, after the config file and then the command line.
struct BridgeOptions {
    bool help = false;
    bool version = false;

    Endpoint mqtt{QStringLiteral("localhost"), 0};  // port 0: 1883, or 8883 with TLS
    QString mqttUser;
    QString mqttPasswordFile;
    // From the config file or the password file only, never from the command line; never logged.
    QByteArray mqttPassword;
    QString mqttTlsCa;
    int mqttVersion = 5;  // 5 or 4 (3.1.1)
    QString mqttClientId;  // empty: "zqb-bridge-<hostname>"

    QString discoveryPrefix = QStringLiteral("homeassistant");
    QString baseTopic = QStringLiteral("zqb");
    std::optional<Endpoint> metrics;

    int pollMs = 1000;
    int linkIntervalS = 60;
    int countersIntervalS = 10;
    int scanIntervalS = 300;
    std::uint16_t scanPort = 13577;
    std::vector<ScanRange> scans;
    std::vector<ModuleAddress> modules;

    // Said once at start: e.g. a config file that others may read holds the password.
    QStringList warnings;

    std::uint16_t MqttPort() const { return mqtt.port ? mqtt.port : (mqttTlsCa.isEmpty() ? 1883 : 8883); }
};

struct OptionsError {
    QString message;
};

// Reads the config file named by --config (if any), then the command line over it: a value given
// on the command line wins, and a list given there (modules, --scan) replaces the file's. The
// password file is read here too. Files are read; nothing is connected to.
std::variant<BridgeOptions, OptionsError> ReadBridgeOptions(const QStringList& arguments);

// The config file's text alone, over `into` (for tests and for ReadBridgeOptions).
std::optional<OptionsError> ApplyConfigText(const QByteArray& text, BridgeOptions& into);

QString BridgeUsage();
QString BridgeVersionText();

}  // namespace zqb::bridge
