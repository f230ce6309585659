#include "platform/KeyField.h"

#include <QAction>
#include <QLineEdit>

#include "platform/Icons.h"

namespace zqb {

QAction* MakeKeyField(QLineEdit* edit)
{
    edit->setEchoMode(QLineEdit::Password);
    auto* toggle = new QAction(MakeIcon(IconKind::ShowKey, 16), QStringLiteral("Show key"), edit);
    toggle->setCheckable(true);
    toggle->setShortcut(QKeySequence(Qt::ALT | Qt::Key_K));
    toggle->setShortcutContext(Qt::WidgetShortcut);
    toggle->setToolTip(QStringLiteral("Show key (Alt+K)"));
    QObject::connect(toggle, &QAction::toggled, edit, [edit](bool shown) {
        edit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    edit->addAction(toggle, QLineEdit::TrailingPosition);
    return toggle;
}

void HideKey(QAction* toggle) { toggle->setChecked(false); }

}  // namespace zqb
