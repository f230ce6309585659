// /metrics scraped over HTTP while the bridge polls simulated modules: the values are the
// modules', and promtool takes the text.
#include <QProcess>
#include <QRegularExpression>

#include "bridge/BridgeRig.h"
#include "protocol/CommandCodes.h"

namespace zqb::bridge::test {
namespace {

QByteArray Scrape(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    if (!socket.waitForConnected(2000)) return {};
    socket.write("GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray response;
    while (socket.waitForReadyRead(2000)) response += socket.readAll();
    response += socket.readAll();
    const qsizetype body = response.indexOf("\r\n\r\n");
    return body < 0 ? QByteArray() : response.mid(body + 4);
}

// The value of one sample line, by its name and labels as written.
std::optional<double> Sample(const QByteArray& text, const QString& series)
{
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(series.toUtf8() + ' ')) return line.mid(series.toUtf8().size() + 1).toDouble();
    return std::nullopt;
}

TEST(BridgeMetrics, ScrapedValuesAreTheModulesAndPromtoolTakesThem)
{
    Broker broker;
    ASSERT_TRUE(broker.Start());
    auto a = StartModule(31);
    auto b = StartModule(32);
    ASSERT_TRUE(a && b);
    a->Update([](zqbsim::ModuleState& s) {
        s.diBits = 2;
        s.doBits = 1;
        s.dacCode = 2048;
        s.rssiWord = 0xFFC4;  // -60 dBm
        s.diCounters = {12, 34};
    });
    BridgeOptions options = TestOptions(broker.Port(), {a.get(), b.get()});
    options.metrics = Endpoint{QStringLiteral("127.0.0.1"), 0};
    BridgeRun run;
    ASSERT_TRUE(run.Start(options));
    const int port = run.bridge->MetricsPort();
    ASSERT_GT(port, 0);

    const QString labelsA = QStringLiteral("mac=\"%1\",module=\"127.0.0.31:%2\"").arg(ModuleId(31)).arg(a->Port());
    const QString labelsB = QStringLiteral("mac=\"%1\",module=\"127.0.0.32:%2\"").arg(ModuleId(32)).arg(b->Port());
    QByteArray text;
    ASSERT_TRUE(Eventually([&] {
        text = Scrape(port);
        return Sample(text, QStringLiteral("zqb_input_count_total{input=\"1\",%1}").arg(labelsA)) == 34.0 &&
               Sample(text, QStringLiteral("zqb_up{%1}").arg(labelsB)) == 1.0;
    }, 5000)) << text.toStdString();
    struct Expected {
        QString series;
        double value;
    };
    const Expected expected[] = {
        {QStringLiteral("zqb_up{%1}").arg(labelsA), 1},
        {QStringLiteral("zqb_digital_input{input=\"0\",%1}").arg(labelsA), 0},
        {QStringLiteral("zqb_digital_input{input=\"1\",%1}").arg(labelsA), 1},
        {QStringLiteral("zqb_digital_output{%1}").arg(labelsA), 1},
        {QStringLiteral("zqb_analog_output_code{%1}").arg(labelsA), 2048},
        {QStringLiteral("zqb_analog_output_volts{%1}").arg(labelsA), 5.002},
        {QStringLiteral("zqb_signal_dbm{%1}").arg(labelsA), -60},
        {QStringLiteral("zqb_input_count_total{input=\"0\",%1}").arg(labelsA), 12},
        {QStringLiteral("zqb_digital_output{%1}").arg(labelsB), 0},
        {QStringLiteral("zqb_signal_dbm{%1}").arg(labelsB), -45},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.series.toStdString());
        const std::optional<double> value = Sample(text, e.series);
        ASSERT_TRUE(value);
        EXPECT_DOUBLE_EQ(*value, e.value);
    }
    EXPECT_GT(Sample(text, QStringLiteral("zqb_exchange_duration_seconds_count{%1}").arg(labelsA)).value_or(0), 2);

    // A module that stops answering: down, and its failures counted by kind.
    b->SetBehaviour([] {
        zqbsim::Misbehaviour m;
        m.silent = true;
        return m;
    }());
    ASSERT_TRUE(Eventually([&] {
        text = Scrape(port);
        return Sample(text, QStringLiteral("zqb_up{%1}").arg(labelsB)) == 0.0;
    }, 8000)) << text.toStdString();
    EXPECT_GE(Sample(text, QStringLiteral("zqb_exchange_failures_total{%1,reason=\"no_reply\"}").arg(labelsB)).value_or(0), 3);
    EXPECT_FALSE(Sample(text, QStringLiteral("zqb_exchange_failures_total{%1,reason=\"no_reply\"}").arg(labelsA)));

    QProcess promtool;
    promtool.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    ASSERT_TRUE(promtool.waitForStarted(5000)) << "promtool (Debian's prometheus package) is missing";
    promtool.write(text);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(10000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardError().toStdString() << promtool.readAllStandardOutput().toStdString();
}

}  // namespace
}  // namespace zqb::bridge::test
