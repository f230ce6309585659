// zqb-window-shots DIR: pictures of every window in each of its looks, the About box and the
// message boxes, under a light and a dark desktop palette (DIR/light, DIR/dark), for a person to
// check that the layout holds (every caption whole, every text readable) with the fonts of this
// machine. Runs offscreen against the simulator on 127.0.0.1.
#include <cstdio>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QTemporaryDir>

#include "app/ConsoleTools.h"
#include "app/DemoModule.h"
#include "mainwindow/AboutBox.h"
#include "mainwindow/Eap_tcp.h"
#include "link/ModuleLink.h"
#include "link/SimulatedHostNetwork.h"
#include "platform/QtDialogs.h"
#include "platform/WindowLook.h"
#include "protocol/ModuleLock.h"
#include "support/DesktopPalettes.h"

namespace {

bool Save(QWidget& window, const QString& folder, const char* name)
{
    const bool wasVisible = window.isVisible();
    window.show();  // the windows set themselves up when shown
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const bool saved = window.grab().save(path, "PNG");
    if (!wasVisible) window.hide();
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

// Answers every box and logs it, so no modal loop waits for a person.
class LoggingDialogs : public zqb::Dialogs {
public:
    zqb::MessageAnswer ShowMessage(const QString& text, const QString& caption, zqb::MessageIcon,
                                   zqb::MessageButtons buttons) override
    {
        std::printf("box [%s] %s\n", qPrintable(caption), qPrintable(text));
        return buttons == zqb::MessageButtons::YesNo ? zqb::MessageAnswer::No : zqb::MessageAnswer::Ok;
    }
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
};

// Ten minutes of polls every 3.1 s: the output ramping, the inputs switching, the signal
// wandering, and the link lost for half a minute.
void FillTrend(zqb::TrendHistory& history)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 start = now - 10 * 60 * 1000;
    for (qint64 at = start; at <= now; at += 3100) {
        const qint64 t = (at - start) / 1000;
        zqb::TrendSample sample;
        sample.atMs = at;
        if (t > 300 && t < 330) {
            sample.gap = true;
        } else {
            sample.dacCode = static_cast<std::int32_t>((t * 9) % 4096);
            sample.diBits = static_cast<std::uint8_t>(((t / 40) % 2) | (((t / 95) % 2) << 1));
            sample.doBits = static_cast<std::uint8_t>((t / 150) % 2);
            sample.signalDbm = -52 - static_cast<int>((t / 17) % 9);
        }
        history.Append(sample);
    }
}

// The context menu's windows: three more modules beside the demo's, one of them held by another
// program for a file write.
bool SaveTools(zqb::TForm1& form, zqb::ModuleLink& link, zqb::HostNetworkBackend& hostBackend, std::uint16_t port,
               const QString& folder)
{
    std::vector<std::unique_ptr<zqbsim::ModuleSimulator>> others;
    for (int i = 2; i <= 4; ++i) {
        auto other = std::make_unique<zqbsim::ModuleSimulator>();
        zqbsim::ModuleState state;
        state.reportedAddress = {127, 0, 0, static_cast<std::uint8_t>(i)};
        state.mac[5] = static_cast<std::uint8_t>(i);
        state.location = i == 2 ? "Boiler room <b>east</b>" : "Bench " + QByteArray::number(i);
        state.rssiWord = static_cast<std::uint16_t>(65536 - 60 - i);
        if (i == 3) state.modelCode = 99;
        other->SetState(state);
        if (other->Start(port, QHostAddress(QStringLiteral("127.0.0.%1").arg(i)))) others.push_back(std::move(other));
    }
    QTemporaryDir locks;
    zqb::ModuleLock held;
    held.Aim(locks.path().toStdString(), "127.0.0.4", port);
    held.Exclusive(0);
    zqb::ConsoleToolsSetup toolsSetup{&hostBackend, QStringLiteral("127.0.0.1"), locks.path(),
                                      QStringLiteral("zqb-window-shots"), {}};
    zqb::ConsoleTools tools(form, {link.Context(), link.GetDialogs(), link.Settings(), link.Display(), link.Supervisor()},
                            toolsSetup);
    FillTrend(tools.History());
    tools.Menu().PopUp(form.mapToGlobal(QPoint(120, 160)));
    QApplication::processEvents();
    bool ok = Save(*tools.Menu().Menu, folder, "menu");
    tools.Menu().Menu->hide();
    tools.OpenFinder();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000 && tools.Finder()->Scanning()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    ok = Save(*tools.Finder(), folder, "finder") && ok;
    tools.OpenTrend();
    ok = Save(*tools.Trend(), folder, "trend") && ok;
    tools.Finder()->hide();
    tools.Trend()->hide();
    return ok;
}

// Every window and box, built under the desktop palette in force.
bool SaveAll(const QString& folder)
{
    QDir().mkpath(folder);
    auto module = zqb::StartDemoModule();
    if (!module) return false;
    module->Update([](zqbsim::ModuleState& s) { s.location = "Pump house 3, north wall, bay 12"; });

    LoggingDialogs dialogs;
    zqb::SimulatedHostNetwork hostBackend = zqb::SimulatedHostNetwork::LoopbackOnly();
    zqb::HostNetwork hostNetwork(hostBackend, [](const std::string&) {});
    zqb::ThreadPauses pauses;
    QTemporaryDir locks;
    zqb::ModuleLink link(hostNetwork, dialogs, pauses, locks.path().toStdString());
    link.AimAt(QStringLiteral("127.0.0.1"), module->Port());
    hostNetwork.SetCountWiredAdapters(true);

    zqb::TForm1 form(link);
    form.Timer1->stop();
    form.Timer3().Stop();
    form.show();
    bool ok = Save(form, folder, "main-no-module");
    form.SetupWindow().ShowSessionSettings();
    ok = Save(form.SetupWindow(), folder, "setup-before-link") && ok;
    form.FormActivate();
    link.Supervisor().LinkTimerTick();
    ok = Save(form, folder, "main-linked") && ok;
    form.Analog().CheckBox2->setChecked(true);
    ok = Save(form, folder, "main-linked-4-20mA") && ok;
    form.CounterWindow().RequestDiCounters();
    link.Supervisor().LinkTimerTick();
    ok = Save(form.CounterWindow(), folder, "counter") && ok;
    ok = Save(form.FunctionWindow(), folder, "function") && ok;
    form.SetupWindow().ShowSessionSettings();
    form.SetupWindow().Edit6->setText(QStringLiteral("web12"));  // masked
    ok = Save(form.SetupWindow(), folder, "setup-linked") && ok;
    ok = Save(*zqb::MakeAboutBox(&form), folder, "about") && ok;
    ok = Save(*zqb::MakeMessageBox(QStringLiteral("Reset to default setting, execute?\n    . Device will Reboot immediately!"),
                                   QStringLiteral("Confirm"), zqb::MessageIcon::Question, zqb::MessageButtons::YesNo, true,
                                   &form),
              folder, "confirmation") &&
         ok;
    form.SetupWindow().hide();
    // A module that stops answering while the network stays: "Not linked", what it reported greyed.
    const std::uint16_t port = module->Port();
    module->Stop();
    link.Context().session.linkTick = zqb::PeriodicCheckTick;
    link.Supervisor().LinkTimerTick();
    ok = Save(form, folder, "main-module-stopped") && ok;
    if (!module->Start(port)) return false;
    link.Supervisor().RequestLink();
    link.Supervisor().LinkTimerTick();
    return SaveTools(form, link, hostBackend, module->Port(), folder) && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ZQB_LOOPBACK_ONLY", "1");
    QApplication app(argc, argv);
    const bool tahoma = zqb::ApplyWindowLook();
    std::printf("Tahoma-metric face %s\n", tahoma ? "registered" : "not installed: narrow fallback");
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("out/windows");

    bool ok = SaveAll(QDir(folder).filePath(QStringLiteral("light")));
    QApplication::setPalette(zqb::test::DarkDesktopPalette());
    ok = SaveAll(QDir(folder).filePath(QStringLiteral("dark"))) && ok;
    return ok ? 0 : 1;
}
