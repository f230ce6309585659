#pragma once

#include <optional>

#include <QString>

namespace zqb {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// Modal message boxes and file dialogs. The Qt implementation shows real ones; tests use a
// scripted double that expects each box in turn and answers it.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                                      MessageButtons buttons) = 0;

    // A Yes/No box whose default and focused button is No: the confirmation of anything that
    // restarts, erases or rewrites the module, so that a stray Return or Space answers No.
    // Doubles that answer without a person may keep this plain Yes/No box.
    virtual MessageAnswer AskDefaultNo(const QString& text, const QString& caption, MessageIcon icon)
    {
        return ShowMessage(text, caption, icon, MessageButtons::YesNo);
    }

    // The chosen file's path, or nothing when the user cancels. A name typed without an
    // extension gets defaultExtension (given without the dot).
    virtual std::optional<QString> AskOpenFile(const QString& filter, const QString& defaultExtension) = 0;
    virtual std::optional<QString> AskSaveFile(const QString& filter, const QString& proposedName,
                                               const QString& defaultExtension) = 0;

    // The plain error box of the application (one OK button, error icon).
    void ShowError(const QString& text) { ShowMessage(text, ApplicationTitle(), MessageIcon::Error, MessageButtons::Ok); }

    static QString ApplicationTitle() { return QStringLiteral("zQB IO Console"); }
};

}  // namespace zqb
