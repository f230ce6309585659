#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace zqb::test {

ScriptedDialogs::~ScriptedDialogs()
{
    for (const Expectation& e : expected_) ADD_FAILURE() << "expected dialog never shown: " << e.text.toStdString();
}

void ScriptedDialogs::ExpectMessage(const QString& text, const QString& caption, MessageIcon icon, MessageAnswer answer)
{
    Expectation e;
    e.text = text;
    e.caption = caption;
    e.icon = icon;
    e.answer = answer;
    expected_.push_back(e);
}

void ScriptedDialogs::ExpectMessageStartingWith(const QString& prefix, MessageAnswer answer)
{
    Expectation e;
    e.text = prefix;
    e.prefixOnly = true;
    e.answer = answer;
    expected_.push_back(e);
}

void ScriptedDialogs::ExpectFile(Expectation::Kind kind, std::optional<QString> path)
{
    Expectation e;
    e.kind = kind;
    e.cancel = !path.has_value();
    e.path = path.value_or(QString());
    expected_.push_back(e);
}

void ScriptedDialogs::ExpectOpenFile(std::optional<QString> path) { ExpectFile(Expectation::OpenFile, std::move(path)); }

void ScriptedDialogs::ExpectSaveFile(std::optional<QString> path) { ExpectFile(Expectation::SaveFile, std::move(path)); }

MessageAnswer ScriptedDialogs::ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                                           MessageButtons buttons)
{
    shown.push_back({text, caption, icon, buttons});
    const MessageAnswer fallback = buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    if (expected_.empty() || expected_.front().kind != Expectation::Message) {
        ADD_FAILURE() << "unexpected message box: [" << caption.toStdString() << "] " << text.toStdString();
        return fallback;
    }
    const Expectation e = expected_.front();
    expected_.pop_front();
    if (e.prefixOnly)
        EXPECT_TRUE(text.startsWith(e.text)) << "box text: " << text.toStdString();
    else
        EXPECT_EQ(text.toStdString(), e.text.toStdString());
    if (!e.caption.isEmpty()) {
        EXPECT_EQ(caption.toStdString(), e.caption.toStdString());
    }
    if (e.icon) {
        EXPECT_EQ(static_cast<int>(icon), static_cast<int>(*e.icon)) << "icon of: " << text.toStdString();
    }
    return e.answer;
}

MessageAnswer ScriptedDialogs::AskDefaultNo(const QString& text, const QString& caption, MessageIcon icon)
{
    const MessageAnswer answer = ShowMessage(text, caption, icon, MessageButtons::YesNo);
    shown.back().defaultNo = true;
    return answer;
}

std::optional<QString> ScriptedDialogs::AnswerFile(Expectation::Kind kind, const QString& description)
{
    fileDialogs << description;
    if (expected_.empty() || expected_.front().kind != kind) {
        ADD_FAILURE() << "unexpected file dialog: " << description.toStdString();
        return std::nullopt;
    }
    const Expectation e = expected_.front();
    expected_.pop_front();
    if (e.cancel) return std::nullopt;
    return e.path;
}

std::optional<QString> ScriptedDialogs::AskOpenFile(const QString& filter, const QString& defaultExtension)
{
    return AnswerFile(Expectation::OpenFile, QStringLiteral("open %1 %2").arg(filter, defaultExtension));
}

std::optional<QString> ScriptedDialogs::AskSaveFile(const QString& filter, const QString& proposedName,
                                                    const QString& defaultExtension)
{
    return AnswerFile(Expectation::SaveFile, QStringLiteral("save %1 %2 %3").arg(filter, proposedName, defaultExtension));
}

}  // namespace zqb::test
