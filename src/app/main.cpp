// zqb-console: creates the session, the four windows in their order and runs the message loop.
#include <cstdio>
#include <memory>

#include "Cfg.h"
#include "ConsoleApplication.h"
#include "ConsoleOptions.h"
#include "Counter.h"
#include "DemoModule.h"
#include "Eap_tcp.h"
#include "HostNetworkScan.h"
#include "PlatformHostNetwork.h"
#include "QtDialogs.h"
#include "Screenshot.h"
#include "SessionContext.h"
#include "Setup.h"
#include "StartupTrace.h"
#include "SimulatedHostNetwork.h"

namespace {

constexpr int ScreenshotWaitMs = 5000;

}  // namespace

int main(int argc, char** argv)
{
    using namespace zqb;
    QElapsedTimer sinceStart;
    sinceStart.start();
    ConsoleApplication app(argc, argv);
    QString error;
    const auto options = ParseConsoleOptions(app.arguments(), error);
    if (!options) {
        std::fprintf(stderr, "zqb-console: %s\n\n%s", qPrintable(error), qPrintable(ConsoleUsage()));
        return 2;
    }
    if (options->help) {
        std::printf("%s", qPrintable(ConsoleUsage()));
        return 0;
    }

    SessionContext context;
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
    if (moduleAddress) {
        context.session.hostAddress = *moduleAddress;
        context.session.staticAddressText = *moduleAddress;
        context.session.hostPort = modulePort;
        context.NetworkPrefix = PrefixOfAddress(*moduleAddress);
    }

    QtDialogs dialogs;
    app.SetErrorReporter([&dialogs](const QString& text) { dialogs.ShowError(text); });
    HostNetwork hostNetwork(*hostBackend, [&dialogs](const std::string& text) {
        dialogs.ShowError(QString::fromLocal8Bit(text.c_str()));
    });
    hostNetwork.SetCountWiredAdapters(moduleAddress.has_value());

    TForm1 form1(context, dialogs, hostNetwork);
    TForm2 form2(context, form1.Link(), form1, &form1);
    TForm3 form3(context, form1.Transport(), &form1);
    TForm4 form4(context, form1.Transport(), form1.Link(), form1, dialogs, &form1);
    form1.AttachWindows({
        [&form2] { form2.Image1Click(); },
        [&form3] { form3.Image4Click(); },
        [&form4] { form4.OpenFunctionWindow(); },
        [&form4] { form4.ApplyFunctionRecord(); },
        [&form4] { form4.UntickFunctionEnable(); },
        [&form3] { form3.ShowCounters(); },
    });
    if (qEnvironmentVariableIsSet("ZQB_TRACE_STARTUP")) new StartupTrace(form1, context.session.linked, sinceStart);
    form1.show();

    if (options->screenshotFile) {
        ScreenshotWhenReady(form1, *options->screenshotFile,
                            [&context] { return context.session.linked == 1 && context.session.commandInFlight == 0; },
                            ScreenshotWaitMs);
    }
    return app.exec();
}
