#include "mainwindow/PanelStatusBar.h"

#include <QPainter>
#include <QStyleOption>

#include "platform/WindowAccessibility.h"

namespace zqb {

PanelStatusBar::PanelStatusBar(int panelCount, int panelWidth, QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(look);
    SetAccessibleRole(this, QAccessible::StatusBar);
    for (int i = 0; i < panelCount; ++i) {
        auto* panel = new QLabel(this);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setGeometry(i * panelWidth, 1, panelWidth - 2, 18);
        panel->setIndent(2);
        panel->setTextFormat(Qt::PlainText);
        panels_.push_back(panel);
    }
}

void PanelStatusBar::SetPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= PanelCount()) return;
    QLabel* label = panels_[static_cast<std::size_t>(panel)];
    label->setText(text);
    label->setToolTip(text);
    label->setAccessibleName(text);
}

void PanelStatusBar::SetPanelStale(int panel, bool stale)
{
    if (panel < 0 || panel >= PanelCount()) return;
    QLabel* label = panels_[static_cast<std::size_t>(panel)];
    label->setEnabled(!stale);
    // Asked on every tick of the main window's timer: a reader hears of a change only.
    const QString description = stale && !label->text().isEmpty() ? QStringLiteral("From an earlier link") : QString();
    if (label->accessibleDescription() != description) label->setAccessibleDescription(description);
}

bool PanelStatusBar::PanelStale(int panel) const
{
    return panel >= 0 && panel < PanelCount() && !panels_[static_cast<std::size_t>(panel)]->isEnabled();
}

void PanelStatusBar::SetPanelDetail(int panel, const QString& detail)
{
    if (panel >= 0 && panel < PanelCount()) panels_[static_cast<std::size_t>(panel)]->setToolTip(detail);
}

QString PanelStatusBar::PanelText(int panel) const
{
    return panel >= 0 && panel < PanelCount() ? panels_[static_cast<std::size_t>(panel)]->text() : QString();
}

void PanelStatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QColor(200, 200, 200));
    p.drawLine(0, 0, width(), 0);
}

}  // namespace zqb
