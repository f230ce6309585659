#pragma once

#include <memory>

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "platform/Dialogs.h"

namespace zqb {

// Real message boxes and file dialogs, modal over the active window.
class QtDialogs : public Dialogs {
public:
    MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    MessageAnswer AskDefaultNo(const QString& text, const QString& caption, MessageIcon icon) override;
    std::optional<QString> AskOpenFile(const QString& filter, const QString& defaultExtension) override;
    std::optional<QString> AskSaveFile(const QString& filter, const QString& proposedName,
                                       const QString& defaultExtension) override;
};

// The message box as the dialogs show it, in the windows' own colours; not yet shown. No is the
// default (and focused) button of a Yes/No box when defaultNo is set, else Yes.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                                            MessageButtons buttons, bool defaultNo, QWidget* parent);

// "CFG|*.zcf" (description|pattern pairs) as a Qt name filter: "CFG (*.zcf)".
QString QtNameFilter(const QString& pipeFilter);

}  // namespace zqb
