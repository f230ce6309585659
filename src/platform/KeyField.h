#pragma once

class QAction;
class QLineEdit;

namespace zqb {

// A key field: its text is masked, so a key never shows on screen (or in a screenshot) unless the
// user asks. The returned toggle, at the field's end and on Alt+K while the field has the focus,
// shows it; unchecking (or HideKey) masks it again.
QAction* MakeKeyField(QLineEdit* edit);
void HideKey(QAction* toggle);

}  // namespace zqb
