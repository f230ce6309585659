// The main window's context menu and the windows it opens: how each is reached by mouse and by
// key, that the main window's layout stays as it was, and that every control of the new windows
// is reachable by Tab and named for a screen reader.
#include <gtest/gtest.h>

#include <set>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>

#include "app/ConsoleTools.h"
#include "mainwindow/MainWindowRig.h"
#include "setup/Setup.h"

namespace zqb::test {
namespace {

class Tools : public MainWindowRig {
protected:
    Tools()
    {
        for (QWidget* child : form->findChildren<QWidget*>()) layoutBefore.emplace_back(child, child->geometry());
        shownBefore = ShownInside(*form);
        tools = std::make_unique<ConsoleTools>(
            *form,
            ConsoleToolsLinkParts{link.Context(), link.GetDialogs(), link.Settings(), link.Display(), link.Supervisor()},
            ConsoleToolsSetup{&hostBackend, std::nullopt, QString(), QStringLiteral("test"), [this] { ++abouts; }});
        form->show();
        Activate();
    }

    void Activate()
    {
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // What the main window shows inside itself: its children that are no windows of their own.
    static std::set<QWidget*> ShownInside(QWidget& window)
    {
        std::set<QWidget*> shown;
        for (QWidget* child : window.findChildren<QWidget*>())
            if (child->window() == &window && child->isVisibleTo(&window)) shown.insert(child);
        return shown;
    }

    std::vector<std::pair<QWidget*, QRect>> layoutBefore;
    std::set<QWidget*> shownBefore;
    std::unique_ptr<ConsoleTools> tools;
    int abouts = 0;
};

TEST_F(Tools, TheMenuOpensByRightClickMenuKeyAndShiftF10AndLeavesTheLayoutAlone)
{
    for (const auto& [widget, geometry] : layoutBefore) EXPECT_EQ(widget->geometry(), geometry) << widget->objectName().toStdString();
    EXPECT_EQ(ShownInside(*form), shownBefore) << "nothing new shows inside the main window";

    QMenu& menu = *tools->Menu().Menu;
    QStringList entries;
    for (QAction* action : menu.actions())
        if (!action->isSeparator()) entries << action->text() + QLatin1Char(' ') + action->shortcut().toString();
    EXPECT_EQ(entries, (QStringList{"&Find modules… Ctrl+F", "&Trend… Ctrl+T", "Save &diagnostics… Ctrl+D", "&About… F1"}));

    const std::vector<std::pair<const char*, std::function<void()>>> openings = {
        {"right click on a label", [&] {
             QLabel* label = form->Label6;
             QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
             QApplication::sendEvent(label, &event);
         }},
        {"Menu key", [&] { QTest::keyClick(form.get(), Qt::Key_Menu); }},
        // Where the desktop makes the key a context menu event for the control with the focus.
        {"menu key event in the address box", [&] {
             QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), form->Edit2->mapToGlobal(QPoint(5, 5)));
             QApplication::sendEvent(form->Edit2, &event);
         }},
        {"Shift+F10", [&] { QTest::keyClick(form.get(), Qt::Key_F10, Qt::ShiftModifier); }},
    };
    for (const auto& [how, open] : openings) {
        menu.hide();
        open();
        EXPECT_TRUE(menu.isVisible()) << how;
        EXPECT_EQ(menu.activeAction(), tools->Menu().FindModulesAction) << how;
    }
    menu.hide();
    tools->OpenFinder();
    tools->OpenTrend();
    EXPECT_EQ(ShownInside(*form), shownBefore) << "the tools open in windows of their own";

    // The setup window's fields keep their own menus: it is a window of its own.
    QLineEdit* setupField = form->SetupWindow().Edit1;
    QContextMenuEvent inSetup(QContextMenuEvent::Keyboard, QPoint(5, 5), setupField->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(setupField, &inSetup);
    EXPECT_FALSE(menu.isVisible());
    for (QWidget* popup : QApplication::topLevelWidgets())
        if (qobject_cast<QMenu*>(popup) && popup->isVisible()) popup->close();
}

TEST_F(Tools, EachShortcutReachesItsWindowOrBox)
{
    StartModule();
    dialogs.ExpectSaveFile(std::nullopt);
    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_NE(tools->Finder(), nullptr);
    EXPECT_TRUE(tools->Finder()->isVisible());
    EXPECT_TRUE(tools->Finder()->Scanning()) << "opening the finder scans the module networks";
    QSignalSpy scanned(tools->Finder(), &FinderWindow::scanFinished);
    ASSERT_TRUE(scanned.wait(3000));
    // Found, then linked with Enter alone: the table has the focus and the first module's row.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(tools->Finder()->isVisible());
    EXPECT_EQ(context.session.hostAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(form->StatusBar2->PanelText(0), QStringLiteral("Change IP => 127.0.0.1"));
    Activate();
    QTest::keyClick(form.get(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_NE(tools->Trend(), nullptr);
    EXPECT_TRUE(tools->Trend()->isVisible());
    Activate();
    QTest::keyClick(form.get(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(dialogs.fileDialogs.size(), 1);
    // F1 itself is the main window's own key (its box is tested with the window's keys).
    tools->Menu().AboutAction->trigger();
    EXPECT_EQ(abouts, 1);

    // The trend's history is the console's, not the window's: it outlives closing the window.
    TrendWindow* trend = tools->Trend();
    TrendSample sample;
    sample.atMs = QDateTime::currentMSecsSinceEpoch();
    sample.dacCode = 819;
    tools->History().Append(sample);
    trend->close();
    Activate();
    QTest::keyClick(form.get(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(tools->Trend(), trend);
    EXPECT_TRUE(trend->Summary->text().contains(QStringLiteral("DAC code 819 (2.000V)"))) << trend->Summary->text().toStdString();
}

TEST_F(Tools, EveryControlOfTheNewWindowsIsReachedByTabAndNamed)
{
    tools->OpenFinder();
    tools->OpenTrend();
    for (QWidget* window : std::initializer_list<QWidget*>{tools->Finder(), tools->Trend()}) {
        EXPECT_FALSE(window->accessibleName().isEmpty());
        std::set<QWidget*> reached;
        QWidget* first = window->nextInFocusChain();
        for (QWidget* w = first; w != window; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window)) reached.insert(w);
        for (QWidget* control : window->findChildren<QWidget*>()) {
            // The table's header sorts by mouse; the "Sort by" box does it by key.
            if (qobject_cast<QHeaderView*>(control)) continue;
            const bool interactive = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                                     qobject_cast<QAbstractItemView*>(control) || qobject_cast<QComboBox*>(control) ||
                                     qobject_cast<TrendChart*>(control) ||
                                     control->accessibleName() == QStringLiteral("Trend summary");
            if (!interactive || !control->isVisibleTo(window)) continue;
            EXPECT_TRUE(reached.count(control)) << window->windowTitle().toStdString() << ": " << control->metaObject()->className();
            EXPECT_FALSE(control->accessibleName().isEmpty()) << window->windowTitle().toStdString() << ": "
                                                               << control->metaObject()->className();
        }
    }
}

}  // namespace
}  // namespace zqb::test
