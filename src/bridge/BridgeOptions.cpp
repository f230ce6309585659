#include "bridge/BridgeOptions.h"

#include <functional>

#include <QFile>
#include <QFileInfo>

#include "protocol/Ipv4Text.h"

namespace zqb::bridge {

namespace {

constexpr qint64 MaxConfigBytes = 64 * 1024;
constexpr qint64 MaxPasswordBytes = 1024;

using Setter = std::function<std::optional<QString>(BridgeOptions&, const QString&)>;

std::optional<int> Number(const QString& text, int least, int most)
{
    if (text.isEmpty() || text.size() > 9 || !IsDecimalDigits(text)) return std::nullopt;
    const int value = text.toInt();
    if (value < least || value > most) return std::nullopt;
    return value;
}

// HOST[:PORT]; a host is a name or a dotted address, without blanks or a scheme.
std::optional<Endpoint> ParseEndpoint(const QString& text, bool portRequired)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    Endpoint e;
    e.host = colon < 0 ? text : text.left(colon);
    if (colon >= 0) {
        const std::optional<int> port = Number(text.mid(colon + 1), 1, 65535);
        if (!port) return std::nullopt;
        e.port = static_cast<std::uint16_t>(*port);
    } else if (portRequired) {
        return std::nullopt;
    }
    if (e.host.isEmpty() || e.host.size() > 253) return std::nullopt;
    for (const QChar c : e.host)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('.') && c != QLatin1Char('-') &&
            c != QLatin1Char('_'))
            return std::nullopt;
    return e;
}

// A topic level the bridge writes under: no wildcard, no empty level, no NUL.
bool TopicPrefix(const QString& text)
{
    if (text.isEmpty() || text.size() > 200 || text.startsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('/')) ||
        text.contains(QLatin1String("//")))
        return false;
    for (const QChar c : text)
        if (c == QLatin1Char('+') || c == QLatin1Char('#') || c.unicode() < 0x20) return false;
    return true;
}

std::optional<QString> Seconds(int& into, const QString& value, const char* name, int least)
{
    const std::optional<int> n = Number(value, least, 86400);
    if (!n) return QStringLiteral("%1: give whole seconds from %2 to 86400").arg(QLatin1String(name)).arg(least);
    into = *n;
    return std::nullopt;
}

struct OptionRule {
    const char* name;
    bool commandLine;  // may be given as --name
    bool configFile;   // may be given in the config file
    Setter set;
};

const std::vector<OptionRule>& Rules()
{
    static const std::vector<OptionRule> rules = {
        {"mqtt", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             const std::optional<Endpoint> e = ParseEndpoint(v, false);
             if (!e) return QStringLiteral("mqtt: '%1' is no HOST[:PORT]").arg(v);
             o.mqtt = *e;
             return std::nullopt;
         }},
        {"mqtt-user", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             if (v.toUtf8().size() > 256) return QStringLiteral("mqtt-user: at most 256 bytes");
             o.mqttUser = v;
             return std::nullopt;
         }},
        {"mqtt-password-file", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             o.mqttPasswordFile = v;
             return std::nullopt;
         }},
        {"mqtt-password", false, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             o.mqttPassword = v.toUtf8();
             if (o.mqttPassword.size() > MaxPasswordBytes) return QStringLiteral("mqtt-password: too long");
             return std::nullopt;
         }},
        {"mqtt-tls-ca", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             o.mqttTlsCa = v;
             return std::nullopt;
         }},
        {"mqtt-version", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             if (v == QLatin1String("5")) o.mqttVersion = 5;
             else if (v == QLatin1String("3.1.1")) o.mqttVersion = 4;
             else return QStringLiteral("mqtt-version: say 5 or 3.1.1");
             return std::nullopt;
         }},
        {"mqtt-client-id", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             if (v.isEmpty() || v.size() > 64 || !TopicPrefix(v) || v.contains(QLatin1Char('/')))
                 return QStringLiteral("mqtt-client-id: 1 to 64 characters, no '/', '+' or '#'");
             o.mqttClientId = v;
             return std::nullopt;
         }},
        {"discovery-prefix", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             if (!TopicPrefix(v)) return QStringLiteral("discovery-prefix: '%1' is no topic prefix").arg(v);
             o.discoveryPrefix = v;
             return std::nullopt;
         }},
        {"base-topic", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             if (!TopicPrefix(v)) return QStringLiteral("base-topic: '%1' is no topic prefix").arg(v);
             o.baseTopic = v;
             return std::nullopt;
         }},
        {"metrics", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             const std::optional<Endpoint> e = ParseEndpoint(v, true);
             if (!e) return QStringLiteral("metrics: '%1' is no ADDRESS:PORT").arg(v);
             o.metrics = *e;
             return std::nullopt;
         }},
        {"poll", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             const std::optional<int> ms = Number(v, 100, 3600000);
             if (!ms) return QStringLiteral("poll: give milliseconds from 100 to 3600000");
             o.pollMs = *ms;
             return std::nullopt;
         }},
        {"link-interval", true, true,
         [](BridgeOptions& o, const QString& v) { return Seconds(o.linkIntervalS, v, "link-interval", 1); }},
        {"counters-interval", true, true,
         [](BridgeOptions& o, const QString& v) { return Seconds(o.countersIntervalS, v, "counters-interval", 1); }},
        {"scan-interval", true, true,
         [](BridgeOptions& o, const QString& v) { return Seconds(o.scanIntervalS, v, "scan-interval", 10); }},
        {"scan-port", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             const std::optional<int> port = Number(v, 1, 65535);
             if (!port) return QStringLiteral("scan-port: give a port from 1 to 65535");
             o.scanPort = static_cast<std::uint16_t>(*port);
             return std::nullopt;
         }},
        {"scan", true, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             QString error;
             const std::optional<ScanRange> range = ParseScanRange(v, error);
             if (!range) return QStringLiteral("scan: %1").arg(error);
             o.scans.push_back(*range);
             return std::nullopt;
         }},
        {"module", false, true,
         [](BridgeOptions& o, const QString& v) -> std::optional<QString> {
             QString error;
             const std::optional<ModuleAddress> module = ParseModuleAddress(v, error);
             if (!module) return QStringLiteral("module: %1").arg(error);
             o.modules.push_back(*module);
             return std::nullopt;
         }},
    };
    return rules;
}

const OptionRule* Find(const QString& name)
{
    for (const OptionRule& rule : Rules())
        if (name == QLatin1String(rule.name)) return &rule;
    return nullptr;
}

bool IsList(const QString& name) { return name == QLatin1String("scan") || name == QLatin1String("module"); }

std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 limit, QString& error)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, QFileInfo(path).exists() ? file.errorString() : QStringLiteral("no such file"));
        return std::nullopt;
    }
    const QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit) {
        error = QStringLiteral("%1 is longer than %2 bytes").arg(path).arg(limit);
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::optional<OptionsError> ApplyConfigText(const QByteArray& text, BridgeOptions& into)
{
    int lineNumber = 0;
    bool listsCleared[2] = {false, false};
    for (const QByteArray& raw : text.split('\n')) {
        ++lineNumber;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';'))) continue;
        if (line.startsWith(QLatin1Char('['))) continue;  // sections only group the lines
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const auto fail = [&](const QString& why) {
            return OptionsError{QStringLiteral("config line %1: %2").arg(lineNumber).arg(why)};
        };
        if (equals <= 0) return fail(QStringLiteral("say KEY = VALUE"));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        const OptionRule* rule = Find(key);
        if (!rule || !rule->configFile) return fail(QStringLiteral("unknown key '%1'").arg(key));
        const QStringList values = IsList(key) ? value.split(QLatin1Char(' '), Qt::SkipEmptyParts) : QStringList{value};
        if (IsList(key)) {
            bool& cleared = listsCleared[key == QLatin1String("module") ? 1 : 0];
            if (!cleared) key == QLatin1String("module") ? into.modules.clear() : into.scans.clear();
            cleared = true;
        }
        for (const QString& v : values)
            if (const std::optional<QString> error = rule->set(into, v)) return fail(*error);
    }
    return std::nullopt;
}

std::variant<BridgeOptions, OptionsError> ReadBridgeOptions(const QStringList& arguments)
{
    // Two passes: the config file first, wherever --config stands, then everything else over it.
    BridgeOptions options;
    QString configPath;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--")) break;
        if (a == QLatin1String("--config")) {
            if (i + 1 >= arguments.size()) return OptionsError{QStringLiteral("--config needs a FILE")};
            configPath = arguments[++i];
        } else if (a.startsWith(QLatin1String("--config="))) {
            configPath = a.mid(9);
        }
    }
    if (!configPath.isEmpty()) {
        QString error;
        const std::optional<QByteArray> text = ReadSmallFile(configPath, MaxConfigBytes, error);
        if (!text) return OptionsError{error};
        if (std::optional<OptionsError> bad = ApplyConfigText(*text, options)) {
            bad->message = configPath + QStringLiteral(": ") + bad->message;
            return *bad;
        }
        if (!options.mqttPassword.isEmpty() && (QFileInfo(configPath).permissions() & (QFile::ReadGroup | QFile::ReadOther)))
            options.warnings << QStringLiteral("%1 holds the MQTT password and other users may read it; keep it in a file "
                                               "of mode 0600 named by mqtt-password-file")
                                    .arg(configPath);
    }

    bool modulesGiven = false;
    bool scansGiven = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !a.startsWith(QLatin1String("--"))) {
            QString error;
            const std::optional<ModuleAddress> module = ParseModuleAddress(a, error);
            if (!module) return OptionsError{QStringLiteral("'%1': %2").arg(a, error)};
            if (!modulesGiven) options.modules.clear();
            modulesGiven = true;
            options.modules.push_back(*module);
            continue;
        }
        QString name = a.mid(2);
        std::optional<QString> value;
        if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals >= 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (name == QLatin1String("help") || name == QLatin1String("version")) {
            (name == QLatin1String("help") ? options.help : options.version) = true;
            continue;
        }
        if (name == QLatin1String("mqtt-password"))
            return OptionsError{QStringLiteral("the MQTT password is never given on the command line, where others can see "
                                               "it: put it in a file and give --mqtt-password-file FILE")};
        const OptionRule* rule = Find(name);
        if (name != QLatin1String("config") && (!rule || !rule->commandLine))
            return OptionsError{QStringLiteral("unknown option --%1").arg(name)};
        if (!value) {
            if (i + 1 >= arguments.size()) return OptionsError{QStringLiteral("--%1 needs a value").arg(name)};
            value = arguments[++i];
        }
        if (name == QLatin1String("config")) continue;
        if (name == QLatin1String("scan")) {
            if (!scansGiven) options.scans.clear();
            scansGiven = true;
        }
        if (const std::optional<QString> error = rule->set(options, *value)) return OptionsError{QStringLiteral("--") + *error};
    }

    if (!options.mqttPasswordFile.isEmpty()) {
        QString error;
        std::optional<QByteArray> password = ReadSmallFile(options.mqttPasswordFile, MaxPasswordBytes, error);
        if (!password) return OptionsError{QStringLiteral("mqtt-password-file: ") + error};
        // A file written with an editor ends with a line break that is no part of the password.
        if (password->endsWith('\n')) password->chop(1);
        if (password->endsWith('\r')) password->chop(1);
        options.mqttPassword = *password;
    }
    if (!options.mqttPassword.isEmpty() && options.mqttUser.isEmpty())
        return OptionsError{QStringLiteral("an MQTT password needs a user name (mqtt-user)")};
    return options;
}

QString BridgeUsage()
{
    return QStringLiteral(
        "Usage: zqb-bridge [--config FILE] [--mqtt HOST[:PORT]] [--mqtt-user NAME] [--mqtt-password-file FILE]\n"
        "                  [--mqtt-tls-ca FILE] [--mqtt-version 5|3.1.1] [--mqtt-client-id ID]\n"
        "                  [--discovery-prefix homeassistant] [--base-topic zqb] [--metrics ADDRESS:PORT]\n"
        "                  [--poll MS] [--link-interval S] [--counters-interval S]\n"
        "                  [--scan CIDR]... [--scan-interval S] [--scan-port PORT] [MODULE[:PORT]]...\n"
        "Puts every module named or found into MQTT (with Home Assistant discovery) and, with --metrics,\n"
        "into Prometheus. See zqb-bridge(1).\n");
}

QString BridgeVersionText() { return QStringLiteral("zqb-bridge 1.10 (20200213)\n"); }

}  // namespace zqb::bridge
