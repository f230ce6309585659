#pragma once

#include <functional>
#include <vector>

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

namespace zqb {

// What the entries of the main window's context menu do.
struct ConsoleMenuActions {
    std::function<void()> findModules;
    std::function<void()> trend;
    std::function<void()> saveDiagnostics;
    std::function<void()> about;
};

// The main window's context menu: right click, the Menu key or Shift+F10 open it, and each entry
// has a shortcut of its own that works with the menu closed. It leaves the window's layout alone.
// The menu pops up without a loop of its own, so a right click inside an exchange's socket wait
// holds nothing up.
class ConsoleMenu : public QObject {
    Q_OBJECT
public:
    ConsoleMenu(QWidget* window, ConsoleMenuActions actions);
    ~ConsoleMenu() override;

    // At a point on the screen; at the control with the focus when opened by key.
    void PopUp(const QPoint& globalPosition);
    void PopUpAtFocus();

    QMenu* Menu;
    QAction* FindModulesAction;
    QAction* TrendAction;
    QAction* SaveDiagnosticsAction;
    QAction* AboutAction;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddEntry(const QString& text, const QKeySequence& shortcut, std::function<void()> action,
                      bool windowShortcut = true);

    QWidget* window_;
    std::vector<QPointer<QObject>> owned_;
};

}  // namespace zqb
