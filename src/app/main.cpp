// zqb-console: reads its options, creates the link to the module and the four windows in their
// order, and runs the message loop.
#include <cstdio>
#include <memory>

#include "app/ConsoleApplication.h"
#include "link/ConsoleOptions.h"
#include "app/ConsoleTools.h"
#include "mainwindow/AboutBox.h"
#include "app/DemoModule.h"
#include "mainwindow/Eap_tcp.h"
#include "link/HostNetworkScan.h"
#include "protocol/ModuleLock.h"
#include "link/ModuleLink.h"
#include "platform/Pauses.h"
#include "link/PlatformHostNetwork.h"
#include "platform/QtDialogs.h"
#include "app/Screenshot.h"
#include "link/SimulatedHostNetwork.h"
#include "app/StartupTrace.h"
#include "platform/WindowLook.h"

namespace {

constexpr int ScreenshotWaitMs = 5000;

}  // namespace

int main(int argc, char** argv)
{
    using namespace zqb;
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Options first: help, version and mistakes need no display and no application object.
    QString error;
    const auto options = ParseConsoleOptions(ProgramArguments(argc, argv), error);
    if (!options) {
        std::fprintf(stderr, "zqb-console: %s\n\n%s", qPrintable(error), qPrintable(ConsoleUsage()));
        return 2;
    }
    if (options->help || options->version) {
        std::printf("%s", qPrintable(options->help ? ConsoleUsage() : ConsoleVersion()));
        return 0;
    }

    ConsoleApplication app(argc, argv);
    ApplyWindowLook();

    std::unique_ptr<zqbsim::ModuleSimulator> demoModule;
    std::unique_ptr<HostNetworkBackend> hostBackend;
    std::optional<QString> moduleAddress = options->moduleAddress;
    std::uint16_t modulePort = options->modulePort;
    if (options->demo) {
        // The demo talks to its own simulator and nowhere else.
        qputenv("ZQB_LOOPBACK_ONLY", "1");
        demoModule = StartDemoModule();
        if (!demoModule) {
            std::fprintf(stderr, "zqb-console: the built-in module simulator could not start\n");
            return 1;
        }
        moduleAddress = QStringLiteral("127.0.0.1");
        modulePort = demoModule->Port();
        hostBackend = std::make_unique<SimulatedHostNetwork>(SimulatedHostNetwork::LoopbackOnly());
    } else {
        hostBackend = MakePlatformHostNetwork();
    }

    QtDialogs dialogs;
    app.SetErrorReporter([&dialogs](const QString& text) { dialogs.ShowError(text); });
    HostNetwork hostNetwork(*hostBackend, [&dialogs](const std::string& text) {
        dialogs.ShowError(QString::fromLocal8Bit(text.c_str()));
    });
    hostNetwork.SetCountWiredAdapters(moduleAddress.has_value());

    ThreadPauses pauses;
    // Without a private folder for the module locks the console still runs; it can then not keep
    // other programs of this PC off a module during a file write, and says so in its log.
    std::string lockProblem;
    ModuleLink link(hostNetwork, dialogs, pauses, ModuleLink::DefaultLockDirectory(lockProblem));
    SessionContext& context = link.Context();
    if (moduleAddress) link.AimAt(*moduleAddress, modulePort);

    TForm1 form1(link);
    if (!lockProblem.empty()) form1.AppendLog(QStringLiteral("Module lock: ") + QString::fromLocal8Bit(lockProblem.c_str()));
    ConsoleToolsSetup toolsSetup{hostBackend.get(), moduleAddress,
                                 QString::fromStdString(ModuleLink::DefaultLockDirectory(lockProblem)),
                                 ConsoleVersion().trimmed(), [&form1] { ShowAboutBox(&form1); }};
    ConsoleTools tools(form1, {context, link.GetDialogs(), link.Settings(), link.Display(), link.Supervisor()},
                       toolsSetup);
    if (qEnvironmentVariableIsSet("ZQB_TRACE_STARTUP")) new StartupTrace(form1, context.session.linked, sinceStart);
    form1.show();

    if (options->screenshotFile) {
        ScreenshotWhenReady(form1, *options->screenshotFile,
                            [&context] { return context.session.linked == 1 && context.session.commandInFlight == 0; },
                            ScreenshotWaitMs);
    }
    return app.exec();
}
