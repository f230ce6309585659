#include "trend/TrendWindow.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

#include "link/AfterExchange.h"
#include "platform/SafeFile.h"
#include "trend/TrendCsv.h"
#include "trend/TrendSeries.h"

namespace zqb {

namespace {

constexpr int ClockMs = 1000;

}  // namespace

QString ProposedTrendName(const QDateTime& at, const QString& extension)
{
    return QStringLiteral("zqb-trend-%1.%2").arg(at.toString(QStringLiteral("yyyyMMdd-HHmmss")), extension);
}

TrendWindow::TrendWindow(TrendHistory& history, const SessionContext& context, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history), context_(context), dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("Trend"));
    setAccessibleName(QStringLiteral("Trend"));

    Chart = new TrendChart(history_, this);
    Chart->setFocusPolicy(Qt::StrongFocus);  // reached by Tab, so a screen reader reads its description

    Summary = new QLabel(this);
    Summary->setTextFormat(Qt::PlainText);
    Summary->setWordWrap(true);
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Summary->setFocusPolicy(Qt::StrongFocus);
    Summary->setAccessibleName(QStringLiteral("Trend summary"));
    Summary->setMinimumHeight(Summary->fontMetrics().height() * 4);
    Summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Status = new QLabel(this);
    Status->setTextFormat(Qt::PlainText);
    Status->setAccessibleName(QStringLiteral("Save status"));
    Status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // a long path must not widen the window

    PauseButton = new QPushButton(QStringLiteral("&Pause"), this);
    SaveCsvButton = new QPushButton(QStringLiteral("Save &CSV…"), this);
    SavePngButton = new QPushButton(QStringLiteral("Save P&NG…"), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    PauseButton->setAccessibleName(QStringLiteral("Pause"));
    SaveCsvButton->setAccessibleName(QStringLiteral("Save CSV"));
    SavePngButton->setAccessibleName(QStringLiteral("Save PNG"));
    CloseButton->setAccessibleName(QStringLiteral("Close"));
    connect(PauseButton, &QPushButton::clicked, this, [this] { TogglePause(); });
    connect(SaveCsvButton, &QPushButton::clicked, this, [this] { SaveCsv(); });
    connect(SavePngButton, &QPushButton::clicked, this, [this] { SavePng(); });
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PauseButton);
    buttons->addWidget(SaveCsvButton);
    buttons->addWidget(SavePngButton);
    buttons->addWidget(Status, 1);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Chart, 1);
    layout->addWidget(Summary);
    layout->addLayout(buttons);
    setTabOrder(Chart, Summary);
    setTabOrder(Summary, PauseButton);
    resize(860, 600);

    clock_.setInterval(ClockMs);
    connect(&clock_, &QTimer::timeout, this, [this] { Refresh(); });
    connect(&history_, &TrendHistory::appended, this, [this] {
        if (isVisible()) Refresh();
    });
    Refresh();
}

void TrendWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Refresh();
    clock_.start();
}

void TrendWindow::hideEvent(QHideEvent* event)
{
    clock_.stop();
    QWidget::hideEvent(event);
}

void TrendWindow::TogglePause()
{
    paused_ = !paused_;
    PauseButton->setText(paused_ ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    PauseButton->setAccessibleName(paused_ ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    Refresh();
}

void TrendWindow::Refresh()
{
    if (!paused_) Chart->SetEnd(QDateTime::currentMSecsSinceEpoch());
    const QString summary = TrendSummaryText(history_.Covering(Chart->StartMs(), Chart->EndMs()), Chart->StartMs(),
                                             Chart->EndMs(), paused_);
    if (summary == Summary->text()) return;
    Summary->setText(summary);
    Chart->setAccessibleDescription(summary);
}

void TrendWindow::SaveCsv()
{
    RunAfterExchange(context_, this, [this] {
        Save(QStringLiteral("CSV|*.csv"), QStringLiteral("csv"), TrendCsv(history_.Samples()),
             QStringLiteral("%1 samples").arg(history_.Samples().size()));
    });
}

void TrendWindow::SavePng()
{
    RunAfterExchange(context_, this, [this] {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        Chart->grab().save(&buffer, "PNG");
        Save(QStringLiteral("PNG|*.png"), QStringLiteral("png"), png, QStringLiteral("the chart"));
    });
}

void TrendWindow::Save(const QString& filter, const QString& extension, const QByteArray& bytes, const QString& what)
{
    const std::optional<QString> path =
        dialogs_.AskSaveFile(filter, ProposedTrendName(QDateTime::currentDateTime(), extension), extension);
    if (!path) return;
    const FileWrite written = WriteWholeFile(QFile::encodeName(*path), bytes, FileMode::Shared);
    if (!written.written) {
        Status->setText(QStringLiteral("Not saved"));
        dialogs_.ShowError(QStringLiteral("Cannot save file \"%1\". %2").arg(*path, written.reason));
        return;
    }
    Status->setText(QStringLiteral("Saved %1 to %2").arg(what, *path));
}

}  // namespace zqb
