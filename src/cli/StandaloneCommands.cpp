#include <array>

#include <QJsonObject>

#include "cli/CommandGroups.h"
#include "functioncfg/FunctionCommands.h"
#include "functioncfg/FunctionFile.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "protocol/CommandCodes.h"

namespace zqb::cli {

namespace {

struct FunctionFieldName {
    FunctionField field;
    const char* json;
};
constexpr FunctionFieldName FunctionNames[] = {
    {FunctionField::functionEnable, "enabled"},          {FunctionField::triggerEdge, "risingEdge"},
    {FunctionField::di0TrigDo, "di0TriggersDo"},         {FunctionField::di1TrigDo, "di1TriggersDo"},
    {FunctionField::doDelayOn, "doDelayOnSeconds"},      {FunctionField::doHoldAfterRelease, "doHoldSeconds"},
    {FunctionField::di0TrigDac, "di0TriggersDac"},       {FunctionField::di1TrigDac, "di1TriggersDac"},
    {FunctionField::dacOffCode, "dacOffCode"},           {FunctionField::dacOnCode, "dacOnCode"},
    {FunctionField::di0DacDelayOn, "di0DacDelaySeconds"}, {FunctionField::tOn, "tOnSeconds"},
    {FunctionField::tHold, "tHoldSeconds"},              {FunctionField::tOff, "tOffSeconds"},
    {FunctionField::di1DacDelayOn, "di1DacDelaySeconds"},
};

}  // namespace

int FunctionShow(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    if (const Outcome read = ReadFunctionConfig(m.Wiring().Transport()); !read.Ok()) return m.Finish(read);
    const bool present = m.Session().functionStored != 0;
    QJsonObject json = m.Heading(QStringLiteral("function show"));
    json.insert(QStringLiteral("present"), present);
    if (!present) {
        m.Out().Result(QStringLiteral("no function stored in the module"), json);
        return ExitDone;
    }
    const FunctionRecord& record = m.Session().functionRecord;
    std::array<std::uint32_t, FunctionFieldTable.size()> v{};
    for (const FunctionFieldLayout& layout : FunctionFieldTable)
        v[static_cast<std::size_t>(layout.field)] =
            layout.recordWidth == 1 ? record[layout.recordOffset] : GetU16(&record[layout.recordOffset]);
    const auto at = [&v](FunctionField field) { return v[static_cast<std::size_t>(field)]; };
    for (const FunctionFieldName& name : FunctionNames) {
        const FieldControl control = FunctionFieldTable[static_cast<std::size_t>(name.field)].control;
        const bool flag = control == FieldControl::Flag || control == FieldControl::Edge;
        json.insert(QLatin1String(name.json), flag ? QJsonValue(at(name.field) == 1) : QJsonValue(static_cast<qint64>(at(name.field))));
    }
    json.insert(QStringLiteral("dacOffPercent"), DacCodeToPercent(at(FunctionField::dacOffCode)));
    json.insert(QStringLiteral("dacOnPercent"), DacCodeToPercent(at(FunctionField::dacOnCode)));
    const auto yes = [](std::uint32_t value) { return value == 1 ? QStringLiteral("yes") : QStringLiteral("no"); };
    const QStringList lines = {
        QStringLiteral("function mode: %1").arg(at(FunctionField::functionEnable) == 1 ? QStringLiteral("enabled") : QStringLiteral("disabled")),
        QStringLiteral("trigger: %1").arg(at(FunctionField::triggerEdge) == 1 ? QStringLiteral("rising edge (open)")
                                                                            : QStringLiteral("falling edge (close)")),
        QStringLiteral("DO: DI0 triggers %1, DI1 triggers %2, delay to on %3 s, hold after DI release %4 s")
            .arg(yes(at(FunctionField::di0TrigDo)), yes(at(FunctionField::di1TrigDo)))
            .arg(at(FunctionField::doDelayOn))
            .arg(at(FunctionField::doHoldAfterRelease)),
        QStringLiteral("DAC: DI0 triggers %1 (delay %2 s), DI1 triggers %3 (delay %4 s)")
            .arg(yes(at(FunctionField::di0TrigDac)))
            .arg(at(FunctionField::di0DacDelayOn))
            .arg(yes(at(FunctionField::di1TrigDac)))
            .arg(at(FunctionField::di1DacDelayOn)),
        QStringLiteral("waveform: off %1 (%2%), on %3 (%4%), Ton %5 s, Thold %6 s, Toff %7 s")
            .arg(at(FunctionField::dacOffCode))
            .arg(DacCodeToPercent(at(FunctionField::dacOffCode)))
            .arg(at(FunctionField::dacOnCode))
            .arg(DacCodeToPercent(at(FunctionField::dacOnCode)))
            .arg(at(FunctionField::tOn))
            .arg(at(FunctionField::tHold))
            .arg(at(FunctionField::tOff)),
    };
    m.Out().Result(lines.join(QLatin1Char('\n')), json);
    return ExitDone;
}

namespace {

QJsonObject FileResult(ModuleSession& m, const QString& command, const QString& line)
{
    QJsonObject json = m.Heading(command);
    json.insert(QStringLiteral("file"), m.Request().file);
    json.insert(QStringLiteral("line"), line);
    return json;
}

}  // namespace

int FunctionSave(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    // The window's "Save FIle" right after linking: the same controls, the same bytes.
    const Result<QString> line = FunctionFileLine(m.Function());
    // An Off value above the On value is the module's stored function at fault, not the user.
    if (!line.Ok()) return m.Say(ExitRefused, QStringLiteral("the module's function: ") + line.outcome.rule);
    if (const Outcome written = WriteFunctionFile(m.Function(), m.Request().filePath); !written.Ok())
        return m.Finish(written, QStringLiteral("cannot write"));
    m.Out().Result(QStringLiteral("function saved to %1: %2").arg(m.Request().file, line.value),
                   FileResult(m, QStringLiteral("function save"), line.value));
    return ExitDone;
}

int FunctionLoad(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    // "Load File", then "Write Device", on the window's controls as linking left them.
    if (const Outcome read = ReadFunctionFile(m.Function(), m.Request().filePath); !read.Ok())
        return m.Finish(read, read.kind == OutcomeKind::FileError ? QStringLiteral("cannot read") : m.Request().file);
    if (const Outcome written = WriteFunctionConfig(m.Wiring().Transport(), m.Function()); !written.Ok())
        return m.Finish(written, written.kind == OutcomeKind::InputError ? m.Request().file : QString());
    const QString line = FunctionFileLine(m.Function()).value;
    m.Out().Result(QStringLiteral("function written from %1: %2").arg(m.Request().file, line),
                   FileResult(m, QStringLiteral("function load"), line));
    return ExitDone;
}

}  // namespace zqb::cli
