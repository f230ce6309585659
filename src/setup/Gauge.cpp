#include "setup/Gauge.h"

#include <algorithm>

#include <QPainter>

namespace zqb {

Gauge::Gauge(QWidget* parent) : QWidget(parent)
{
    SetAccessibleRole(this, QAccessible::ProgressBar);  // before anything asks for its accessible object
    setAccessibleName(QStringLiteral("Transfer progress"));
}

void Gauge::SetMaximum(std::uint32_t maximum)
{
    maximum_ = maximum;
    position_ = std::min(position_, maximum_);
    update();
    NotifyShownValueChanged(this);
}

void Gauge::SetForeColour(const QColor& colour)
{
    fore_ = colour;
    update();
}

double Gauge::Share() const { return maximum_ == 0 ? 0.0 : static_cast<double>(position_) / maximum_; }

void Gauge::Begin(std::uint32_t maximum)
{
    position_ = 0;
    SetMaximum(maximum);
    SetForeColour(Qt::red);
}

void Gauge::SetPosition(std::uint32_t position)
{
    const std::uint32_t held = std::min(position, maximum_);
    if (held == position_) return;
    position_ = held;
    update();
    NotifyShownValueChanged(this);
}

double Gauge::ShownNumber() const { return static_cast<int>(Share() * 100); }

QString Gauge::ShownText() const { return QString::number(ShownNumber()) + QLatin1Char('%'); }

void Gauge::Repaint()
{
    if (QWidget* main = window()->parentWidget()) main->repaint();
    window()->repaint();
}

void Gauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const int filled = static_cast<int>(Share() * width() + 0.5);
    if (filled > 0) painter.fillRect(QRect(0, 0, filled, height()), fore_);
}

}  // namespace zqb
