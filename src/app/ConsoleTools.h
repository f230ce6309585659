#pragma once

#include <functional>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QString>

#include "diagnostics/LinkRecordKeeper.h"
#include "finder/FinderWindow.h"
#include "link/HostNetworkBackend.h"
#include "link/LinkSupervisor.h"
#include "mainwindow/ConsoleMenu.h"
#include "mainwindow/Eap_tcp.h"
#include "platform/Dialogs.h"
#include "protocol/DisplayRelay.h"
#include "protocol/SessionContext.h"
#include "setup/DeviceSettings.h"
#include "trend/TrendRecorder.h"
#include "trend/TrendWindow.h"

namespace zqb {

struct ConsoleToolsSetup {
    HostNetworkBackend* hostBackend = nullptr;
    std::optional<QString> givenModuleAddress;  // --module or --demo
    QString lockDirectory;                      // where the module locks lie; empty: none looked at
    QString programVersion;
    std::function<void()> about;
};

// What the tools use of the module link: the session for all of them, the dialogs for the trend
// and the report, the settings for the report (their web login key is left out of it), the
// display and the supervision for the finder.
struct ConsoleToolsLinkParts {
    SessionContext& context;
    Dialogs& dialogs;
    DeviceSettings& settings;
    DisplayRelay& display;
    LinkSupervisor& supervisor;
};

// What the main window's context menu reaches: the module finder, the trend and the diagnostics
// report. The trend's history and the last link record are kept from the start of the run,
// whether a window is open or not.
class ConsoleTools : public QObject {
    Q_OBJECT
public:
    ConsoleTools(TForm1& form, const ConsoleToolsLinkParts& link, ConsoleToolsSetup setup);
    ~ConsoleTools() override;

    void OpenFinder();
    void OpenTrend();
    void SaveDiagnostics();

    ConsoleMenu& Menu() { return *menu_; }
    FinderWindow* Finder() const { return finder_; }
    TrendWindow* Trend() const { return trend_; }
    TrendHistory& History() { return recorder_.History(); }
    const LinkRecordKeeper& LinkRecords() const { return keeper_; }

private:
    void Raise(QWidget* window);

    TForm1& form_;
    ConsoleToolsLinkParts link_;
    ConsoleToolsSetup setup_;
    TrendRecorder recorder_;
    LinkRecordKeeper keeper_;
    QPointer<ConsoleMenu> menu_;
    QPointer<FinderWindow> finder_;
    QPointer<TrendWindow> trend_;
};

}  // namespace zqb
