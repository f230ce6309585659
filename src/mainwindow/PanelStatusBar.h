#pragma once

#include <vector>

#include <QLabel>
#include <QWidget>

namespace zqb {

// A status bar of fixed-width text panels, as at the foot of the main window.
class PanelStatusBar : public QWidget {
    Q_OBJECT
public:
    PanelStatusBar(int panelCount, int panelWidth, QWidget* parent);

    // The text is shown as plain text and also becomes the panel's tool tip, so a text cut at
    // the panel's edge can still be read.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    // A value from an earlier link, kept but greyed until it is current again.
    void SetPanelStale(int panel, bool stale);
    bool PanelStale(int panel) const;
    // A longer explanation in the panel's tool tip, until its text changes.
    void SetPanelDetail(int panel, const QString& detail);
    int PanelCount() const { return static_cast<int>(panels_.size()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QLabel*> panels_;
};

}  // namespace zqb
