#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/Dialogs.h"

namespace zqb {

// Real message boxes and file dialogs, modal over the active window.
class QtDialogs : public Dialogs {
public:
    MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<QString> AskOpenFile(const QString& filter, const QString& defaultExtension) override;
    std::optional<QString> AskSaveFile(const QString& filter, const QString& proposedName,
                                       const QString& defaultExtension) override;
};

// "CFG|*.zcf" (description|pattern pairs) as a Qt name filter: "CFG (*.zcf)".
QString QtNameFilter(const QString& pipeFilter);

}  // namespace zqb
