// zqb-window-shots DIR: pictures of every window in each of its looks, the About box and the
// message boxes, under a light and a dark desktop palette (DIR/light, DIR/dark), for a person to
// check that the layout holds (every caption whole, every text readable) with the fonts of this
// machine. Runs offscreen against the simulator on 127.0.0.1.
#include <cstdio>

#include <QTemporaryDir>
#include <QApplication>
#include <QDir>

#include "app/DemoModule.h"
#include "mainwindow/AboutBox.h"
#include "mainwindow/Eap_tcp.h"
#include "link/ModuleLink.h"
#include "link/SimulatedHostNetwork.h"
#include "platform/QtDialogs.h"
#include "platform/WindowLook.h"
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
    return ok;
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
