#include <algorithm>

#include <QFile>
#include <QJsonObject>

#include "cli/CommandGroups.h"
#include "cli/SettingsPlan.h"
#include "platform/SafeFile.h"
#include "protocol/AnsiText.h"
#include "setup/SettingsFile.h"

namespace zqb::cli {

namespace {

// A settings file as "settings restore" takes it: a regular file of exactly 256 bytes.
Result<DeviceConfigRecord> ReadSettingsFile(const QByteArray& path, const QString& name)
{
    const auto size = static_cast<qint64>(DeviceConfigRecordSize);
    const FileRead file = ReadRegularFile(path, size + 1, false);
    if (!file.read) return {Outcome::File(name, file.reason), {}};
    if (file.bytes.size() != size) {
        const bool longer = file.bytes.size() > size;
        return {Outcome::BadInput(name, QStringLiteral("it is no settings record: it holds %1 bytes, a settings record exactly %2")
                                            .arg((longer ? QStringLiteral("more than ") : QString()) +
                                                     QString::number(std::min(file.bytes.size(), size)),
                                                 QString::number(size))),
                {}};
    }
    DeviceConfigRecord record{};
    std::copy(file.bytes.begin(), file.bytes.end(), record.begin());
    return {Outcome::Done(), record};
}

bool Confirmed(ModuleSession& m, const QString& question)
{
    m.Out().Raw(QStringLiteral("zqb: %1 [y/N] ").arg(question));
    const std::optional<QString> answer = m.Out().GetTerminal().ReadLine();
    const QString word = answer ? answer->trimmed().toLower() : QString();
    return word == QLatin1String("y") || word == QLatin1String("yes");
}

}  // namespace

int SettingsBackup(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const DeviceConfigRecord& record = m.Session().deviceConfigRecord;
    const QString& path = m.Request().file;
    // The record holds both Wi-Fi keys in clear: only its owner may read it.
    const FileWrite written = WriteWholeFile(m.Request().filePath,
                                             QByteArray(reinterpret_cast<const char*>(record.data()),
                                                        static_cast<qsizetype>(record.size())),
                                             FileMode::Private);
    if (!written.written) return m.Finish(Outcome::File(path, written.reason), QStringLiteral("cannot write"));
    const auto size = static_cast<qint64>(record.size());
    QJsonObject json = m.Heading(QStringLiteral("settings backup"));
    json.insert(QStringLiteral("file"), path);
    json.insert(QStringLiteral("bytes"), size);
    m.Out().Result(QStringLiteral("settings record of the module saved to %1 (%2 bytes)").arg(path, QString::number(size)), json);
    return ExitDone;
}

int SettingsRestore(ModuleSession& m)
{
    const QString& path = m.Request().file;
    const Result<DeviceConfigRecord> bytes = ReadSettingsFile(m.Request().filePath, path);
    if (!bytes.Ok()) return m.Finish(bytes.outcome);
    // A file that cannot be a settings record is refused before the module is asked anything.
    if (const Outcome checked = CheckSettingsRecord(bytes.value); !checked.Ok())
        return m.Finish(checked, path + QStringLiteral(" is no settings record this module can take"));
    if (!m.Request().yes && !m.Out().GetTerminal().InIsTerminal())
        return m.Say(ExitUsage, QStringLiteral("settings restore asks before writing; give --yes to write without asking"));
    // The record's layout is model 184's: Link refuses any other model.
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    if (!m.Request().yes) {
        const QString question = QStringLiteral("write %1 as the settings of the module at %2 (MAC %3, location \"%4\")?")
                                     .arg(path, m.ModuleText(), m.record->MacText(), PrintableText(m.Session().locationText));
        if (!Confirmed(m, question)) return m.Say(ExitUsage, QStringLiteral("nothing written"));
    }
    const Outcome restored = m.Wiring().Settings().RestoreRecord(bytes.value);
    m.Progress().Finish();
    if (!restored.Ok()) return m.Finish(restored);
    QJsonObject json = m.Heading(QStringLiteral("settings restore"));
    json.insert(QStringLiteral("file"), path);
    json.insert(QStringLiteral("bytes"), static_cast<qint64>(DeviceConfigRecordSize));
    m.Out().Result(QStringLiteral("settings file written from %1; it takes effect when the module restarts").arg(path), json);
    return ExitDone;
}

int SettingsSet(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const Result<SettingsPlan> plan = PlanSettings(m.Request().settings, m.Session());
    if (!plan.Ok()) return m.Finish(plan.outcome);
    DeviceSettings& settings = m.Wiring().Settings();
    const Outcome written = settings.WriteRecord(plan.value.record);
    m.Progress().Finish();
    if (!written.Ok()) return m.Finish(written);
    if (plan.value.modbusChanged) {
        m.Services().pauses.Pause(DeviceSettings::ConfigWrittenPauseMs);
        if (const Outcome told = settings.SendConfigWritten(); !told.Ok())
            return m.Finish(told, QStringLiteral("the settings file was stored, but telling the module so failed"));
    }
    QJsonObject json = m.Heading(QStringLiteral("settings set"));
    json.insert(QStringLiteral("settings"), plan.value.json);
    m.Out().Result(QStringLiteral("settings written: %1; they take effect when the module restarts")
                       .arg(plan.value.written.join(QStringLiteral(", "))),
                   json);
    return ExitDone;
}

}  // namespace zqb::cli
