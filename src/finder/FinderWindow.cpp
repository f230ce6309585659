#include "finder/FinderWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QShortcut>
#include <QVBoxLayout>

#include "link/AfterExchange.h"
#include "platform/WindowLook.h"
#include "protocol/AnsiText.h"
#include "protocol/Ipv4Text.h"

namespace zqb {

namespace {

constexpr int SortKeyRole = Qt::UserRole;
constexpr int AddressRole = Qt::UserRole + 1;
constexpr int LinkableRole = Qt::UserRole + 2;
constexpr int NoteRole = Qt::UserRole + 3;

// Sorts by its number where it has one (addresses, firmware, signal), else by its text.
class TableItem : public QTableWidgetItem {
public:
    explicit TableItem(const QString& text, std::optional<qint64> key = std::nullopt) : QTableWidgetItem(text)
    {
        if (key) setData(SortKeyRole, *key);
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        const QVariant mine = data(SortKeyRole);
        const QVariant theirs = other.data(SortKeyRole);
        if (mine.isValid() && theirs.isValid()) return mine.toLongLong() < theirs.toLongLong();
        if (mine.isValid() != theirs.isValid()) return theirs.isValid();  // rows without a value go first
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

QString Seconds(qint64 ms) { return QString::number(ms / 1000.0, 'f', 1) + QStringLiteral(" s"); }

QString Plural(int n, const QString& one, const QString& many) { return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many); }

}  // namespace

FinderWindow::FinderWindow(SessionContext& context, DisplayRelay& display, LinkSupervisor& supervisor,
                           FinderSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window),
      context_(context),
      display_(display),
      supervisor_(supervisor),
      setup_(std::move(setup))
{
    setWindowTitle(QStringLiteral("Find modules"));
    // A desktop palette's selection and greyed texts can fall below 4.5:1; the windows' own keep it.
    PinWindowPalette(this, LookColour::ButtonFace);
    setAccessibleName(QStringLiteral("Find modules"));

    auto* networkLabel = new QLabel(QStringLiteral("&Network:"), this);
    NetworkEdit = new QLineEdit(this);
    NetworkEdit->setPlaceholderText(QStringLiteral("empty: the module networks; or e.g. 192.168.1.0/24"));
    NetworkEdit->setAccessibleName(QStringLiteral("Network to scan"));
    NetworkEdit->setMaxLength(18);  // "255.255.255.255/32"
    networkLabel->setBuddy(NetworkEdit);
    ScanButton = new QPushButton(QStringLiteral("&Scan"), this);
    ScanButton->setAccessibleName(QStringLiteral("Scan"));

    Progress = new QProgressBar(this);
    Progress->setAccessibleName(QStringLiteral("Scan progress"));
    Progress->setRange(0, 1);
    Progress->setValue(0);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setAccessibleName(QStringLiteral("Cancel scan"));
    CancelButton->setEnabled(false);

    Status = new QLabel(this);
    Status->setTextFormat(Qt::PlainText);
    Status->setWordWrap(true);
    Status->setAccessibleName(QStringLiteral("Scan status"));
    Status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    Table = new QTableWidget(0, ColumnCount, this);
    Table->setAccessibleName(QStringLiteral("Modules found"));
    const QStringList headings = {QStringLiteral("Address"), QStringLiteral("Model"), QStringLiteral("Firmware"),
                                  QStringLiteral("MAC"), QStringLiteral("Location"), QStringLiteral("Signal")};
    Table->setHorizontalHeaderLabels(headings);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setTabKeyNavigation(false);  // Tab leaves the table, arrows move in it
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(false);
    Table->horizontalHeader()->setSectionResizeMode(LocationColumn, QHeaderView::Stretch);
    Table->setSortingEnabled(true);
    Table->sortByColumn(AddressColumn, Qt::AscendingOrder);
    Table->setWordWrap(false);

    auto* sortLabel = new QLabel(QStringLiteral("S&ort by:"), this);
    SortBox = new QComboBox(this);
    SortBox->addItems(headings);
    SortBox->setAccessibleName(QStringLiteral("Sort by"));
    sortLabel->setBuddy(SortBox);

    auto* hint = new QLabel(QStringLiteral("Enter or a double click links the console to the module of the row."), this);
    hint->setTextFormat(Qt::PlainText);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setAccessibleName(QStringLiteral("Close"));

    auto* networkRow = new QHBoxLayout;
    networkRow->addWidget(networkLabel);
    networkRow->addWidget(NetworkEdit, 1);
    networkRow->addWidget(ScanButton);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(Progress, 1);
    progressRow->addWidget(CancelButton);
    auto* closeRow = new QHBoxLayout;
    closeRow->addWidget(sortLabel);
    closeRow->addWidget(SortBox);
    closeRow->addSpacing(12);
    closeRow->addWidget(hint, 1);
    closeRow->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(networkRow);
    layout->addLayout(progressRow);
    layout->addWidget(Status);
    layout->addWidget(Table, 1);
    layout->addLayout(closeRow);
    setTabOrder(NetworkEdit, ScanButton);
    setTabOrder(ScanButton, CancelButton);
    setTabOrder(CancelButton, Table);
    setTabOrder(Table, SortBox);
    setTabOrder(SortBox, CloseButton);
    resize(900, 440);

    connect(ScanButton, &QPushButton::clicked, this, [this] { StartScan(); });
    connect(NetworkEdit, &QLineEdit::returnPressed, this, [this] { StartScan(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelScan(); });
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    // Both ways of sorting show the same column; the signal's strongest first, the rest ascending.
    connect(SortBox, &QComboBox::activated, this, [this](int column) {
        Table->sortByColumn(column, column == SignalColumn ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
    connect(Table->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder) { SortBox->setCurrentIndex(column); });
    // A double click or Enter links; not "activated", which some styles send on a single click.
    connect(Table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) { LinkRow(index.row()); });
    Table->installEventFilter(this);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
}

FinderWindow::~FinderWindow()
{
    if (scanner_) context_.ScanRunning = false;
}

bool FinderWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            if (Table->currentRow() >= 0) LinkRow(Table->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FinderWindow::StartScan()
{
    CancelScan();
    const QString typed = NetworkEdit->text().trimmed();
    Status->setText(QStringLiteral("Waiting for the exchange with the module to end…"));
    RunAfterExchange(context_, this, [this, typed] {
        if (Scanning()) return;  // a second request that waited as well
        if (!typed.isEmpty()) {
            BeginScan(PlanTypedNetwork(typed));
            return;
        }
        const DeviceSession& session = context_.session;
        BeginScan(PlanModuleNetworks(*setup_.hostBackend, session.hostAddress, setup_.givenModuleAddress.has_value(),
                                     setup_.givenModuleAddress));
    });
}

void FinderWindow::BeginScan(const FinderPlan& plan)
{
    plan_ = plan;
    QString problem = plan.problem;
    const std::vector<std::uint32_t> addresses = problem.isEmpty() ? PlanAddresses(plan, problem) : std::vector<std::uint32_t>{};
    if (addresses.empty()) {
        Status->setText(QStringLiteral("Scan failed: ") + (problem.isEmpty() ? QStringLiteral("no address to scan") : problem));
        return;
    }
    Table->setSortingEnabled(false);
    Table->setRowCount(0);
    Table->setSortingEnabled(true);
    found_ = busy_ = silent_ = 0;

    ScanOptions options;
    options.port = context_.session.hostPort;
    options.lockDirectory = setup_.lockDirectory;
    options.replyTimeoutMs = 1000;  // a module on Wi-Fi can take its time
    // Inside a command's socket wait no new probe starts; the ones running may end there.
    const SessionContext& context = context_;
    options.holdProbes = [&context] { return context.ExchangeBusy; };
    scanner_ = std::make_unique<ModuleScanner>(addresses, options);
    connect(scanner_.get(), &ModuleScanner::probeFinished, this, [this](const ScanProbe& probe) {
        Progress->setValue(static_cast<int>(scanner_->Done()));
        if (probe.outcome == ScanProbe::Outcome::NoReply) ++silent_;
        if (const std::optional<FoundModule> found = FoundFromProbe(probe)) AddFound(*found);
    });
    connect(scanner_.get(), &ModuleScanner::finished, this, [this] { EndScan(); });
    scanPort_ = options.port;
    Progress->setRange(0, static_cast<int>(addresses.size()));
    Progress->setValue(0);
    Status->setText(QStringLiteral("Scanning %1 on port %2…").arg(PlanText(plan)).arg(options.port));
    SetScanning(true);
    elapsed_.start();
    scanner_->Start();
}

void FinderWindow::AddFound(const FoundModule& found)
{
    const QString address = DottedText(found.address);
    QStringList cells(ColumnCount);
    cells[AddressColumn] = address;
    std::optional<qint64> firmwareKey, signalKey;
    if (found.record) {
        const LinkRecord& r = *found.record;
        cells[ModelColumn] = QStringLiteral("%1 (%2)").arg(r.ModelName()).arg(r.model);
        cells[FirmwareColumn] = r.FirmwareText();
        cells[MacColumn] = r.MacText();
        cells[LocationColumn] = PrintableText(r.location);
        firmwareKey = r.firmwareMajor * 256 + r.firmwareMinor;
        if (const std::optional<int> dbm = r.SignalDbm()) {
            cells[SignalColumn] = QStringLiteral("%1 dBm").arg(*dbm);
            signalKey = *dbm;
        } else {
            cells[SignalColumn] = QStringLiteral("not reported");
        }
    }
    if (!found.Linkable()) cells[ModelColumn] = found.record ? cells[ModelColumn] + QStringLiteral(" — ") + found.note : found.note;
    if (found.kind == FoundModule::Kind::Busy) ++busy_;
    else if (found.Linkable()) ++found_;

    // Rows are placed with sorting off, or the table would move the row while it is filled.
    Table->setSortingEnabled(false);
    const int row = Table->rowCount();
    Table->insertRow(row);
    for (int column = 0; column < ColumnCount; ++column) {
        std::optional<qint64> key;
        if (column == AddressColumn) key = found.address;
        if (column == FirmwareColumn) key = firmwareKey;
        if (column == SignalColumn) key = signalKey;
        auto* item = new TableItem(cells[column], key);
        item->setToolTip(cells[column]);
        item->setData(AddressRole, address);
        item->setData(LinkableRole, found.Linkable());
        item->setData(NoteRole, found.note);
        if (!found.Linkable()) {
            QFont font = item->font();
            font.setItalic(true);
            item->setFont(font);
        }
        Table->setItem(row, column, item);
    }
    Table->setSortingEnabled(true);
    Table->resizeColumnsToContents();
    Table->horizontalHeader()->setSectionResizeMode(LocationColumn, QHeaderView::Stretch);
    SelectFirstLinkable();
}

// Enter on a table just reached links the first module it lists, not a busy address.
void FinderWindow::SelectFirstLinkable()
{
    const int current = Table->currentRow();
    if (current >= 0 && Table->item(current, AddressColumn)->data(LinkableRole).toBool()) return;
    for (int row = 0; row < Table->rowCount(); ++row) {
        if (Table->item(row, AddressColumn)->data(LinkableRole).toBool()) {
            Table->setCurrentCell(row, AddressColumn);
            return;
        }
    }
}

void FinderWindow::CancelScan()
{
    if (!scanner_) return;
    // The scanner says it finished from inside Cancel(): the summary then says it was cancelled.
    cancelRequested_ = true;
    scanner_->Cancel();
}

void FinderWindow::EndScan()
{
    const bool cancelled = cancelRequested_;
    cancelRequested_ = false;
    const std::size_t done = scanner_ ? scanner_->Done() : 0;
    const std::size_t count = scanner_ ? scanner_->Count() : 0;
    if (scanner_) scanner_.release()->deleteLater();  // it is still sending this signal
    SetScanning(false);
    SelectFirstLinkable();
    // With a module to link, Enter links it: the table takes the focus from the scan's controls.
    const QWidget* focus = focusWidget();
    if (found_ > 0 && (!focus || focus == NetworkEdit || focus == ScanButton || focus == CancelButton)) Table->setFocus();
    QStringList found{Plural(found_, QStringLiteral("module found"), QStringLiteral("modules found"))};
    if (busy_) found << Plural(busy_, QStringLiteral("busy"), QStringLiteral("busy"));
    if (silent_) found << Plural(silent_, QStringLiteral("address accepted the connection but did not answer"),
                                 QStringLiteral("addresses accepted the connection but did not answer"));
    const QString what = cancelled ? QStringLiteral("Cancelled after %1 of %2 addresses of %3").arg(done).arg(count).arg(PlanText(plan_))
                                   : QStringLiteral("%1 addresses of %2 scanned").arg(count).arg(PlanText(plan_));
    Status->setText(QStringLiteral("%1 on port %2 in %3: %4.")
                        .arg(what)
                        .arg(scanPort_)
                        .arg(Seconds(elapsed_.elapsed()))
                        .arg(found.join(QStringLiteral(", "))));
    emit scanFinished();
}

void FinderWindow::hideEvent(QHideEvent* event)
{
    CancelScan();
    QWidget::hideEvent(event);
}

void FinderWindow::SetScanning(bool scanning)
{
    CancelButton->setEnabled(scanning);
    context_.ScanRunning = scanning;
}

void FinderWindow::LinkRow(int row)
{
    const QTableWidgetItem* item = Table->item(row, AddressColumn);
    if (!item) return;
    const QString address = item->data(AddressRole).toString();
    if (!item->data(LinkableRole).toBool()) {
        Status->setText(QStringLiteral("%1 cannot be linked: %2.").arg(address, item->data(NoteRole).toString()));
        return;
    }
    const std::uint16_t port = context_.session.hostPort;
    RunAfterExchange(context_, this, [this, address, port] {
        if (!LinkConsoleTo(context_, display_, supervisor_, address, port)) {
            Status->setText(QStringLiteral("%1 could not be taken as the module's address.").arg(address));
            return;
        }
        CancelScan();
        close();
    });
}

}  // namespace zqb
