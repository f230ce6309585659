#include "platform/KeyboardOrder.h"

#include <memory>
#include <vector>

#include <QRadioButton>
#include <QWidget>

namespace zqb {

void SetTabChain(std::initializer_list<QWidget*> controls)
{
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous) QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void TabToCheckedRadio(std::initializer_list<QRadioButton*> group)
{
    auto buttons = std::make_shared<std::vector<QRadioButton*>>(group);
    const auto follow = [buttons] {
        bool anyChecked = false;
        for (QRadioButton* button : *buttons) anyChecked = anyChecked || button->isChecked();
        for (QRadioButton* button : *buttons) {
            const bool entry = button->isChecked() || (!anyChecked && button == buttons->front());
            button->setFocusPolicy(entry ? Qt::StrongFocus : Qt::ClickFocus);
        }
    };
    for (QRadioButton* button : *buttons) QObject::connect(button, &QRadioButton::toggled, button, follow);
    follow();
}

}  // namespace zqb
