#include "platform/WindowAccessibility.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace zqb {

namespace {

const char* const RoleProperty = "zqbAccessibleRole";

QAccessible::Role RoleOf(const QWidget* widget, QAccessible::Role fallback)
{
    const QVariant role = widget->property(RoleProperty);
    return role.isValid() ? static_cast<QAccessible::Role>(role.toInt()) : fallback;
}

class ValueAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    ValueAccessible(QWidget* widget, ShownValue& value)
        : QAccessibleWidget(widget, RoleOf(widget, QAccessible::Slider)), value_(value)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return value_.ShownText();
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return value_.ShownNumber(); }
    void setCurrentValue(const QVariant& value) override { value_.ShowNumber(value.toDouble()); }
    QVariant maximumValue() const override { return value_.ShownMaximum(); }
    QVariant minimumValue() const override { return value_.ShownMinimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    ShownValue& value_;
};

class StateAccessible : public QAccessibleWidget {
public:
    StateAccessible(QWidget* widget, ShownState& state)
        : QAccessibleWidget(widget, RoleOf(widget, QAccessible::Indicator)), state_(state)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = state_.IsOn();
        s.readOnly = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return state_.IsOn() ? QStringLiteral("on") : QStringLiteral("off");
        return QAccessibleWidget::text(t);
    }

private:
    ShownState& state_;
};

QAccessibleInterface* WindowAccessibleFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (auto* value = dynamic_cast<ShownValue*>(widget)) return new ValueAccessible(widget, *value);
    if (auto* state = dynamic_cast<ShownState*>(widget)) return new StateAccessible(widget, *state);
    if (widget->property(RoleProperty).isValid()) return new QAccessibleWidget(widget, RoleOf(widget, QAccessible::Client));
    return nullptr;
}

}  // namespace

void InstallWindowAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(WindowAccessibleFactory);
        return true;
    }();
    (void)installed;
}

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) { widget->setProperty(RoleProperty, static_cast<int>(role)); }

void NotifyShownValueChanged(QWidget* widget)
{
    const auto* value = dynamic_cast<const ShownValue*>(widget);
    if (!value || !QAccessible::isActive()) return;
    QAccessibleValueChangeEvent event(widget, value->ShownNumber());
    QAccessible::updateAccessibility(&event);
}

void NotifyShownStateChanged(QWidget* widget)
{
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(widget, changed);
    QAccessible::updateAccessibility(&event);
}

}  // namespace zqb
