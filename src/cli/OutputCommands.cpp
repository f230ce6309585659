#include <QJsonArray>

#include "cli/AnalogTarget.h"
#include "cli/CommandGroups.h"
#include "cli/LinkReport.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/ModuleReadings.h"

namespace zqb::cli {

namespace {

Outcome SendAnalog(ModuleSession& m, std::int32_t code)
{
    const auto output = static_cast<std::uint16_t>(code);
    return m.Exchange(SetAnalog, [output](CommandFrame& f) { return BuildSetAnalog(f, 1, output); });
}

void InsertDac(QJsonObject& json, std::int32_t code)
{
    const QJsonObject dac = DacJson(code);
    for (auto it = dac.begin(); it != dac.end(); ++it) json.insert(it.key(), it.value());
}

}  // namespace

int SetDoCommand(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const std::uint8_t level = m.Request().doOn ? 1 : 0;
    const Result<IoBits> set = SetDigitalOutput(m.Context(), m.Wiring().Transport(), 1, level);
    if (!set.Ok()) return m.Finish(set.outcome);
    const std::uint8_t di = set.value.diBits;
    const bool out = (set.value.doBits & 1) != 0;
    if (const Outcome differs = JudgeSetDo(m.Request().doOn, set.value.doBits); !differs.Ok())
        return m.Finish(differs, QStringLiteral("DO %1").arg(OnOff(m.Request().doOn)));
    QJsonObject json = m.Heading(QStringLiteral("do"));
    json.insert(QStringLiteral("do"), out);
    json.insert(QStringLiteral("di"), QJsonArray{(di & 1) != 0, (di & 2) != 0});
    m.Out().Result(QStringLiteral("DO %1 (DI0 %2, DI1 %3)").arg(OnOff(out), OnOff(di & 1), OnOff(di & 2)), json);
    return ExitDone;
}

int SetAnalogCommand(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const bool fourToTwenty = m.record->fourToTwenty;
    const Result<std::int32_t> code = AnalogCode(m.Request().analog, fourToTwenty);
    if (!code.Ok()) return m.Finish(code.outcome);
    if (const Outcome sent = SendAnalog(m, code.value); !sent.Ok()) return m.Finish(sent);
    QJsonObject json = m.Heading(QStringLiteral("ao"));
    InsertDac(json, code.value);
    json.insert(QStringLiteral("range"), RangeName(fourToTwenty));
    m.Out().Result(QStringLiteral("AO %1").arg(DacText(code.value)), json);
    return ExitDone;
}

int SetRangeCommand(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const bool fourToTwenty = m.Request().fourToTwenty;
    // As the window ticks "4~20mA": an output below 4 mA is raised to it first.
    const bool raised = RangeRaisesOutput(fourToTwenty, m.record->dacCode);
    if (raised) {
        if (const Outcome sent = SendAnalog(m, FourMilliampCode); !sent.Ok()) return m.Finish(sent);
    }
    const std::uint8_t range = fourToTwenty ? 1 : 0;
    if (const Outcome sent = m.Exchange(SetOutputRange, [range](CommandFrame& f) { return BuildSetOutputRange(f, range); });
        !sent.Ok())
        return m.Finish(sent);
    QJsonObject json = m.Heading(QStringLiteral("range"));
    json.insert(QStringLiteral("range"), RangeName(fourToTwenty));
    json.insert(QStringLiteral("raisedTo"), raised ? QJsonValue(FourMilliampCode) : QJsonValue());
    m.Out().Result(QStringLiteral("range %1 mA%2")
                       .arg(RangeName(fourToTwenty),
                            raised ? QStringLiteral(" (AO raised to %1)").arg(DacText(FourMilliampCode)) : QString()),
                   json);
    return ExitDone;
}

int LocateCommand(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const DeviceSession& s = m.Session();
    const std::uint8_t p1 = s.queuedParam1;
    const std::uint8_t p2 = s.queuedParam2;
    if (const Outcome sent = m.Exchange(SetLocator, [p1, p2](CommandFrame& f) { return BuildSetLocator(f, p1, p2); }); !sent.Ok())
        return m.Finish(sent);
    m.Out().Result(QStringLiteral("locator set: the module shows where it is"), m.Heading(QStringLiteral("locate")));
    return ExitDone;
}

int CountersCommand(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const std::optional<int> clear = m.Request().clearCounter;
    if (clear) {
        const auto input = static_cast<std::uint8_t>(*clear);
        if (const Outcome sent = m.Exchange(ClearDiCounter, [input](CommandFrame& f) { return BuildClearDiCounter(f, input); });
            !sent.Ok())
            return m.Finish(sent);
    }
    const Result<CounterReading> read = ReadDiCounters(m.Context(), m.Wiring().Transport());
    if (!read.Ok()) return m.Finish(read.outcome);
    const CounterReading& counts = read.value;
    QJsonObject json = m.Heading(QStringLiteral("counters"));
    json.insert(QStringLiteral("di0"), static_cast<qint64>(counts.di0));
    json.insert(QStringLiteral("di1"), static_cast<qint64>(counts.di1));
    json.insert(QStringLiteral("cleared"), clear ? QJsonValue(*clear) : QJsonValue());
    m.Out().Result(QStringLiteral("DI0 %1  DI1 %2%3")
                       .arg(counts.di0)
                       .arg(counts.di1)
                       .arg(clear ? QStringLiteral("  (DI%1 cleared first)").arg(*clear) : QString()),
                   json);
    return ExitDone;
}

}  // namespace zqb::cli
