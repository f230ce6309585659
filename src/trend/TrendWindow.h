#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "platform/Dialogs.h"
#include "protocol/SessionContext.h"
#include "trend/TrendChart.h"
#include "trend/TrendHistory.h"

namespace zqb {

// "Trend": the chart of the last ten minutes, a summary of it in words, and buttons to pause the
// chart and to save the history as CSV or the chart as PNG. Not modal; closing only hides it,
// and the history goes on filling whether it is shown or not.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(TrendHistory& history, const SessionContext& context, Dialogs& dialogs, QWidget* parent = nullptr);

    void TogglePause();
    bool Paused() const { return paused_; }
    void SaveCsv();
    void SavePng();
    // Follows the clock unless paused, and says in words what the chart shows.
    void Refresh();

    TrendChart* Chart;
    QLabel* Summary;
    QLabel* Status;
    QPushButton* PauseButton;
    QPushButton* SaveCsvButton;
    QPushButton* SavePngButton;
    QPushButton* CloseButton;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Save(const QString& filter, const QString& extension, const QByteArray& bytes, const QString& what);

    TrendHistory& history_;
    const SessionContext& context_;
    Dialogs& dialogs_;
    QTimer clock_;
    bool paused_ = false;
};

// "zqb-trend-20240501-120000.csv" for the time given.
QString ProposedTrendName(const QDateTime& at, const QString& extension);

}  // namespace zqb
