#pragma once

#include <initializer_list>

class QRadioButton;
class QWidget;

namespace zqb {

// Tab visits the controls in this order (reading order of the window); controls left out keep
// their place after the last one named.
void SetTabChain(std::initializer_list<QWidget*> controls);

// Tab enters a group of radio buttons on its checked button, whoever checked it (the user or the
// program); the arrow keys move within the group as before.
void TabToCheckedRadio(std::initializer_list<QRadioButton*> group);

}  // namespace zqb
