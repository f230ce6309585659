#pragma once

#include <deque>
#include <optional>

#include <QString>
#include <QStringList>
#include <QThread>

#include "platform/Dialogs.h"
#include "platform/Pauses.h"

namespace zqb::test {

// A dialog double that expects each box in turn and answers it. Any box it was not told about
// fails the running test (and is answered No/Ok so nothing blocks).
class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        QString caption;
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
        bool defaultNo = false;  // asked through AskDefaultNo
    };

    ~ScriptedDialogs() override;

    // Expects a box; `caption` empty means "any caption".
    void ExpectMessage(const QString& text, const QString& caption, MessageIcon icon,
                       MessageAnswer answer = MessageAnswer::Ok);
    // Expects a box whose text starts with `prefix`.
    void ExpectMessageStartingWith(const QString& prefix, MessageAnswer answer = MessageAnswer::Ok);
    void ExpectOpenFile(std::optional<QString> path);
    void ExpectSaveFile(std::optional<QString> path);

    MessageAnswer ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                              MessageButtons buttons) override;
    MessageAnswer AskDefaultNo(const QString& text, const QString& caption, MessageIcon icon) override;
    std::optional<QString> AskOpenFile(const QString& filter, const QString& defaultExtension) override;
    std::optional<QString> AskSaveFile(const QString& filter, const QString& proposedName,
                                       const QString& defaultExtension) override;

    bool AllShown() const { return expected_.empty(); }
    std::vector<Box> shown;
    QStringList fileDialogs;  // "open <filter> <ext>" / "save <filter> <name> <ext>"

private:
    struct Expectation {
        enum Kind { Message, OpenFile, SaveFile } kind = Message;
        QString text;
        bool prefixOnly = false;
        QString caption;
        std::optional<MessageIcon> icon;
        MessageAnswer answer = MessageAnswer::Ok;
        QString path;
        bool cancel = false;
    };
    void ExpectFile(Expectation::Kind kind, std::optional<QString> path);
    std::optional<QString> AnswerFile(Expectation::Kind kind, const QString& description);

    std::deque<Expectation> expected_;
};

// Pauses that are recorded instead of slept; `realMs` of each is slept for real, so that a
// simulated module on its own thread can take what was sent before the pause.
class RecordingPauses : public Pauses {
public:
    void Pause(int milliseconds) override
    {
        pauses.push_back(milliseconds);
        if (realMs > 0) QThread::msleep(static_cast<unsigned long>(realMs));
    }
    std::vector<int> pauses;
    int realMs = 0;
};

}  // namespace zqb::test
