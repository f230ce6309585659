#pragma once

#include <QAccessible>
#include <QString>

class QWidget;

namespace zqb {

// What a control shows as a number, for screen readers: a track bar drawn upside down shows
// another number than its position, and a drawn gauge has no value of its own.
class ShownValue {
public:
    virtual ~ShownValue() = default;
    virtual double ShownNumber() const = 0;
    virtual double ShownMinimum() const = 0;
    virtual double ShownMaximum() const = 0;
    // The number as the window writes it ("3 Sec", "40%").
    virtual QString ShownText() const = 0;
    // Moves the control to show the number, as the user would; read-only controls ignore it.
    virtual void ShowNumber(double number) { (void)number; }
};

// An on/off state that a control shows only by its colour.
class ShownState {
public:
    virtual ~ShownState() = default;
    virtual bool IsOn() const = 0;
};

// Makes the windows' own accessible objects known: controls with a ShownValue report it (as a
// slider unless given another role), controls with a ShownState are indicators with a checked
// state and the value text "on" or "off", and widgets given a role below report that role.
// ApplyWindowLook calls it.
void InstallWindowAccessibility();

// Exposes a widget with this role instead of the one its class would get (a top-level QWidget
// is otherwise a "filler", a plain QFrame a "frame").
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// Tell screen readers that a control's shown number or state changed.
void NotifyShownValueChanged(QWidget* widget);
void NotifyShownStateChanged(QWidget* widget);

}  // namespace zqb
