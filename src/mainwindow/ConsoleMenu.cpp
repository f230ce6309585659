#include "mainwindow/ConsoleMenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QShortcut>

#include "platform/WindowLook.h"

namespace zqb {

ConsoleMenu::ConsoleMenu(QWidget* window, ConsoleMenuActions actions) : QObject(window), window_(window)
{
    Menu = new QMenu(window);
    Menu->setAccessibleName(QStringLiteral("Console menu"));
    // A popup takes the desktop's palette, whose highlighted entry can fall below 4.5:1.
    Menu->setPalette(WindowPalette(LookColour::ButtonFace));
    FindModulesAction = AddEntry(QStringLiteral("&Find modules…"), QKeySequence(Qt::CTRL | Qt::Key_F), std::move(actions.findModules));
    TrendAction = AddEntry(QStringLiteral("&Trend…"), QKeySequence(Qt::CTRL | Qt::Key_T), std::move(actions.trend));
    SaveDiagnosticsAction =
        AddEntry(QStringLiteral("Save &diagnostics…"), QKeySequence(Qt::CTRL | Qt::Key_D), std::move(actions.saveDiagnostics));
    Menu->addSeparator();
    // F1 belongs to the main window itself (it opens the same box): the entry only shows the key.
    AboutAction = AddEntry(QStringLiteral("&About…"), QKeySequence(Qt::Key_F1), std::move(actions.about), false);

    window->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(window, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { PopUp(window_->mapToGlobal(position)); });
    // Some desktops turn these keys into a context menu event for the control with the focus
    // (see eventFilter), others leave them as keys.
    for (const QKeySequence& key : {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)})
        owned_.push_back(new QShortcut(key, window, this, &ConsoleMenu::PopUpAtFocus));
    owned_.push_back(Menu);
    window->installEventFilter(this);
    // The window's own controls only: the dialogs it owns are windows of their own.
    for (QWidget* control : window->findChildren<QWidget*>())
        if (control->window() == window) control->installEventFilter(this);
}

// A context menu asked for by key is the window's, wherever the focus is: the address box would
// otherwise answer it with its own editing menu (the right mouse button still gets that one).
bool ConsoleMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        PopUpAtFocus();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The menu and shortcuts live on the window; they go with this menu when it goes first. The
// actions belong to the menu and take themselves off the window as they go.
ConsoleMenu::~ConsoleMenu()
{
    for (const QPointer<QObject>& object : owned_) delete object.data();
}

QAction* ConsoleMenu::AddEntry(const QString& text, const QKeySequence& shortcut, std::function<void()> action,
                               bool windowShortcut)
{
    auto* entry = new QAction(text, Menu);
    entry->setShortcut(shortcut);
    entry->setShortcutContext(windowShortcut ? Qt::WindowShortcut : Qt::WidgetShortcut);
    connect(entry, &QAction::triggered, this, [action = std::move(action)] {
        if (action) action();
    });
    Menu->addAction(entry);
    // Added to the window as well, so the shortcut works while the menu is closed.
    if (windowShortcut) window_->addAction(entry);
    return entry;
}

void ConsoleMenu::PopUp(const QPoint& globalPosition)
{
    Menu->popup(globalPosition);
    Menu->setActiveAction(FindModulesAction);
}

void ConsoleMenu::PopUpAtFocus()
{
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != window_) focus = window_;
    PopUp(focus->mapToGlobal(QPoint(focus->width() / 2, focus->height() / 2)));
}

}  // namespace zqb
