#include <QJsonObject>
#include <QThread>

#include "cli/CommandGroups.h"
#include "protocol/CommandCodes.h"
#include "setup/SettingRules.h"

namespace zqb::cli {

namespace {

int NeedsYes(ModuleSession& m, const QString& command)
{
    if (m.Request().yes) return ExitDone;
    return m.Say(ExitUsage, QStringLiteral("%1 restarts the module; give --yes to go ahead").arg(command));
}

QString SumText(std::uint64_t sum) { return QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

int WebKey(ModuleSession& m)
{
    // The key is never repeated in a message: the rules are said, not the text.
    const TextCheck key = CheckText(m.Request().webKey);
    if (!key.bytes) return m.Say(ExitUsage, QStringLiteral("web-key: the module stores printable Latin-1 characters only"));
    if (!key.Fits(1, MaxWebLoginKeyBytes))
        return m.Say(ExitUsage, QStringLiteral("web-key must have 1 to %1 characters").arg(MaxWebLoginKeyBytes));
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    if (const Outcome sent = m.Wiring().Settings().SendWebKey(*key.bytes); !sent.Ok()) return m.Finish(sent);
    m.Out().Result(QStringLiteral("web key written; it takes effect at once"), m.Heading(QStringLiteral("web-key")));
    return ExitDone;
}

int WifiMode(ModuleSession& m)
{
    if (const int status = NeedsYes(m, QStringLiteral("wifi-mode")); status != ExitDone) return status;
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    const bool ap = m.Request().accessPoint;
    if (const Outcome sent = m.Wiring().Settings().SendWifiMode(ap ? 2 : 0); !sent.Ok()) return m.Finish(sent);
    QJsonObject json = m.Heading(QStringLiteral("wifi-mode"));
    json.insert(QStringLiteral("wifiMode"), ap ? QStringLiteral("ap") : QStringLiteral("station"));
    m.Out().Result(QStringLiteral("Wi-Fi mode set to %1; the module restarts")
                       .arg(ap ? QStringLiteral("access point") : QStringLiteral("station")),
                   json);
    return ExitDone;
}

int ResetDefaults(ModuleSession& m)
{
    if (const int status = NeedsYes(m, QStringLiteral("reset-defaults")); status != ExitDone) return status;
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    if (const Outcome sent = m.Wiring().Settings().SendClearFlashConfig(); !sent.Ok()) return m.Finish(sent);
    m.Out().Result(QStringLiteral("stored settings cleared; the module restarts with its defaults"),
                   m.Heading(QStringLiteral("reset-defaults")));
    return ExitDone;
}

int Reboot(ModuleSession& m)
{
    if (const int status = NeedsYes(m, QStringLiteral("reboot")); status != ExitDone) return status;
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    if (const Outcome sent = m.Wiring().Settings().SendResetModule(); !sent.Ok()) return m.Finish(sent);
    m.Out().Result(QStringLiteral("restart sent; the module restarts"), m.Heading(QStringLiteral("reboot")));
    return ExitDone;
}

int Firmware(ModuleSession& m)
{
    if (const Outcome linked = m.Link(); !linked.Ok()) return m.Finish(linked);
    SessionContext& context = m.Context();
    const Outcome uploaded = m.Wiring().Firmware().UploadImageFile(m.Request().filePath);
    m.Progress().Finish();
    if (!uploaded.Ok()) return m.Finish(uploaded);
    // Only model 184 is linked, so the image went out with its checksum request: the verdict
    // comes with the answer, or one of its re-issues on the window's 100 ms timer, or as the
    // give-up after the last of them.
    for (int tick = 0; !context.imageVerdict && context.session.replyOverdue == 1 && tick < 100000; ++tick) {
        QThread::msleep(static_cast<unsigned long>(m.Services().firmwareTickMs));
        m.Wiring().Replies().OverdueTick();
    }
    if (!context.imageVerdict)
        return m.Finish(Outcome::Silent(GetImageChecksum), QStringLiteral("no checksum verdict"));
    const Outcome& verdict = *context.imageVerdict;
    if (!verdict.Ok()) return m.Finish(verdict, QStringLiteral("the image was sent, but the module's check failed"));
    QJsonObject json = m.Heading(QStringLiteral("firmware"));
    json.insert(QStringLiteral("file"), m.Request().file);
    json.insert(QStringLiteral("checksum"), SumText(context.imageSum));
    json.insert(QStringLiteral("verdict"), QStringLiteral("match"));
    m.Out().Result(QStringLiteral("firmware image %1 sent and checked: the module's checksum %2 matches")
                       .arg(m.Request().file, SumText(context.imageSum)),
                   json);
    return ExitDone;
}

}  // namespace zqb::cli
