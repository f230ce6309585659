#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStringList>
#include <QToolButton>
#include <QWidget>

namespace zqb::test {

// Every caption of a window that its control cuts off, as "text: needs N px, has M px". A
// fixed layout drawn for one face must still show each caption whole in the faces installed.
inline QStringList ClippedCaptions(const QWidget& window)
{
    QStringList clipped;
    const auto check = [&](const QString& text, int needs, int has) {
        if (needs > has) clipped << QStringLiteral("\"%1\": needs %2 px, has %3 px").arg(text).arg(needs).arg(has);
    };
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window)) continue;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->text().isEmpty() || label->wordWrap() || label->pixmap().isNull() == false) continue;
            const int indent = label->indent() > 0 ? label->indent() : 0;
            const int needs = label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->margin() + indent;
            check(label->text(), needs, label->contentsRect().width());
        } else if (qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget)) {
            // The room the style leaves for the caption beside its indicator.
            const auto* button = static_cast<const QAbstractButton*>(widget);
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const bool check = qobject_cast<const QCheckBox*>(widget) != nullptr;
            const QRect room = button->style()->subElementRect(
                check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, button);
            const int needs = button->fontMetrics().horizontalAdvance(button->text());
            if (needs > room.width())
                clipped << QStringLiteral("\"%1\": needs %2 px, has %3 px").arg(button->text()).arg(needs).arg(room.width());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            if (button->text().isEmpty()) continue;
            const auto* tool = qobject_cast<const QToolButton*>(widget);
            if (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly) continue;  // its text is not drawn
            const bool besideIcon = tool && tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon;
            const int icon = besideIcon ? button->iconSize().width() + 4 : 0;
            check(button->text(), button->fontMetrics().horizontalAdvance(button->text()) + icon + 6, button->width());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            if (group->title().isEmpty()) continue;
            check(group->title(), group->fontMetrics().horizontalAdvance(group->title()) + 8, group->width());
        }
    }
    return clipped;
}

}  // namespace zqb::test
