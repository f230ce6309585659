#pragma once

#include <memory>
#include <optional>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "finder/ModuleFinder.h"
#include "link/HostNetworkBackend.h"
#include "link/LinkSupervisor.h"
#include "link/ModuleScan.h"
#include "protocol/DisplayRelay.h"
#include "protocol/SessionContext.h"

namespace zqb {

// What the finder needs to know beyond the link: where the PC's interfaces come from, whether
// the console was started with a module address (wired and loopback interfaces then count, and
// that address's network is scanned too), and where the module locks lie.
struct FinderSetup {
    HostNetworkBackend* hostBackend = nullptr;
    std::optional<QString> givenModuleAddress;
    QString lockDirectory;
};

// "Find modules": scans the module networks, or a network the user types, for modules, and links
// the console to the one picked with Enter or a double click. Not modal; the scan runs on the
// event loop, so the window and the main window stay responsive and the scan can be cancelled.
class FinderWindow : public QWidget {
    Q_OBJECT
public:
    enum Column { AddressColumn, ModelColumn, FirmwareColumn, MacColumn, LocationColumn, SignalColumn, ColumnCount };

    // The display and the supervision link the console to the module picked.
    FinderWindow(SessionContext& context, DisplayRelay& display, LinkSupervisor& supervisor, FinderSetup setup,
                 QWidget* parent = nullptr);
    ~FinderWindow() override;

    // Scans the typed network, or the module networks when the field is empty. Waits for a
    // running exchange to end first; a scan already running is cancelled.
    void StartScan();
    void CancelScan();
    bool Scanning() const { return scanner_ != nullptr; }
    // Links the console to the module of a row and closes the window; a row that cannot be
    // linked says why instead.
    void LinkRow(int row);

    QLineEdit* NetworkEdit;
    QPushButton* ScanButton;
    QProgressBar* Progress;
    QPushButton* CancelButton;
    QLabel* Status;
    QTableWidget* Table;
    // The column the table is sorted by, for the keyboard: the header takes only the mouse.
    QComboBox* SortBox;
    QPushButton* CloseButton;

signals:
    void scanFinished();

protected:
    // Nobody is left to see what a scan behind a closed window finds.
    void hideEvent(QHideEvent* event) override;
    // Enter or Return in the table links the module of the current row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BeginScan(const FinderPlan& plan);
    void AddFound(const FoundModule& found);
    void EndScan();
    void SetScanning(bool scanning);
    void SelectFirstLinkable();

    SessionContext& context_;
    DisplayRelay& display_;
    LinkSupervisor& supervisor_;
    FinderSetup setup_;
    std::unique_ptr<ModuleScanner> scanner_;
    FinderPlan plan_;
    QElapsedTimer elapsed_;
    std::uint16_t scanPort_ = 0;
    bool cancelRequested_ = false;
    int found_ = 0;
    int busy_ = 0;
    int silent_ = 0;
};

}  // namespace zqb
