#include "bridge/Payloads.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "bridge/BridgeCommand.h"
#include "protocol/DacText.h"

namespace zqb::bridge {

namespace {

bool IsModuleId(const QString& text)
{
    if (text.size() != 12) return false;
    for (const QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')))) return false;
    return true;
}

QByteArray Compact(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

}  // namespace

std::vector<QString> Topics::CommandFilters() const
{
    std::vector<QString> filters;
    for (const QString& command : CommandNames()) filters.push_back(base + QStringLiteral("/+/") + command);
    return filters;
}

std::optional<CommandTopic> ParseCommandTopic(const Topics& topics, const QString& topic)
{
    const QString head = topics.base + QLatin1Char('/');
    if (!topic.startsWith(head)) return std::nullopt;
    const QString rest = topic.mid(head.size());
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) return std::nullopt;
    CommandTopic parsed{rest.left(slash), rest.mid(slash + 1)};
    if (!IsModuleId(parsed.id) || !CommandNames().contains(parsed.command)) return std::nullopt;
    return parsed;
}

QByteArray StatePayload(const ModuleView& view)
{
    if (!view.io) return {};
    const IoState& io = *view.io;
    const std::int32_t code = io.dacCode;
    QJsonObject state{
        {QStringLiteral("di"), QJsonArray{io.di0, io.di1}},
        {QStringLiteral("do"), io.out},
        {QStringLiteral("dac"), code},
        {QStringLiteral("volts"), DacVolts(code)},
        {QStringLiteral("milliamps"), DacMilliamps(code)},
        {QStringLiteral("percent"), DacPercent(code)},
        {QStringLiteral("range"), io.fourToTwenty ? QStringLiteral("4-20") : QStringLiteral("0-20")},
        {QStringLiteral("signal"), io.signalWord ? QJsonValue(static_cast<int>(io.signalWord) - 65536) : QJsonValue()},
        {QStringLiteral("counters"), view.counters ? QJsonValue(QJsonArray{static_cast<qint64>(view.counters->values[0]),
                                                                           static_cast<qint64>(view.counters->values[1])})
                                                   : QJsonValue()},
        {QStringLiteral("firmware"), view.firmware},
        {QStringLiteral("location"), view.location},
        {QStringLiteral("address"), view.port == 13577 ? view.address : view.Key()},
    };
    return Compact(state);
}

std::vector<Publication> DiscoveryConfigs(const Topics& topics, const ModuleView& view)
{
    if (view.id.isEmpty()) return {};
    const QString node = QStringLiteral("zqb_") + view.id;
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("connections"), QJsonArray{QJsonArray{QStringLiteral("mac"), view.macText.toLower()}}},
        {QStringLiteral("model"), view.model},
        {QStringLiteral("sw_version"), view.firmware},
        {QStringLiteral("name"), view.location.trimmed().isEmpty() ? QStringLiteral("zQB ") + view.id : view.location},
    };
    // Both must be online: the module's own word, and the bridge's (its last will says offline
    // when it goes away unannounced, which the module's retained word could not). The list form
    // holds both, so no availability_topic beside it: the two forms exclude each other.
    const auto online = [](const QString& topic) {
        return QJsonObject{{QStringLiteral("topic"), topic},
                           {QStringLiteral("payload_available"), QStringLiteral("online")},
                           {QStringLiteral("payload_not_available"), QStringLiteral("offline")}};
    };
    const QJsonArray availability{online(topics.Module(view.id, "availability")), online(topics.BridgeStatus())};
    const QString state = topics.Module(view.id, "state");

    struct Entity {
        const char* component;
        const char* object;
        const char* name;
        QJsonObject fields;
    };
    const QString onOff = QStringLiteral("{{ 'ON' if value_json.%1 else 'OFF' }}");
    const std::vector<Entity> entities = {
        {"binary_sensor", "di0", "DI0", {{QStringLiteral("value_template"), onOff.arg(QStringLiteral("di[0]"))}}},
        {"binary_sensor", "di1", "DI1", {{QStringLiteral("value_template"), onOff.arg(QStringLiteral("di[1]"))}}},
        {"switch", "do", "DO",
         {{QStringLiteral("value_template"), onOff.arg(QStringLiteral("do"))},
          {QStringLiteral("command_topic"), topics.Module(view.id, "do/set")},
          {QStringLiteral("payload_on"), QStringLiteral("ON")},
          {QStringLiteral("payload_off"), QStringLiteral("OFF")}}},
        {"number", "ao", "AO",
         {{QStringLiteral("value_template"), QStringLiteral("{{ value_json.dac }}")},
          {QStringLiteral("command_topic"), topics.Module(view.id, "ao/set")},
          {QStringLiteral("min"), 0},
          {QStringLiteral("max"), 4095},
          {QStringLiteral("step"), 1},
          {QStringLiteral("mode"), QStringLiteral("box")}}},
        {"select", "range", "Range",
         {{QStringLiteral("value_template"), QStringLiteral("{{ value_json.range }}")},
          {QStringLiteral("command_topic"), topics.Module(view.id, "range/set")},
          {QStringLiteral("options"), QJsonArray{QStringLiteral("0-20"), QStringLiteral("4-20")}}}},
        {"sensor", "signal", "Signal",
         {{QStringLiteral("value_template"), QStringLiteral("{{ value_json.signal }}")},
          {QStringLiteral("unit_of_measurement"), QStringLiteral("dBm")},
          {QStringLiteral("device_class"), QStringLiteral("signal_strength")},
          {QStringLiteral("state_class"), QStringLiteral("measurement")},
          {QStringLiteral("entity_category"), QStringLiteral("diagnostic")}}},
        {"sensor", "counter0", "Counter 0",
         {{QStringLiteral("value_template"), QStringLiteral("{{ value_json.counters[0] }}")},
          {QStringLiteral("state_class"), QStringLiteral("total_increasing")}}},
        {"sensor", "counter1", "Counter 1",
         {{QStringLiteral("value_template"), QStringLiteral("{{ value_json.counters[1] }}")},
          {QStringLiteral("state_class"), QStringLiteral("total_increasing")}}},
        {"button", "locate", "Locate",
         {{QStringLiteral("command_topic"), topics.Module(view.id, "locate/set")},
          {QStringLiteral("payload_press"), QStringLiteral("PRESS")}}},
    };

    std::vector<Publication> configs;
    for (const Entity& e : entities) {
        QJsonObject config = e.fields;
        const QString unique = node + QLatin1Char('_') + QLatin1String(e.object);
        config.insert(QStringLiteral("name"), QLatin1String(e.name));
        config.insert(QStringLiteral("unique_id"), unique);
        // The entity id asked for, as the dashboard's current discovery takes it (it replaced
        // object_id, which it no longer reads).
        config.insert(QStringLiteral("default_entity_id"), QLatin1String(e.component) + QLatin1Char('.') + unique);
        config.insert(QStringLiteral("device"), device);
        config.insert(QStringLiteral("availability"), availability);
        config.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
        if (QLatin1String(e.component) != QLatin1String("button")) config.insert(QStringLiteral("state_topic"), state);
        const QString topic = topics.discoveryPrefix + QLatin1Char('/') + QLatin1String(e.component) + QLatin1Char('/') + node +
                              QLatin1Char('/') + QLatin1String(e.object) + QStringLiteral("/config");
        configs.push_back({topic, Compact(config)});
    }
    return configs;
}

QByteArray ResultPayload(const QString& command, const Outcome& outcome)
{
    QJsonObject result{{QStringLiteral("command"), command}, {QStringLiteral("ok"), outcome.Ok()}};
    if (!outcome.Ok()) {
        result.insert(QStringLiteral("reason"), QLatin1String(OutcomeKindName(outcome.kind)));
        QString detail = DescribeOutcome(outcome);
        if (!outcome.detail.isEmpty()) detail += QStringLiteral(" (") + outcome.detail + QLatin1Char(')');
        result.insert(QStringLiteral("detail"), detail);
    }
    return Compact(result);
}

}  // namespace zqb::bridge
