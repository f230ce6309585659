#pragma once

#include <QColor>
#include <QWidget>

#include "platform/WindowAccessibility.h"
#include "transfer/TransferProgress.h"

namespace zqb {

// CGauge1: a borderless progress bar along the setup window's foot. Its position stays within
// 0..maximum whatever it is given, and a maximum of 0 draws an empty bar, never a division.
// Screen readers get it as a progress bar showing the filled share in percent.
class Gauge : public QWidget, public TransferProgress, public ShownValue {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    void SetMaximum(std::uint32_t maximum);
    void SetForeColour(const QColor& colour);
    std::uint32_t Maximum() const { return maximum_; }
    std::uint32_t Position() const { return position_; }
    QColor ForeColour() const { return fore_; }
    // The filled share in 0..1.
    double Share() const;

    // TransferProgress
    void Begin(std::uint32_t maximum) override;
    void SetPosition(std::uint32_t position) override;
    // The transfer holds the GUI thread: repaint the windows now, the main one first.
    void Repaint() override;

    // ShownValue
    double ShownNumber() const override;
    double ShownMinimum() const override { return 0; }
    double ShownMaximum() const override { return 100; }
    QString ShownText() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t maximum_ = 100;
    std::uint32_t position_ = 0;
    QColor fore_ = Qt::black;
};

}  // namespace zqb
