// What the bridge reads from topics and payloads, what it writes as state, and which resends it
// recognises.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "bridge/BridgeCommand.h"
#include "bridge/Payloads.h"
#include "bridge/RedeliveryFilter.h"

namespace zqb::bridge::test {
namespace {

TEST(BridgePayload, CommandTopicsAndPayloads)
{
    const Topics topics{QStringLiteral("site/zqb"), QStringLiteral("homeassistant"), QStringLiteral("host")};
    struct TopicCase {
        const char* topic;
        const char* id;  // nullptr: not a command topic of this bridge
        const char* command;
    };
    const TopicCase topicCases[] = {
        {"site/zqb/001ec0123456/do/set", "001ec0123456", "do/set"},
        {"site/zqb/001ec0123456/counters/clear", "001ec0123456", "counters/clear"},
        {"site/zqb/001ec0123456/state", nullptr, nullptr},
        {"site/zqb/001EC0123456/do/set", nullptr, nullptr},
        {"site/zqb/001ec012345/do/set", nullptr, nullptr},
        {"zqb/001ec0123456/do/set", nullptr, nullptr},
        {"site/zqb/bridge/host/status", nullptr, nullptr},
        {"site/zqb/001ec0123456/do/set/x", nullptr, nullptr},
    };
    for (const TopicCase& c : topicCases) {
        SCOPED_TRACE(c.topic);
        const std::optional<CommandTopic> parsed = ParseCommandTopic(topics, QLatin1String(c.topic));
        ASSERT_EQ(parsed.has_value(), c.id != nullptr);
        if (parsed) {
            EXPECT_EQ(parsed->id, QLatin1String(c.id));
            EXPECT_EQ(parsed->command, QLatin1String(c.command));
        }
    }
    EXPECT_EQ(topics.CommandFilters().size(), 5u);
    EXPECT_EQ(topics.CommandFilters().front(), QStringLiteral("site/zqb/+/do/set"));

    using Kind = BridgeCommand::Kind;
    struct PayloadCase {
        const char* command;
        QByteArray payload;
        bool ok;
        Kind kind;
    };
    const PayloadCase payloadCases[] = {
        {"do/set", "ON", true, Kind::SetDo},       {"do/set", "off", true, Kind::SetDo},
        {"do/set", " ON\n", true, Kind::SetDo},    {"do/set", "1", false, Kind::SetDo},
        {"do/set", "", false, Kind::SetDo},        {"ao/set", "2048", true, Kind::SetAnalog},
        {"ao/set", "2.5v", true, Kind::SetAnalog}, {"ao/set", "12mA", true, Kind::SetAnalog},
        {"ao/set", "12 mA", false, Kind::SetAnalog}, {"ao/set", "0x10", false, Kind::SetAnalog},
        {"ao/set", "+5", false, Kind::SetAnalog},  {"range/set", "4-20", true, Kind::SetRange},
        {"range/set", "4–20", false, Kind::SetRange}, {"counters/clear", "0", true, Kind::ClearCounter},
        {"counters/clear", "01", false, Kind::ClearCounter}, {"locate/set", "anything at all", true, Kind::Locate},
        {"do/set", QByteArray(100, 'O'), false, Kind::SetDo},  {"ao/set", "eleven", false, Kind::SetAnalog},
        {"ao/set", "-5", false, Kind::SetAnalog},           {"range/set", "0-10", false, Kind::SetRange},
        {"counters/clear", "2", false, Kind::ClearCounter},
    };
    for (const PayloadCase& c : payloadCases) {
        SCOPED_TRACE((QLatin1String(c.command) + QLatin1Char(' ') + QString::fromUtf8(c.payload.left(20))).toStdString());
        const auto parsed = ParseCommand(QLatin1String(c.command), c.payload);
        ASSERT_EQ(std::holds_alternative<BridgeCommand>(parsed), c.ok);
        if (c.ok) {
            EXPECT_EQ(std::get<BridgeCommand>(parsed).kind, c.kind);
        } else {
            EXPECT_EQ(std::get<Outcome>(parsed).kind, OutcomeKind::InputError);
        }
    }
}

TEST(BridgePayload, StateAndResult)
{
    ModuleView view;
    view.address = QStringLiteral("127.0.0.1");
    view.id = QStringLiteral("001ec0123456");
    EXPECT_TRUE(StatePayload(view).isEmpty()) << "a state before any I/O was read";
    view.io = IoState{false, true, true, 3000, true, 0xFFD3};
    view.firmware = QStringLiteral("V01.10");
    view.location = QStringLiteral("Bay \"4\"");
    QJsonObject state = QJsonDocument::fromJson(StatePayload(view)).object();
    EXPECT_EQ(state.value(QStringLiteral("di")).toArray(), (QJsonArray{false, true}));
    EXPECT_TRUE(state.value(QStringLiteral("do")).toBool());
    EXPECT_EQ(state.value(QStringLiteral("dac")).toInt(), 3000);
    EXPECT_DOUBLE_EQ(state.value(QStringLiteral("volts")).toDouble(), 7.327);
    EXPECT_DOUBLE_EQ(state.value(QStringLiteral("milliamps")).toDouble(), 14.65);
    EXPECT_EQ(state.value(QStringLiteral("percent")).toInt(), 73);
    EXPECT_EQ(state.value(QStringLiteral("range")).toString(), QStringLiteral("4-20"));
    EXPECT_EQ(state.value(QStringLiteral("signal")).toInt(), -45);
    EXPECT_TRUE(state.value(QStringLiteral("counters")).isNull());
    EXPECT_EQ(state.value(QStringLiteral("location")).toString(), QStringLiteral("Bay \"4\""));
    EXPECT_EQ(state.value(QStringLiteral("address")).toString(), QStringLiteral("127.0.0.1"));
    view.io->signalWord = 0;
    view.counters = Counters{{4294967295u, 2}};
    view.port = 1400;
    state = QJsonDocument::fromJson(StatePayload(view)).object();
    EXPECT_TRUE(state.value(QStringLiteral("signal")).isNull()) << "no strength reported reads as none, not -65536";
    EXPECT_EQ(state.value(QStringLiteral("counters")).toArray(), (QJsonArray{4294967295LL, 2}));
    EXPECT_EQ(state.value(QStringLiteral("address")).toString(), QStringLiteral("127.0.0.1:1400"));

    const QJsonObject ok = QJsonDocument::fromJson(ResultPayload(QStringLiteral("do/set"), Outcome::Done(208))).object();
    EXPECT_EQ(ok, (QJsonObject{{QStringLiteral("command"), QStringLiteral("do/set")}, {QStringLiteral("ok"), true}}));
    const QJsonObject refused = QJsonDocument::fromJson(ResultPayload(QStringLiteral("do/set"), Outcome::RefusedWith(208, 3))).object();
    EXPECT_FALSE(refused.value(QStringLiteral("ok")).toBool());
    EXPECT_EQ(refused.value(QStringLiteral("reason")).toString(), QStringLiteral("refused"));
    EXPECT_EQ(refused.value(QStringLiteral("detail")).toString(), QStringLiteral("the module refused Set DO (status 3)"));
}

TEST(BridgePayload, ResendsAreTakenOncePerSession)
{
    struct Step {
        const char* what;
        int id;
        const char* topic;
        QByteArray payload;
        std::optional<bool> sessionPresent;  // a reconnect before the message
        bool taken;
    };
    const Step steps[] = {
        {"new", 1, "t/do/set", "ON", std::nullopt, true},
        {"resend after a reconnect", 1, "t/do/set", "ON", true, false},
        {"next id", 2, "t/do/set", "ON", std::nullopt, true},
        {"same id, other message", 1, "t/do/set", "OFF", std::nullopt, true},
        {"QoS 0 repeats", 0, "t/do/set", "ON", std::nullopt, true},
        {"QoS 0 again", 0, "t/do/set", "ON", std::nullopt, true},
        {"fresh session reuses ids", 1, "t/do/set", "ON", false, true},
        {"and its resend", 1, "t/do/set", "ON", true, false},
    };
    RedeliveryFilter filter;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.sessionPresent) filter.SessionStarted(*s.sessionPresent);
        EXPECT_EQ(filter.Take(s.id, QLatin1String(s.topic), s.payload), s.taken);
    }
    // Only the messages that can still be in flight are kept.
    RedeliveryFilter small(2);
    EXPECT_TRUE(small.Take(10, QStringLiteral("t"), "x"));
    EXPECT_TRUE(small.Take(11, QStringLiteral("t"), "x"));
    EXPECT_TRUE(small.Take(12, QStringLiteral("t"), "x"));
    EXPECT_TRUE(small.Take(10, QStringLiteral("t"), "x"));
    EXPECT_FALSE(small.Take(12, QStringLiteral("t"), "x"));
}

}  // namespace
}  // namespace zqb::bridge::test
